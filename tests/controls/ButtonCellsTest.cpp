// SPDX-License-Identifier: GPL-3.0-or-later
// The two button cells: how each looks in each state, their titles, and the gesture around
// every click.
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

namespace {

template <class CellT> struct ButtonScene {
    explicit ButtonScene(tk::Size size, std::shared_ptr<CellT> c = std::make_shared<CellT>())
        : window(size, 1.0, tk::Color::calibratedWhite(0.0)), cell(std::move(c)) {
        cell->setButtonType(tk::ButtonType::PushOnPushOff);
        cell->setAllowsMixedState(true);
        button = std::make_shared<tk::Button>(tk::Rect{{0, 0}, size}, cell);
        button->setTarget(&log);
        button->setAction("changed:");
        window.setContentView(button);
    }
    std::vector<DrawOp> draw(CellState s) {
        cell->setState(s);
        window.render();
        return window.recorder().ops();
    }
    std::vector<std::string> texts(CellState s) {
        std::vector<std::string> out;
        for (const auto& op : draw(s))
            if (op.kind == DrawOp::Kind::Text) out.push_back(op.text);
        return out;
    }
    double blueAt(double x, double y) { return window.pixel({x, y}).blue; }
    // The strongest light anywhere on the button.
    double brightestBlue() {
        double most = 0.0;
        for (double x = 0.5; x < button->bounds().width(); ++x)
            for (double y = 0.5; y < button->bounds().height(); ++y)
                most = std::max(most, blueAt(x, y));
        return most;
    }
    void click(tk::Point down, tk::Point up) {
        window.mouseDown(down);
        window.mouseUp(up);
    }
    tk::HeadlessWindow window;
    std::shared_ptr<CellT> cell;
    std::shared_ptr<tk::Button> button;
    NotificationLog log;
};

} // namespace

TEST(CustomButtonCell, OnShowsALitOvalAndTheTitleOffADimmerRingAndTheAlternateTitle) {
    ButtonScene<CustomButtonCell> s({60, 24});
    s.draw(CellState::On);
    const double lit = s.blueAt(30, 12);
    EXPECT_GT(lit, 0.3);             // the middle is lit
    EXPECT_LT(s.blueAt(1, 1), 0.01); // the corners are not
    s.cell->setTitle("Solo");
    const auto on = s.draw(CellState::On);
    ASSERT_EQ(on.size(), 2u);
    EXPECT_EQ(on[1].text, "Solo");
    EXPECT_NEAR(on[1].textBounds.midX(), 30.0, 1.0);
    EXPECT_NEAR(on[1].textBounds.midY(), 12.0, 1.0);
    for (CellState st : {CellState::Off, CellState::Mixed}) {
        EXPECT_TRUE(s.texts(st).empty());  // no alternate title
        EXPECT_LT(s.blueAt(30, 12), 0.01); // only the ring
        EXPECT_GT(s.brightestBlue(), 0.02);
        EXPECT_LT(s.brightestBlue(), lit * 0.5);
    }
    s.cell->setAlternateTitle("Off title");
    EXPECT_EQ(s.texts(CellState::Off), (std::vector<std::string>{"Off title"}));
    s.cell->setTitle("");
    EXPECT_TRUE(s.texts(CellState::On).empty());
}

// Flip-only turns the button off again once its action has seen it on; waking again resets
// that and the colour, but not the shadow.
TEST(CustomButtonCell, FlipOnlyAndColourLastUntilWakingAgainTheShadowStays) {
    const nlohmann::json entry = {{"class", "Button"}, {"title", "Solo"}};
    auto cell = std::make_shared<CustomButtonCell>(tk::Coder(entry));
    EXPECT_EQ(cell->title(), "Solo");
    ButtonScene<CustomButtonCell> fresh({60, 24});
    const DrawOp before = fresh.draw(CellState::On)[0];
    ButtonScene<CustomButtonCell> s({60, 24}, cell);
    cell->setColorRed(1, 0, 0, 1);
    cell->setFlipOnly();
    cell->setHasShadow();
    s.click({30, 12}, {30, 12});
    EXPECT_EQ(s.button->state(), CellState::Off);
    EXPECT_EQ(s.log.entries[1].x, 1.0f); // the action saw it on
    EXPECT_NE(s.draw(CellState::On)[0].color, before.color);
    cell->awakeFromNib();
    s.button->setState(CellState::Off);
    s.click({30, 12}, {30, 12});
    EXPECT_EQ(s.button->state(), CellState::On);
    const DrawOp after = s.draw(CellState::On)[0];
    EXPECT_EQ(after.color, before.color);
    EXPECT_TRUE(after.shadow.has_value());
}

TEST(CustomToggleButtonCell, OnAndMixedLightAGlowingBarBehindTheTitleOffOnlyTheTitle) {
    ButtonScene<CustomToggleButtonCell> s({60, 40});
    s.cell->setTitle("Stereo");
    for (CellState st : {CellState::On, CellState::Mixed}) {
        const auto ops = s.draw(st);
        ASSERT_EQ(ops.size(), 2u);
        EXPECT_EQ(ops[1].kind, DrawOp::Kind::Text); // over the bar
        EXPECT_GT(s.blueAt(2, 20), 0.02);           // the glow reaches past the bar
        EXPECT_GT(s.blueAt(30, 8), 0.02);
        EXPECT_LT(s.blueAt(0.5, 0.5), 0.01); // a rounded corner stays dark
    }
    EXPECT_EQ(s.texts(CellState::Off), (std::vector<std::string>{"Stereo"}));
    EXPECT_EQ(s.draw(CellState::Off).size(), 1u);
    EXPECT_LT(s.blueAt(2, 20), 0.01);
}

// Both cells: a click is one gesture wherever it ends, and the action lands inside it.
template <class CellT> void checkClicksAreGestures(tk::Size size) {
    ButtonScene<CellT> s(size);
    const tk::Point mid{size.width / 2, size.height / 2};
    s.click(mid, {200, mid.y}); // released outside: no toggle, no action
    EXPECT_EQ(s.log.names(), (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(s.button->state(), CellState::Off);
    s.click(mid, mid);
    EXPECT_EQ(s.log.names(), (std::vector<std::string>{"begin", "end", "begin", "action", "end"}));
    EXPECT_EQ(s.button->state(), CellState::On);
    for (const auto& e : s.log.entries)
        EXPECT_EQ(e.object, static_cast<const void*>(s.button.get()));
    s.window.mouseDown(mid);
    s.window.cancelMouseTracking();
    EXPECT_EQ(s.log.names().back(), "end");
}

TEST(ButtonCells, EveryClickIsAGestureWhereverItEnds) {
    checkClicksAreGestures<CustomButtonCell>({60, 24});
    checkClicksAreGestures<CustomToggleButtonCell>({60, 40});
}
