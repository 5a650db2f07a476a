// SPDX-License-Identifier: GPL-3.0-or-later
// Shared state between a run loop and the handles it gives out (tokens, timers). Private
// to the foundation library.
#pragma once

#include "platform/foundation/Clock.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace fnd::detail {

// One performAndWait: the waiter blocks on `done` until the status leaves Queued/Running.
struct PendingCall {
    enum class Status { Queued, Running, Done, Cancelled };

    std::mutex mutex;
    std::condition_variable done;
    Status status = Status::Queued;
    std::function<void()> fn;
};

// Withdraws a call that has not started and frees the waiter. The work is destroyed here,
// outside the lock, rather than whenever the loop next looks at its queue.
void cancelIfQueued(PendingCall& call);

struct TimerState {
    TimerState(Clock::time_point firstDue, Clock::duration every, bool repeat,
               std::function<void()> callback)
        : due(firstDue), interval(every), repeats(repeat), fn(std::move(callback)) {}

    // Scheduling: touched only under the owning loop's mutex.
    Clock::time_point due;
    const Clock::duration interval;
    const bool repeats;
    const std::function<void()> fn;

    // Firing and invalidation.
    std::mutex mutex;
    std::condition_variable idle;
    bool valid = true;
    int firing = 0; // nested pumps may fire a timer inside its own callback
    std::thread::id firingThread;
};

} // namespace fnd::detail
