// SPDX-License-Identifier: GPL-3.0-or-later
// Alert panels: modal in their window, answering by button, Return or closing; and the
// thread-safe alert, carried from another thread to the window and bounded in its wait.
#include "platform/toolkit/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "support/ThreadSafeAlert.h"

#include "ToolkitTestViews.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tk;
using namespace std::chrono_literals;

namespace {

void press(Window& w, const std::string& title) {
    for (const auto& v : w.overlays().back()->subviews())
        if (auto* b = dynamic_cast<Button*>(v.get()); b && b->title() == title) {
            const Rect r = b->convertRectToView(b->bounds(), nullptr);
            return tk_test::click(w, {r.midX(), r.midY()});
        }
    ADD_FAILURE() << "no button " << title;
}

struct Counter : View {
    using View::View;
    void mouseDown(const Event&) override { ++presses; }
    int presses = 0;
};

// Shows alerts in the window as the toolkit does, noting the thread, and presses `button` as
// soon as the panel is up (none: leaves it up).
struct PressingPresenter : fnd::AlertPresenter {
    explicit PressingPresenter(Window& w) : window(w) {
        Alert::registerAsAlertPresenter();
        toolkit = fnd::alertPresenter();
    }
    void present(const fnd::AlertRequest& request,
                 std::function<void(fnd::AlertAnswer)> answer) override {
        shownOn.push_back(std::this_thread::get_id());
        toolkit->present(request, std::move(answer));
        if (!button.empty()) press(window, button);
    }
    Window& window;
    std::string button;
    std::shared_ptr<fnd::AlertPresenter> toolkit;
    std::vector<std::thread::id> shownOn;
};

} // namespace

// Each button's answer is checked where alerts are answered: from another thread below, and
// the editor's information panel.
TEST(AlertPanel, TheWindowBeneathIsBlockedReturnAnswersDefaultAndClosingDismisses) {
    HeadlessWindow w({500, 300});
    auto content = std::make_shared<Counter>(Rect{0, 0, 500, 300});
    w.setContentView(content);
    int answer = 99;
    auto alert = Alert::make("Title", "Text", "Ok", "Cancel");
    ASSERT_TRUE(alert->beginModal(w, [&](int a) { answer = a; }));
    EXPECT_FALSE(alert->beginModal(w, [](int) {})); // already up
    tk_test::click(w, {2, 2});                      // outside the panel: swallowed
    EXPECT_EQ(content->presses, 0);
    w.keyDown(tk_test::key(Key::Return));
    EXPECT_EQ(answer, 1);
    EXPECT_FALSE(alert->isShown());
    w.mouseDown({2, 2});
    EXPECT_EQ(content->presses, 1);

    auto second = Alert::make("T", "", "A", "B");
    second->beginModal(w, [&](int a) { answer = a; });
    w.close();
    EXPECT_EQ(answer, Alert::kDismissedReturn);
    EXPECT_FALSE(Alert::make("T", "", "A")->beginModal(w, [](int) {}));
}

TEST(ThreadSafeAlert, IsShownOnTheMainThreadAndAnsweredThereOrTimesOutToTheDefault) {
    fnd::RunLoop::main().bindToCurrentThread();
    const fnd::AlertRequest request{"Title", "100% sure? %s %n", "Yes", "No", "More"};
    fnd::setAlertPresenter(nullptr); // with no window, alerts are logged and answered default
    {
        fnd::LogCapture capture;
        EXPECT_EQ(zembra::raiseThreadSafeAlert(request, zembra::kAlertTimeout), 1);
        EXPECT_EQ(capture.count("Title: 100% sure? %s %n"), 1u); // literally
    }
    HeadlessWindow window({500, 300});
    auto presenter = std::make_shared<PressingPresenter>(window);
    fnd::setAlertPresenter(presenter);
    // Raised from another thread while this (main) thread pumps until it is done.
    const auto raiseFromWorker = [&](std::chrono::milliseconds timeout) {
        long result = 99;
        std::thread worker([&] {
            result = zembra::raiseThreadSafeAlert(request, timeout);
            fnd::RunLoop::main().perform([] { fnd::RunLoop::main().stop(); });
        });
        fnd::RunLoop::main().runFor(std::chrono::minutes(5));
        worker.join();
        return result;
    };
    // The default button's answer is also the timeout's: the other two tell the paths apart.
    for (auto [button, expected] : {std::pair{"No", 0L}, {"More", -1L}}) {
        presenter->button = button;
        EXPECT_EQ(raiseFromWorker(zembra::kAlertTimeout), expected);
    }
    EXPECT_EQ(presenter->shownOn, std::vector(2, std::this_thread::get_id()));

    // The caller's wait is bounded by design. Whether the main thread shows the alert within
    // it depends on the machine's load, so the bound grows until it did: the path under test
    // is shown, never answered, the default returned.
    presenter->button.clear();
    presenter->shownOn.clear();
    for (auto timeout = 5ms; presenter->shownOn.empty(); timeout *= 2)
        EXPECT_EQ(raiseFromWorker(timeout), 1);
    press(window, "More"); // a late answer goes nowhere

    long result = 99; // the main thread never pumps while the caller waits
    std::thread worker([&] { result = zembra::raiseThreadSafeAlert(request, 5ms); });
    worker.join();
    EXPECT_EQ(result, 1);
    fnd::RunLoop::main().runUntilIdle();
    EXPECT_EQ(presenter->shownOn.size(), 1u); // not shown after its caller gave up
    fnd::setAlertPresenter(nullptr);
}
