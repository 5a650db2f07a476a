// SPDX-License-Identifier: GPL-3.0-or-later
// The two button cells: how each looks on and off, their titles, and the gesture around
// every click.
#include "ControlsTestSupport.h"
#include "Pictures.h"

#include "controls/CustomButtonCell.h"
#include "controls/CustomToggleButtonCell.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/HeadlessWindow.h"

#include <gtest/gtest.h>

using namespace testing_support;
using tk::CellState;

namespace {

template <class CellT> struct ButtonScene {
    explicit ButtonScene(tk::Size size)
        : window(size, 1.0, tk::Color::calibratedWhite(0.0)), cell(std::make_shared<CellT>()) {
        cell->setButtonType(tk::ButtonType::PushOnPushOff);
        button = std::make_shared<tk::Button>(tk::Rect{{0, 0}, size}, cell);
        button->setTarget(&log);
        button->setAction("changed:");
        window.setContentView(button);
    }
    Picture draw(CellState s) {
        cell->setState(s);
        return picture(window);
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

// On lights an oval with the title, off shows a ring with the alternate title.
TEST(CustomButtonCell, OnAndOffLookTheirOwnAndEachShowsItsOwnTitle) {
    ButtonScene<CustomButtonCell> s({60, 24});
    const Picture plainOn = s.draw(CellState::On), plainOff = s.draw(CellState::Off);
    EXPECT_NE(plainOn, plainOff);
    s.cell->setTitle("Solo");
    const Picture titledOn = s.draw(CellState::On);
    EXPECT_NE(titledOn, plainOn);
    EXPECT_EQ(s.draw(CellState::Off), plainOff);
    s.cell->setAlternateTitle("Off title");
    EXPECT_NE(s.draw(CellState::Off), plainOff);
    EXPECT_EQ(s.draw(CellState::On), titledOn);
}

// On lights a bar behind the title; off shows the title alone.
TEST(CustomToggleButtonCell, OnLightsABarOffShowsOnlyTheTitle) {
    ButtonScene<CustomToggleButtonCell> s({60, 40});
    s.button->setHidden(true);
    const Picture blank = picture(s.window);
    s.button->setHidden(false);
    EXPECT_EQ(s.draw(CellState::Off), blank);
    const Picture lit = s.draw(CellState::On);
    EXPECT_NE(lit, blank);
    s.cell->setTitle("Stereo");
    EXPECT_NE(s.draw(CellState::Off), blank);
    EXPECT_NE(s.draw(CellState::On), lit);
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
}

TEST(ButtonCells, EveryClickIsAGestureWhereverItEnds) {
    checkClicksAreGestures<CustomButtonCell>({60, 24});
    checkClicksAreGestures<CustomToggleButtonCell>({60, 40});
}
