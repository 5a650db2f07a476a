// SPDX-License-Identifier: GPL-3.0-or-later
// Views in a window: focus and keys, and the pairing of every press with a release. (Hit
// testing and coordinates are what every click of the controls' and editor's tests go through.)
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/View.h"

#include "ToolkitTestViews.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tk;
using tk_test::click;
using tk_test::key;

namespace {

class Probe : public View {
  public:
    Probe(const Rect& r, std::vector<std::string>* log, std::string name, bool takesFocus = false)
        : View(r), log_(log), name_(std::move(name)), focus_(takesFocus) {}
    void mouseDown(const Event& e) override { note("down", e); }
    void mouseDragged(const Event& e) override { note("drag", e); }
    void mouseUp(const Event& e) override { note(e.synthetic ? "up(synthetic)" : "up", e); }
    void keyDown(const Event& e) override { log_->push_back(name_ + " key " + e.characters); }
    bool acceptsFirstResponder() const override { return focus_; }
    bool resignFirstResponder() override {
        log_->push_back(name_ + " resigns");
        return true;
    }

  private:
    void note(const char* what, const Event&) { log_->push_back(name_ + " " + what); }
    std::vector<std::string>* log_;
    std::string name_;
    bool focus_;
};

} // namespace

TEST(Views, ClicksGiveFocusToViewsThatTakeItKeysGoThereAndEveryPressGetsOneRelease) {
    std::vector<std::string> log;
    HeadlessWindow w({100, 100});
    auto root = std::make_shared<Probe>(Rect{0, 0, 100, 100}, &log, "root");
    auto a = std::make_shared<Probe>(Rect{0, 0, 50, 50}, &log, "a", true);
    auto b = std::make_shared<Probe>(Rect{50, 0, 50, 50}, &log, "b", false);
    root->addSubview(a);
    root->addSubview(b);
    w.setContentView(root);

    w.keyDown(key(Key::None, "x")); // no first responder: dropped
    click(w, {10, 10});
    EXPECT_EQ(w.firstResponder(), a.get());
    click(w, {60, 10}); // b does not take focus: a keeps it
    EXPECT_EQ(w.firstResponder(), a.get());
    w.keyDown(key(Key::None, "q"));
    a->removeFromSuperview(); // leaving the window resigns
    EXPECT_EQ(w.firstResponder(), nullptr);

    w.mouseDown({10, 60});
    w.mouseDragged({20, 70});
    w.cancelMouseTracking(); // the grab was lost
    w.mouseUp({30, 80});     // a stray release reaches nobody
    w.mouseDown({10, 60});
    click(w, {40, 90}); // the backend lost the first release
    w.mouseDown({5, 55});
    w.close();
    w.mouseDown({5, 55}); // closed: ignored
    EXPECT_EQ(log, (std::vector<std::string>{
                       "a down", "a up", "b down", "b up", "a key q", "a resigns", "root down",
                       "root drag", "root up(synthetic)", "root down", "root up(synthetic)",
                       "root down", "root up", "root down", "root up(synthetic)"}));
}
