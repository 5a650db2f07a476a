// SPDX-License-Identifier: GPL-3.0-or-later
// The XY pad: where presses put the knob and what they send, the knob drawn inside the pad,
// host updates and their filtering, and pads with no knob or no room for one.
#include "ControlsTestSupport.h"
#include "Pictures.h"

#include "controls/ZembraXYView.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testing_support;
using tk::Point;
using tk::Rect;

namespace {

// A pad filling its editor's view.
struct PadScene {
    explicit PadScene(tk::Size knob, tk::Size size = {200, 150}) : window(size) {
        bundleWithArt(knob, {0, 0});
        blank = picture(window);
        editor = std::make_shared<tk::View>(Rect{{0, 0}, size});
        pad = std::make_shared<ZembraXYView>(Rect{{0, 0}, size}, zembra::kBundleIdentifier);
        editor->addSubview(pad);
        window.setContentView(editor);
    }
    // Where the knob is drawn; empty when nothing is.
    Rect drawnKnob() { return differences(window, blank, picture(window)); }
    void postFromHost(const void* object, float x, float y) {
        fnd::NotificationCenter::defaultCenter().post(
            zembra::kSetValuesFromHostNotification, object,
            {{zembra::kXValueKey, x}, {zembra::kYValueKey, y}});
    }
    fnd::LogCapture logged;
    tk::HeadlessWindow window;
    Picture blank;
    std::shared_ptr<tk::View> editor;
    std::shared_ptr<ZembraXYView> pad;
    NotificationLog log;
};

tk::Event at(Point p) {
    tk::Event e;
    e.locationInWindow = p;
    return e;
}

// A 200 by 150 pad with a 21 by 15 knob: half sizes 10 and 7, spans 169 and 128.
struct PadFixture : ::testing::Test, PadScene {
    PadFixture() : PadScene({21, 15}) {}
};

} // namespace

TEST_F(PadFixture, PressesAreClippedToTheKnobRangeAndTheKnobIsDrawnInsideThePad) {
    EXPECT_EQ(drawnKnob(), (Rect{84, 64, 21, 15})); // in the middle before any press
    const struct {
        Point press;
        float x, y;
        Point drawn;
    } cases[] = {{{5, 200}, 0, 1, {10, 128}},
                 {{300, -20}, 1, 0, {169, 7}},
                 {{60, 40}, 50.0f / 169, 33.0f / 128, {50, 33}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press.x);
        log.entries.clear();
        pad->mouseDown(at(c.press));
        ASSERT_EQ(log.names(), (std::vector<std::string>{"begin", "values"}));
        EXPECT_FLOAT_EQ(log.entries[1].x, c.x);
        EXPECT_FLOAT_EQ(log.entries[1].y, c.y);
        EXPECT_EQ(log.entries[1].object, static_cast<const void*>(pad.get()));
        EXPECT_EQ(drawnKnob(), (Rect{c.drawn, {21, 15}})); // wholly inside the pad
        pad->mouseUp(at(c.press));
    }
}

// The host's values arrive through the editor the pad sits in; an axis given as negative,
// not a number or not at all stays where it is.
TEST_F(PadFixture, HostValuesMoveTheAxesGivenOnlyAndAreNotSentBack) {
    postFromHost(editor.get(), 0.25f, -1.0f);
    EXPECT_FLOAT_EQ(pad->floatValueY(), 0.5f); // an X change leaves Y
    postFromHost(nullptr, NAN, 0.75f); // no object: accepted too
    EXPECT_FLOAT_EQ(pad->floatValueX(), 0.25f);
    EXPECT_FLOAT_EQ(pad->floatValueY(), 0.75f);

    const Picture before = picture(window);
    tk::View otherEditor;
    postFromHost(&otherEditor, 0.9f, 0.9f);
    fnd::NotificationCenter::defaultCenter().post(zembra::kSetValuesFromHostNotification,
                                                  editor.get(), {});
    EXPECT_EQ(picture(window), before);
    postFromHost(editor.get(), 1.5f, -1.0f); // stored unclamped, reported clamped
    EXPECT_EQ(pad->storedX(), 1.5f);
    EXPECT_EQ(pad->floatValueX(), 1.0f);
    EXPECT_TRUE(log.entries.empty());
}

TEST(PadWithoutKnobOrRoom, TracksTheWholeAreaDrawsNothingAndReportsZeroRatherThanNaN) {
    PadScene bare({0, 0});
    EXPECT_EQ(bare.logged.count("image not loaded!!"), 1u);
    bare.pad->mouseDown(at({200, 150}));
    bare.pad->mouseUp(at({0, 0}));
    ASSERT_EQ(bare.log.entries.size(), 4u);
    EXPECT_EQ(bare.log.entries[1].x, 1.0f);
    EXPECT_EQ(bare.log.entries[1].y, 1.0f);
    EXPECT_EQ(bare.log.entries[2].x, 0.0f);
    EXPECT_TRUE(bare.drawnKnob().isEmpty());

    PadScene cramped({21, 15}, {31, 22}); // exactly one and a half knobs: no span
    cramped.pad->mouseDown(at({20, 20}));
    ASSERT_EQ(cramped.log.entries.size(), 2u);
    EXPECT_EQ(cramped.log.entries[1].x, 0.0f);
    EXPECT_EQ(cramped.log.entries[1].y, 0.0f);
}
