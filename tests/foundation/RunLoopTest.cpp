// SPDX-License-Identifier: GPL-3.0-or-later
// Run loops: pumping, work handed over from other threads and its cancellation, and which
// thread a loop belongs to. (Timers are tested where they are used: the parameter services
// deliver through them on a hand-moved clock.)
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/AssertionHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using fnd::RunLoop;

TEST(RunLoop, PumpRunsQueuedWorkInOrderIncludingWorkItQueues) {
    RunLoop loop;
    std::vector<int> order;
    loop.perform([&] {
        order.push_back(1);
        loop.perform([&] { order.push_back(3); });
    });
    loop.perform([&] { order.push_back(2); });
    EXPECT_EQ(loop.runUntilIdle(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(loop.runUntilIdle(), 0u);

    // Work re-queueing itself cannot hold the pump forever: it runs a bounded number of times
    // and stays queued for the next pump.
    std::function<void()> again = [&] { loop.perform(again); };
    loop.perform(again);
    EXPECT_LT(loop.runUntilIdle(), 100u);
    EXPECT_GT(loop.runUntilIdle(), 0u);
}

// The graphics thread of a view asks the main thread to update and waits. The work runs on
// the loop's thread and is waited for even when cancelled once started; the view's teardown
// frees a waiting worker without pumping, and work withdrawn so never runs later.
TEST(RunLoop, PerformAndWaitRunsOnTheLoopThreadAndCancellingFreesTheWaiter) {
    RunLoop loop;
    loop.bindToCurrentThread();
    fnd::CancelToken token;
    std::atomic<bool> stopping{false};
    std::atomic<int> updates{0};
    std::thread::id ranOn;
    bool firstFinished = false;
    std::thread worker([&] {
        fnd::CancelToken first;
        firstFinished = loop.performAndWait(
            [&] {
                ranOn = std::this_thread::get_id();
                first.cancel();
            },
            first);
        while (!stopping.load())
            loop.performAndWait([&] { ++updates; }, token);
    });
    while (updates.load() < 3)
        loop.runUntilIdle();

    stopping.store(true);
    token.cancel();
    worker.join(); // would hang if the waiter were not freed
    EXPECT_TRUE(firstFinished);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    const int updatesAtTeardown = updates.load();
    loop.runUntilIdle();
    EXPECT_EQ(updates.load(), updatesAtTeardown);
    EXPECT_FALSE(loop.performAndWait([] {}, token)); // the token stays cancelled
}

// A host may pump the UI from a thread other than the one the editor bound the main loop to:
// that pump runs nothing (and says so), and the work waits for the main thread.
TEST(RunLoop, PumpingFromAnotherThreadThanTheLoopsIsRefused) {
    RunLoop::main().bindToCurrentThread();
    bool ran = false;
    std::thread worker([&] {
        EXPECT_EQ(RunLoop::current(), nullptr);
        fnd::AssertionRecorder recorder;
        RunLoop::main().perform([&] { ran = true; });
        EXPECT_EQ(RunLoop::main().runUntilIdle(), 0u);
        EXPECT_EQ(recorder.reports().size(), 1u);
    });
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(RunLoop::current(), &RunLoop::main());
    EXPECT_EQ(RunLoop::main().runUntilIdle(), 1u);
    EXPECT_TRUE(ran);
}

} // namespace
