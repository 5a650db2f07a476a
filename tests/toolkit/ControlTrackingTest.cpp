// SPDX-License-Identifier: GPL-3.0-or-later
// Sliders, text fields and pop-up buttons driven through the window's events, with their
// actions, and tracking cut short by a lost grab. (Buttons are clicked in the controls' tests.)
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"

#include "ToolkitTestViews.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tk;
using tk_test::click;
using tk_test::key;

namespace {

// Receives actions and remembers what the sender held at that moment.
class Target : public Connectable {
  public:
    bool respondsToAction(std::string_view s) const override { return s == "changed:"; }
    void performAction(std::string_view, Control& sender) override {
        values.push_back(sender.doubleValue());
        strings.push_back(sender.stringValue());
    }
    std::vector<double> values;
    std::vector<std::string> strings;
};

struct Fixture {
    Fixture() : window({300, 200}), root(std::make_shared<View>(Rect{0, 0, 300, 200})) {
        window.setContentView(root);
    }
    template <class T> std::shared_ptr<T> add(std::shared_ptr<T> c) {
        root->addSubview(c);
        c->setTarget(&target);
        c->setAction("changed:");
        return c;
    }
    Target target; // outlives the window: closing it may still commit an edit
    HeadlessWindow window;
    std::shared_ptr<View> root;
};

} // namespace

TEST(SliderTracking, TheKnobFollowsThePointerAndALostGrabIsNoRelease) {
    Fixture f;
    auto slider = f.add(std::make_shared<Slider>(Rect{10, 20, 22, 121}));
    slider->setMaxValue(100);
    slider->cell()->setContinuous(true);
    ASSERT_TRUE(slider->sliderCell()->isVertical());
    // Track 121 high, knob 21: the knob's centre runs from y 30.5 to 130.5 in the window.
    f.window.mouseDown({20, 80.5});
    EXPECT_DOUBLE_EQ(slider->doubleValue(), 50.0);
    f.window.mouseDragged({20, 500}); // beyond the end: clamped, tracking goes on outside
    f.window.mouseDragged({20, 40.5});
    f.window.mouseUp({20, 40.5});
    EXPECT_DOUBLE_EQ(slider->doubleValue(), 10.0);
    EXPECT_EQ(f.target.values, (std::vector<double>{50, 100, 10}));

    // Not continuous, the action waits for the release, which a lost grab or the window
    // closing mid-drag is not.
    slider->cell()->setContinuous(false);
    f.window.mouseDown({20, 80.5});
    f.window.cancelMouseTracking();
    f.window.mouseUp({20, 80.5});
    f.window.mouseDown({20, 130.5});
    f.window.mouseUp({20, 130.5});
    f.window.mouseDown({20, 80.5});
    f.window.close();
    EXPECT_EQ(f.target.values, (std::vector<double>{50, 100, 10, 100}));
}

// Typing into the editor's fields and Return are checked through DPF's window (tests/plugin).
TEST(TextFieldEditing, LeavingAfterAnEditSendsEscapeRevertsAndTheCaretMovesByCharacters) {
    Fixture f;
    auto field = f.add(std::make_shared<TextField>(Rect{10, 10, 80, 22}));
    auto other = f.add(std::make_shared<TextField>(Rect{100, 10, 80, 22}));
    field->setStringValue("a\xC3\xA9z");
    click(f.window, {85, 20}); // right of the text: the caret goes to its end
    ASSERT_TRUE(field->isEditing());
    f.window.keyDown(key(Key::Left));
    f.window.keyDown(key(Key::Backspace));
    f.window.keyDown(key(Key::None, "x\x01")); // control characters are not typed
    EXPECT_EQ(field->stringValue(), "axz");
    f.window.keyDown(key(Key::Escape));
    EXPECT_EQ(field->stringValue(), "a\xC3\xA9z");

    click(f.window, {110, 20}); // focus moves without an edit: no action
    f.window.keyDown(key(Key::None, "-0.5"));
    f.window.makeFirstResponder(nullptr); // leaving after an edit sends
    EXPECT_EQ(other->intValue(), 0);      // -0.5 truncates toward zero
    EXPECT_EQ(f.target.strings, std::vector<std::string>{"-0.5"});
}

TEST(PopUpTracking, PressDragReleasePicksClickLeavesTheMenuOpen) {
    Fixture f;
    auto popup = f.add(std::make_shared<PopUpButton>(Rect{20, 80, 120, 24}));
    popup->addItemsWithTitles({"None", "Mod", "Pitch", "Pedal"});
    popup->selectItemAtIndex(1);

    // The selected item opens over the button; items are 20 high going down.
    f.window.mouseDown({60, 92});
    ASSERT_TRUE(popup->isMenuOpen());
    f.window.mouseDragged({60, 92 - 40});
    EXPECT_EQ(popup->menu()->highlightedIndex(), 3);
    f.window.mouseUp({60, 92 - 40});
    EXPECT_FALSE(popup->isMenuOpen());
    EXPECT_EQ(popup->titleOfSelectedItem(), "Pedal");

    click(f.window, {60, 92}); // a click: stays open
    ASSERT_TRUE(popup->isMenuOpen());
    click(f.window, {60, 92 + 20}); // second click picks "Pitch"
    EXPECT_EQ(popup->indexOfSelectedItem(), 2);

    click(f.window, {60, 92});
    f.window.mouseDown({290, 190}); // outside the menu: closes it, picks nothing
    EXPECT_FALSE(popup->isMenuOpen());
    EXPECT_EQ(f.target.values, (std::vector<double>{3, 2}));
}
