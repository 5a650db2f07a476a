// SPDX-License-Identifier: GPL-3.0-or-later
// The XY pad on a 200 by 150 pad with a 21 by 15 knob (half sizes 10 and 7, spans 169 and
// 128): positions, clipping, values, what is drawn where, gesture order, host updates and
// their filtering, keys, preparing twice, a missing knob and a lost grab.
#include "ControlsTestSupport.h"

#include "controls/ZembraControls.h"
#include "controls/ZembraXYView.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/InterfaceLoader.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testing_support;
using tk::Point;
using tk::Rect;

namespace {

struct PadFixture : ::testing::Test {
    void SetUp() override {
        bundleWithArt(knob, {0, 0});
        window = std::make_unique<tk::HeadlessWindow>(tk::Size{200, 150});
        editor = std::make_shared<tk::View>(Rect{0, 0, 200, 150});
        pad = std::make_shared<ZembraXYView>(Rect{0, 0, 200, 150}, zembra::kBundleIdentifier);
        editor->addSubview(pad);
        window->setContentView(editor);
    }
    tk::Event at(Point p) {
        tk::Event e;
        e.locationInWindow = p;
        return e;
    }
    // The knob's lower-left corner as drawn.
    Point drawnKnob() {
        window->render();
        const auto ops = window->recorder().ops();
        EXPECT_EQ(ops.size(), 1u); // the knob and nothing else
        if (ops.empty()) return {-1, -1};
        return ops[0].rect.origin;
    }
    void postFromHost(const void* object, float x, float y) {
        fnd::NotificationCenter::defaultCenter().post(
            zembra::kSetValuesFromHostNotification, object,
            {{zembra::kXValueKey, x}, {zembra::kYValueKey, y}});
    }
    tk::Size knob{21, 15};
    fnd::LogCapture logged;
    std::unique_ptr<tk::HeadlessWindow> window;
    std::shared_ptr<tk::View> editor;
    std::shared_ptr<ZembraXYView> pad;
    NotificationLog log;
};

struct PadWithoutKnob : PadFixture {
    PadWithoutKnob() { knob = {0, 0}; }
};

} // namespace

TEST_F(PadFixture, StartsInTheMiddle) {
    EXPECT_EQ(pad->storedX(), 0.5f);
    EXPECT_EQ(pad->storedY(), 0.5f);
    EXPECT_EQ(pad->knobPoint(), (Point{94.5, 71.0}));
    EXPECT_EQ(drawnKnob(), (Point{84, 64}));
}

TEST_F(PadFixture, PressesAreClippedToTheKnobRange) {
    pad->mouseDown(at({5, 200}));
    EXPECT_EQ(pad->knobPoint(), (Point{10, 135}));
    ASSERT_EQ(log.names(), (std::vector<std::string>{"begin", "values"}));
    EXPECT_EQ(log.entries[1].x, 0.0f);
    EXPECT_EQ(log.entries[1].y, 1.0f);
    EXPECT_EQ(log.entries[1].object, static_cast<const void*>(pad.get()));
    EXPECT_EQ(drawnKnob(), (Point{10, 128}));
    pad->mouseUp(at({300, -20}));
    EXPECT_EQ(pad->knobPoint(), (Point{179, 7}));
    EXPECT_EQ(log.entries[2].x, 1.0f);
    EXPECT_EQ(log.entries[2].y, 0.0f);
    EXPECT_EQ(drawnKnob(), (Point{169, 7}));
}

TEST_F(PadFixture, OneGestureBracketsEveryValueInOrder) {
    window->mouseDown({50, 50});
    window->mouseDragged({60, 60});
    window->mouseDragged({70, 70});
    window->mouseUp({80, 80});
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{"begin", "values", "values", "values", "values", "end"}));
    for (const auto& e : log.entries)
        EXPECT_EQ(e.object, static_cast<const void*>(pad.get()));
    EXPECT_FLOAT_EQ(log.entries[4].x, (80.0f - 10) / 169);
    EXPECT_FLOAT_EQ(log.entries[4].y, (80.0f - 7) / 128);
}

TEST_F(PadFixture, HostValuesMoveOneAxisWithoutEcho) {
    postFromHost(editor.get(), 0.25f, -1.0f);
    EXPECT_DOUBLE_EQ(pad->knobPoint().x, 52.25);
    EXPECT_DOUBLE_EQ(pad->knobPoint().y, 71.0);
    postFromHost(nullptr, -1.0f, 0.25f); // no object: accepted too
    EXPECT_DOUBLE_EQ(pad->knobPoint().y, 39.0);
    EXPECT_DOUBLE_EQ(pad->knobPoint().x, 52.25);
    EXPECT_TRUE(log.entries.empty());

    const Point before = pad->knobPoint();
    tk::View otherEditor;
    postFromHost(&otherEditor, 0.9f, 0.9f); // another editor's
    postFromHost(editor.get(), -1.0f, -0.5f);
    postFromHost(editor.get(), NAN, -1.0f);
    fnd::NotificationCenter::defaultCenter().post(zembra::kSetValuesFromHostNotification,
                                                  editor.get(), {});
    EXPECT_EQ(pad->knobPoint(), before);
    postFromHost(editor.get(), 1.5f, -1.0f); // stored unclamped, reported clamped
    EXPECT_DOUBLE_EQ(pad->knobPoint().x, 169 * 1.5 + 10);
    EXPECT_EQ(pad->floatValueX(), 1.0f);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(PadFixture, KeysChangeNothing) {
    window->makeFirstResponder(pad.get());
    ASSERT_EQ(window->firstResponder(), pad.get());
    tk::Event k;
    k.type = tk::EventType::KeyDown;
    k.characters = k.charactersIgnoringModifiers = "a";
    window->keyDown(k);
    k.key = tk::Key::Left;
    window->keyDown(k);
    window->keyUp(k);
    EXPECT_EQ(pad->knobPoint(), (Point{94.5, 71.0}));
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(PadFixture, LostGrabStillEndsTheGesture) {
    window->mouseDown({50, 50});
    window->mouseDragged({60, 60});
    window->cancelMouseTracking();
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{"begin", "values", "values", "values", "end"}));
}

TEST_F(PadFixture, PreparedTwiceWhenLoadedAllocatesOnce) {
    registerZembraControls(zembra::kBundleIdentifier);
    tk::Connectable owner;
    auto root = tk::InterfaceLoader::loadString(
        R"({"root": {"class": "View", "frame": [0, 0, 200, 150],
            "subviews": [{"class": "ZembraXYView", "frame": [0, 0, 200, 150]}]}})",
        "pad.json", owner);
    ASSERT_TRUE(root);
    auto* loaded = dynamic_cast<ZembraXYView*>(root->subviews()[0].get());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(logged.count("image not loaded!!"), 0u);
    const auto* image = loaded->knobImage().get();
    ASSERT_TRUE(image);
    loaded->setFloatValuesX(0.1f, 0.9f);
    const Point placed = loaded->knobPoint();
    loaded->awakeFromNib(); // another prepare: fields reset, knob and image stay
    EXPECT_EQ(loaded->knobImage().get(), image);
    EXPECT_EQ(loaded->storedX(), 0.5f);
    EXPECT_EQ(loaded->knobPoint(), placed);
    postFromHost(root.get(), 0.0f, -1.0f);
    EXPECT_DOUBLE_EQ(loaded->knobPoint().x, 10.0);
}

TEST_F(PadWithoutKnob, TracksTheWholeAreaAndDrawsNothing) {
    EXPECT_EQ(logged.count("image not loaded!!"), 1u);
    pad->mouseDown(at({200, 150}));
    pad->mouseUp(at({0, 0}));
    ASSERT_EQ(log.entries.size(), 4u);
    EXPECT_EQ(log.entries[1].x, 1.0f);
    EXPECT_EQ(log.entries[1].y, 1.0f);
    EXPECT_EQ(log.entries[2].x, 0.0f);
    window->render();
    EXPECT_TRUE(window->recorder().ops().empty());
}

TEST(PadWithoutRoom, ReportsZeroRatherThanNaN) {
    bundleWithArt({21, 15}, {0, 0});
    NotificationLog log;
    ZembraXYView pad(Rect{0, 0, 31, 22},
                     zembra::kBundleIdentifier); // exactly one and a half knobs: no span
    tk::Event e;
    e.locationInWindow = {20, 20};
    pad.mouseDown(e);
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[1].x, 0.0f);
    EXPECT_EQ(log.entries[1].y, 0.0f);
}
