// SPDX-License-Identifier: GPL-3.0-or-later
// The two button cells: what each draws in each state (oval or bar, colour, glow, title),
// the rounded bar's construction, and the gesture around every click.
#include "ControlsTestSupport.h"

#include "controls/CustomButtonCell.h"
#include "controls/CustomToggleButtonCell.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Coder.h"
#include "platform/toolkit/HeadlessWindow.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace testing_support;
using tk::CellState;
using tk::DrawOp;
using tk::Point;
using tk::Rect;
using K = tk::Path::Element::Kind;

namespace {

template <class CellT> struct ButtonScene {
    explicit ButtonScene(tk::Size size, std::shared_ptr<CellT> c = std::make_shared<CellT>())
        : window(size, 1.0, tk::Color::calibratedWhite(0.0)), cell(std::move(c)) {
        cell->setButtonType(tk::ButtonType::PushOnPushOff);
        cell->setAllowsMixedState(true);
        button = std::make_shared<tk::Button>(Rect{{0, 0}, size}, cell);
        button->setTarget(&log);
        button->setAction("changed:");
        window.setContentView(button);
    }
    std::vector<DrawOp> draw(CellState s) {
        cell->setState(s);
        window.render();
        return window.recorder().ops();
    }
    void click(Point down, Point up) {
        window.mouseDown(down);
        window.mouseUp(up);
    }
    tk::HeadlessWindow window;
    std::shared_ptr<CellT> cell;
    std::shared_ptr<tk::Button> button;
    NotificationLog log;
};

std::vector<DrawOp> ofKind(const std::vector<DrawOp>& ops, DrawOp::Kind k) {
    std::vector<DrawOp> out;
    for (const auto& op : ops)
        if (op.kind == k) out.push_back(op);
    return out;
}

} // namespace

TEST(CustomButtonCell, OnFillsTheOvalAndCentresTheTitleInWhite) {
    ButtonScene<CustomButtonCell> s({60, 24});
    s.cell->setTitle("Solo");
    const auto ops = s.draw(CellState::On);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, DrawOp::Kind::FillEllipse);
    EXPECT_EQ(ops[0].rect, (Rect{3, 2, 54, 20}));
    EXPECT_NEAR(ops[0].color.green, 0.2, 1e-6);
    EXPECT_NEAR(ops[0].color.blue, 0.6, 1e-6);
    EXPECT_NEAR(ops[0].color.alpha, 0.9, 1e-6);
    EXPECT_EQ(ops[0].operation, tk::CompositingOperation::PlusLighter);
    EXPECT_FALSE(ops[0].shadow.has_value());
    EXPECT_EQ(ops[1].kind, DrawOp::Kind::Text);
    EXPECT_EQ(ops[1].text, "Solo");
    EXPECT_EQ(ops[1].color, tk::Color::calibratedWhite(1.0));
    EXPECT_EQ(ops[1].operation, tk::CompositingOperation::SourceOver); // the glow's state ended
    EXPECT_NEAR(ops[1].textBounds.midX(), 30.0, 1.0);
    EXPECT_NEAR(ops[1].textBounds.midY(), 12.0, 1.0);
}

TEST(CustomButtonCell, OffAndMixedStrokeADimRingWithTheAlternateTitle) {
    ButtonScene<CustomButtonCell> s({60, 24});
    s.cell->setTitle("On title");
    for (CellState st : {CellState::Off, CellState::Mixed}) {
        auto ops = s.draw(st);
        ASSERT_EQ(ops.size(), 1u); // no alternate title: no text
        EXPECT_EQ(ops[0].kind, DrawOp::Kind::StrokeEllipse);
        EXPECT_EQ(ops[0].rect, (Rect{2, 1, 56, 22}));
        EXPECT_NEAR(ops[0].color.green, 0.0667, 1e-4);
        EXPECT_NEAR(ops[0].color.blue, 0.2, 1e-6);
        EXPECT_NEAR(ops[0].color.alpha, 0.9, 1e-6);
        EXPECT_EQ(ops[0].lineWidth, 1.0);
    }
    s.cell->setAlternateTitle("Off title");
    const auto texts = ofKind(s.draw(CellState::Off), DrawOp::Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Off title");
    s.cell->setTitle("");
    EXPECT_TRUE(s.cell->attributedTitle().empty());
    EXPECT_TRUE(ofKind(s.draw(CellState::On), DrawOp::Kind::Text).empty());
}

TEST(CustomButtonCell, EveryClickIsAGestureWhereverItEnds) {
    ButtonScene<CustomButtonCell> s({60, 24});
    s.click({30, 12}, {200, 12}); // released outside: no toggle, no action
    EXPECT_EQ(s.log.names(), (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(s.button->state(), CellState::Off);
    s.click({30, 12}, {31, 12});
    EXPECT_EQ(s.log.names(), (std::vector<std::string>{"begin", "end", "begin", "action", "end"}));
    EXPECT_EQ(s.button->state(), CellState::On);
    for (const auto& e : s.log.entries)
        EXPECT_EQ(e.object, static_cast<const void*>(s.button.get()));
    s.window.mouseDown({30, 12});
    s.window.cancelMouseTracking();
    EXPECT_EQ(s.log.names().back(), "end");
}

TEST(CustomButtonCell, FlipOnlyNeverLeavesTheButtonOn) {
    ButtonScene<CustomButtonCell> s({60, 24});
    s.cell->setFlipOnly();
    s.click({30, 12}, {30, 12});
    EXPECT_EQ(s.button->state(), CellState::Off);
    EXPECT_EQ(s.log.entries[1].x, 1.0f); // the action saw it on
}

TEST(CustomButtonCell, PrepareAgainResetsColourAndFlipButKeepsTheShadow) {
    const nlohmann::json entry = {{"class", "Button"}, {"title", "Solo"}};
    tk::Coder coder(entry);
    auto cell = std::make_shared<CustomButtonCell>(coder);
    EXPECT_EQ(cell->title(), "Solo");
    cell->setColorRed(1, 0, 0, 1);
    cell->setFlipOnly();
    cell->setHasShadow();
    cell->awakeFromNib();
    EXPECT_FALSE(cell->flipOnly());
    ButtonScene<CustomButtonCell> s({60, 24}, cell);
    const auto ops = s.draw(CellState::On);
    EXPECT_NEAR(ops[0].color.red, 0.0, 1e-6);
    EXPECT_NEAR(ops[0].color.blue, 0.6, 1e-6);
    ASSERT_TRUE(ops[0].shadow.has_value());
    EXPECT_EQ(*ops[0].shadow,
              (tk::Shadow{{2.0, -3.0}, 6.0, tk::Color::calibratedWhite(0.5, 0.75)}));
}

TEST(CustomToggleButtonCell, OnDrawsTheGlowingBarBuiltFromArcs) {
    ButtonScene<CustomToggleButtonCell> s({60, 40});
    s.cell->setTitle("Stereo");
    const auto ops = s.draw(CellState::On);
    ASSERT_EQ(ops.size(), 2u);
    ASSERT_EQ(ops[0].kind, DrawOp::Kind::FillPath);
    EXPECT_EQ(ops[0].rect, (Rect{4, 10, 52, 20}));
    const auto& e = ops[0].path.elements();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].kind, K::MoveTo);
    EXPECT_EQ(e[0].points[0], (Point{4, 18}));
    const Point centres[] = {{12, 18}, {48, 18}, {48, 22}, {12, 22}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(e[1 + i].kind, K::Arc);
        EXPECT_EQ(e[1 + i].points[0], centres[i]);
        EXPECT_EQ(e[1 + i].radius, 8.0);
        EXPECT_EQ(e[1 + i].startDegrees, 180.0 + 90.0 * i - (i >= 2 ? 360.0 : 0.0));
    }
    EXPECT_EQ(e[5].kind, K::Close);
    EXPECT_EQ(ops[0].operation, tk::CompositingOperation::PlusLighter);
    ASSERT_TRUE(ops[0].shadow.has_value());
    EXPECT_EQ(*ops[0].shadow,
              (tk::Shadow{{0, 0}, 4.0, tk::Color::calibratedRGBA(0, 0.2f, 0.6f, 1.0)}));
    EXPECT_EQ(ops[1].kind, DrawOp::Kind::Text); // the interior, over the bar
    // The glow reaches past the bar on every side.
    EXPECT_GT(s.window.pixel({2, 20}).blue, 0.02);
    EXPECT_GT(s.window.pixel({30, 8}).blue, 0.02);
}

TEST(CustomToggleButtonCell, MixedLightsTheBarOffDrawsOnlyTheInterior) {
    ButtonScene<CustomToggleButtonCell> s({60, 40});
    s.cell->setTitle("Stereo");
    EXPECT_EQ(ofKind(s.draw(CellState::Mixed), DrawOp::Kind::FillPath).size(), 1u);
    const auto off = s.draw(CellState::Off);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].kind, DrawOp::Kind::Text);
    EXPECT_LT(s.window.pixel({2, 20}).blue, 0.01);
}

TEST(CustomToggleButtonCell, RadiusIsLimitedByTheBarAndZeroGivesARectangle) {
    const tk::Path low =
        CustomToggleButtonCell::roundRect(Rect{4, 10, 52, 12}, 8, 8); // frame 32 high
    EXPECT_EQ(low.elements()[1].radius, 6.0);
    EXPECT_EQ(low.elements()[0].points[0], (Point{4, 16}));
    const tk::Path square = CustomToggleButtonCell::roundRect(Rect{0, 0, 10, 5}, 0, 8);
    ASSERT_EQ(square.elements().size(), 5u);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(square.elements()[i].kind, K::LineTo);
}

TEST(CustomToggleButtonCell, ClickTogglesInsideAGesture) {
    ButtonScene<CustomToggleButtonCell> s({60, 40});
    s.click({30, 20}, {30, 20});
    s.click({30, 20}, {100, 20});
    EXPECT_EQ(s.log.names(), (std::vector<std::string>{"begin", "action", "end", "begin", "end"}));
    EXPECT_EQ(s.button->state(), CellState::On);
}
