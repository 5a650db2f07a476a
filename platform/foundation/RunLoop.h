// SPDX-License-Identifier: GPL-3.0-or-later
// Run loops: a queue of work and timers that one thread runs when it pumps the loop.
//
// The main run loop is the interface thread's: the plug-in UI pumps it from its idle
// callback (tests pump it directly). "The main thread" is whichever thread the main loop
// is bound to, explicitly with bindToCurrentThread() or by being the first to pump it.
// Other threads that want a loop of their own (the controller) use forCurrentThread() or
// own a RunLoop object and run it with runFor().
#pragma once

#include "platform/foundation/CancelToken.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Timer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace fnd {

class RunLoop {
  public:
    // A loop on the steady clock, or on `clock` (tests pass a ManualClock).
    RunLoop();
    explicit RunLoop(std::shared_ptr<const Clock> clock);
    // Work still queued is dropped; performAndWait callers still waiting are freed (false).
    // Destroy a loop on its own thread, or after its thread is done with it.
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The interface thread's loop. Never destroyed.
    static RunLoop& main();
    // The loop bound to the calling thread (its own, else main if main is bound here),
    // or nullptr.
    static RunLoop* current();
    // current(), or a new loop owned by the calling thread and destroyed when it exits.
    static RunLoop& forCurrentThread();

    // Makes the calling thread the one that runs this loop. For the main loop: the host
    // may run successive editors on different threads, so the UI rebinds when it opens.
    void bindToCurrentThread();
    bool isCurrent() const;

    // Runs `fn` on the loop's thread at its next pump. From any thread.
    void perform(std::function<void()> fn);

    // Runs `fn` on the loop's thread and waits until it has run. On the loop's own thread
    // it runs at once. Returns true when `fn` ran; false when the token was cancelled or
    // `timeout` passed before `fn` started, or the loop was destroyed: `fn` then never
    // runs. Once `fn` has started, the call waits for it to finish (it may use the
    // caller's stack), whatever happens to the token or the timeout.
    bool performAndWait(std::function<void()> fn);
    bool performAndWait(std::function<void()> fn, const CancelToken& token,
                        std::optional<std::chrono::milliseconds> timeout = std::nullopt);

    // Calls `fn` on the loop's thread `interval` from now, and, if `repeats`, every
    // `interval` after that; firings missed while the loop was not pumped are skipped.
    [[nodiscard]] Timer addTimer(Clock::duration interval, bool repeats, std::function<void()> fn);

    // Runs the queued work and the timers that are due, until none is left; work queued
    // meanwhile runs too, within a bound so that work re-queueing itself cannot hold the
    // caller forever. Returns how many items ran. Pumped from a thread the loop is not
    // bound to, it reports to the assertion handler and runs nothing; an unbound loop binds
    // to the pumping thread.
    std::size_t runUntilIdle();

    // Runs work and timers as they come, sleeping in between, for `duration` on the loop's
    // clock (so under a ManualClock only stop() ends it) or until stop(). Returns true when
    // the time ran out; false when stopped, or when refused as runUntilIdle refuses.
    bool runFor(std::chrono::milliseconds duration);
    // Ends the current runFor, or the next one if none is running. From any thread.
    void stop();

  private:
    // Plain work has `fn`; work someone waits for lives in `call`.
    struct Item {
        std::function<void()> fn;
        std::shared_ptr<detail::PendingCall> call;
    };
    struct Anchor;

    bool claimForPump(const char* method);
    std::size_t pump();
    std::size_t runRound(std::size_t& ran);
    std::optional<Clock::time_point> nextTimerDueLocked() const;

    std::shared_ptr<const Clock> mClock;
    std::shared_ptr<Anchor> mAnchor;
    std::atomic<std::thread::id> mOwner{};

    mutable std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<Item> mQueue;
    std::vector<std::shared_ptr<detail::TimerState>> mTimers;
    bool mStopRequested = false;
};

} // namespace fnd
