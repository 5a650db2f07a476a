// SPDX-License-Identifier: GPL-3.0-or-later
// The alert panel: modal inside its window, answers 1/0/-1 by button, Return for the
// default, dismissal on close; and alerts raised from another thread through the support
// library appear in the window and carry the user's answer back.
#include "platform/toolkit/Alert.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "support/ThreadSafeAlert.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tk;

namespace {

Button* buttonTitled(View* panel, const std::string& title) {
    for (const auto& v : panel->subviews())
        if (auto* b = dynamic_cast<Button*>(v.get()); b && b->title() == title) return b;
    return nullptr;
}

void click(Window& w, View* v) {
    const Rect r = v->convertRectToView(v->bounds(), nullptr);
    w.mouseDown({r.midX(), r.midY()});
    w.mouseUp({r.midX(), r.midY()});
}

struct Counter : View {
    using View::View;
    void mouseDown(const Event&) override { ++presses; }
    int presses = 0;
};

} // namespace

TEST(AlertPanel, EachButtonGivesItsAnswerAndTheWindowBeneathIsBlocked) {
    HeadlessWindow w({500, 300});
    auto content = std::make_shared<Counter>(Rect{0, 0, 500, 300});
    w.setContentView(content);
    const std::pair<std::string, int> cases[] = {{"Ok", 1}, {"Show ChangeLog", 0}, {"Other", -1}};
    for (const auto& [title, expected] : cases) {
        auto alert =
            Alert::make("About", "Product Version: \t1.0\n", "Ok", "Show ChangeLog", "Other");
        int answer = 99;
        ASSERT_TRUE(alert->beginModal(w, [&](int a) { answer = a; }));
        EXPECT_FALSE(alert->beginModal(w, [](int) {})); // already up
        w.mouseDown({2, 2});                            // outside the panel: swallowed
        w.mouseUp({2, 2});
        EXPECT_EQ(content->presses, 0);
        Button* b = buttonTitled(alert->panelView(), title);
        ASSERT_TRUE(b);
        click(w, b);
        EXPECT_EQ(answer, expected);
        EXPECT_FALSE(alert->isShown());
    }
    w.render();
    w.mouseDown({2, 2});
    EXPECT_EQ(content->presses, 1);
}

TEST(AlertPanel, ReturnAnswersDefaultAndClosingDismisses) {
    HeadlessWindow w({400, 300});
    int answer = 99;
    auto alert = Alert::make("Title", "Text", "Ok");
    alert->beginModal(w, [&](int a) { answer = a; });
    w.render();
    const auto texts = w.recorder().ofKind(DrawOp::Kind::Text);
    ASSERT_GE(texts.size(), 3u); // title, text, button
    EXPECT_EQ(texts[0].text, "Title");
    Event ret;
    ret.type = EventType::KeyDown;
    ret.key = Key::Return;
    w.keyDown(ret);
    EXPECT_EQ(answer, 1);

    answer = 99;
    auto second = Alert::make("T", "", "A", "B");
    second->beginModal(w, [&](int a) { answer = a; });
    w.close();
    EXPECT_EQ(answer, Alert::kDismissedReturn);
    EXPECT_FALSE(Alert::make("T", "", "A")->beginModal(w, [](int) {}));
    EXPECT_FALSE(Alert::make("T", "", "1", "2", "3")->addButtonWithTitle("4"));
}

TEST(AlertPanel, ThreadSafeAlertFromAnotherThreadIsAnsweredInTheWindow) {
    fnd::RunLoop::main().bindToCurrentThread();
    HeadlessWindow w({500, 300});
    Alert::registerAsAlertPresenter();
    long result = 99;
    std::thread raiser([&] {
        result = zembra::raiseThreadSafeAlert({"Question", "Go on?", "Yes", "No", ""},
                                              std::chrono::seconds(20));
    });
    View* panel = nullptr;
    for (int i = 0; i < 2000 && !panel; ++i) {
        fnd::RunLoop::main().runUntilIdle();
        if (!w.overlays().empty())
            panel = w.overlays().back().get();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!panel) {
        raiser.join(); // it gives up after its timeout
        FAIL() << "the alert never reached the window";
    }
    click(w, buttonTitled(panel, "No"));
    raiser.join();
    EXPECT_EQ(result, 0);
}
