// SPDX-License-Identifier: GPL-3.0-or-later
// The notification centre: matching and order, re-entrant handlers, and the promise that
// a removed observer is never called again while other threads post.
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using fnd::Notification;
using fnd::NotificationCenter;

// A handler that writes down that it ran, under the given name.
struct Calls : std::vector<std::string> {
    fnd::NotificationCenter::Handler as(std::string name) {
        return [this, name](const Notification&) { push_back(name); };
    }
};

// Handlers run at once on the posting thread, in the order they were added. They may post,
// add and remove observers (themselves too) and throw, without stopping the others.
TEST(NotificationCenter, DeliversInOrderOnThePostingThreadAndHandlersMayPostAddRemoveAndThrow) {
    NotificationCenter center;
    fnd::LogCapture capture;
    int pad = 0, first = 0, victim = 0, late = 0, other = 0, thrower = 0;
    Calls calls;
    std::thread::id deliveredOn;
    center.addObserver(&first, "go", nullptr, [&](const Notification&) {
        calls.push_back("first");
        deliveredOn = std::this_thread::get_id();
        center.post("inner");          // nested post on the same thread
        center.removeObserver(&first); // removing oneself mid-delivery must not deadlock
        center.removeObserver(&victim);
        center.addObserver(&late, "go", nullptr, calls.as("late"));
    });
    center.addObserver(&victim, "go", nullptr, calls.as("victim"));
    center.addObserver(&other, "go", &pad, calls.as("pad's"));
    center.addObserver(&other, "inner", nullptr, calls.as("inner"));
    center.addObserver(&thrower, "inner", nullptr,
                       [](const Notification&) { throw std::runtime_error("boom"); });
    center.addObserver(&other, "inner", nullptr, calls.as("after the throw"));

    center.post("go", &pad);
    EXPECT_EQ(calls, (Calls{{"first", "inner", "after the throw", "pad's"}}));
    EXPECT_EQ(deliveredOn, std::this_thread::get_id());
    EXPECT_EQ(capture.count("boom"), 1u);
    calls.clear();
    center.post("go", &victim); // not the pad: its observer is not told
    center.post("Nobody listens");
    EXPECT_EQ(calls, (Calls{{"late"}}));
    calls.clear();
    center.removeObserver(&other); // every registration of it, for every name
    center.removeObserver(&thrower);
    center.post("go", &pad);
    center.post("inner");
    EXPECT_EQ(calls, (Calls{{"late"}}));
}

// A number outside int32 (a host's stray float) reads as absent, never as undefined behaviour.
TEST(NotificationCenter, UserInfoNumbersReadBackAsTheWidthAsked) {
    const fnd::UserInfo info{{"f", 2.75f},
                             {"i", int32_t{-7}},
                             {"s", std::string("text")},
                             {"huge", 3e9f},
                             {"nan", std::numeric_limits<float>::quiet_NaN()}};
    EXPECT_EQ(fnd::floatValue(info, "i"), -7.0f);
    EXPECT_EQ(fnd::int32Value(info, "f"), 2);
    EXPECT_EQ(fnd::int32Value(info, "huge"), std::nullopt);
    EXPECT_EQ(fnd::int32Value(info, "nan"), std::nullopt);
    EXPECT_EQ(fnd::floatValue(info, "s"), std::nullopt);
    EXPECT_EQ(fnd::stringValue(info, "f"), nullptr);
}

// An editor torn down on the main thread while the controller and the audio side keep
// posting: after removeObserver returns, its handler must never run again.
TEST(NotificationCenter, RemovedObserversAreNeverCalledWhileOtherThreadsPost) {
    NotificationCenter center;
    std::atomic<int> lateCalls{0}, deliveries{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&] {
            while (!done.load())
                center.post("tick", nullptr, {{"X-Value", 0.5f}});
        });

    for (int round = 0; round < 300; ++round) {
        auto removed = std::make_unique<std::atomic<bool>>(false);
        std::atomic<bool>* raw = removed.get();
        center.addObserver(
            raw, "tick", nullptr, [raw, &lateCalls, &deliveries](const Notification&) {
                if (raw->load()) ++lateCalls;
                ++deliveries;
                std::this_thread::yield(); // widen the window in which removal overlaps delivery
                if (raw->load()) ++lateCalls;
            });
        // Let at least one post reach it, so removal really races running deliveries.
        const int before = deliveries.load();
        while (deliveries.load() == before)
            std::this_thread::yield();
        center.removeObserver(raw);
        raw->store(true);
        removed.reset(); // the handler would now touch freed memory (ASan) if called
    }
    done.store(true);
    for (auto& poster : posters)
        poster.join();
    EXPECT_EQ(lateCalls.load(), 0);
}

} // namespace
