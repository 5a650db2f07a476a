// SPDX-License-Identifier: GPL-3.0-or-later
// The thread-safe alert: shown on the main thread, carried there from other threads, and
// answered with the default button when nobody answers in time.
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "support/ThreadSafeAlert.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using fnd::AlertAnswer;
using fnd::AlertRequest;

// Answers with a fixed button, or keeps the alert up forever when told to.
class ScriptedPresenter : public fnd::AlertPresenter {
  public:
    explicit ScriptedPresenter(std::optional<AlertAnswer> answer) : mAnswer(answer) {}
    void present(const AlertRequest& request, std::function<void(AlertAnswer)> answer) override {
        shown.push_back(request);
        presentedOn = std::this_thread::get_id();
        if (mAnswer)
            answer(*mAnswer);
        else
            pending = std::move(answer);
    }
    std::vector<AlertRequest> shown;
    std::thread::id presentedOn;
    std::function<void(AlertAnswer)> pending;

  private:
    std::optional<AlertAnswer> mAnswer;
};

class ThreadSafeAlert : public ::testing::Test {
  protected:
    ThreadSafeAlert() { fnd::RunLoop::main().bindToCurrentThread(); }
    ~ThreadSafeAlert() override {
        fnd::RunLoop::main().runUntilIdle();
        fnd::setAlertPresenter(nullptr);
    }

    // Raises the alert from another thread while this (main) thread pumps until it is done.
    long raiseFromWorker(std::chrono::milliseconds timeout) {
        long result = 99;
        std::thread worker([&] {
            result = zembra::raiseThreadSafeAlert(mRequest, timeout);
            fnd::RunLoop::main().perform([] { fnd::RunLoop::main().stop(); });
        });
        fnd::RunLoop::main().runFor(std::chrono::minutes(5));
        worker.join();
        return result;
    }

    AlertRequest mRequest{"Title", "100% sure? %s %n", "OK", "Cancel", "More"};
};

TEST_F(ThreadSafeAlert, OnTheMainThreadTheDefaultPresenterLogsAndAnswersDefault) {
    fnd::LogCapture capture;
    EXPECT_EQ(RaiseThreadSafeAlert("Title", "Message", "OK", "", ""), 1);
    EXPECT_EQ(capture.count("Title: Message"), 1u);
}

TEST_F(ThreadSafeAlert, FromAnotherThreadTheAnswerComesBackFromTheMainThread) {
    for (auto [answer, expected] :
         {std::pair{AlertAnswer::Alternate, 0L}, std::pair{AlertAnswer::Other, -1L},
          std::pair{AlertAnswer::Default, 1L}}) {
        auto presenter = std::make_shared<ScriptedPresenter>(answer);
        fnd::setAlertPresenter(presenter);
        EXPECT_EQ(raiseFromWorker(zembra::kAlertTimeout), expected);
        ASSERT_EQ(presenter->shown.size(), 1u);
        EXPECT_EQ(presenter->presentedOn, std::this_thread::get_id());
        EXPECT_EQ(presenter->shown[0].message, "100% sure? %s %n"); // literally
    }
}

TEST_F(ThreadSafeAlert, AnUnansweredAlertFromAnotherThreadTimesOutToTheDefault) {
    auto presenter = std::make_shared<ScriptedPresenter>(std::nullopt);
    fnd::setAlertPresenter(presenter);
    EXPECT_EQ(raiseFromWorker(5ms), 1); // shown, never answered
    ASSERT_EQ(presenter->shown.size(), 1u);
    presenter->pending(AlertAnswer::Other); // a late answer goes nowhere

    long result = 99; // the main thread never pumps while the caller waits
    std::thread worker([&] { result = zembra::raiseThreadSafeAlert(mRequest, 5ms); });
    worker.join();
    EXPECT_EQ(result, 1);
    fnd::RunLoop::main().runUntilIdle();
    EXPECT_EQ(presenter->shown.size(), 1u); // not shown after its caller gave up
}

} // namespace
