// SPDX-License-Identifier: GPL-3.0-or-later
// Run loops: the queue, the timers, pumping, and binding loops to threads.
#include "platform/foundation/RunLoop.h"

#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoopDetail.h"

#include <algorithm>
#include <exception>

namespace fnd {

// Lets a thread find the loop bound to it without keeping a destroyed loop reachable.
struct RunLoop::Anchor {
    std::atomic<RunLoop*> loop;
};

namespace {

// Work that re-queues itself runs at most this many times per runUntilIdle.
constexpr int kMaxRoundsPerPump = 16;
// A repeating timer faster than this would keep a pump busy forever under a still clock.
constexpr Clock::duration kMinRepeatInterval = std::chrono::milliseconds(1);

thread_local std::shared_ptr<void> tBoundAnchor; // the RunLoop::Anchor of this thread's loop
thread_local std::unique_ptr<RunLoop> tOwnedLoop;

void runGuarded(const std::function<void()>& fn, const char* what) {
    try {
        fn();
    } catch (const std::exception& e) {
        log(LogLevel::Error, std::string(what) + " threw: " + e.what());
    } catch (...) {
        log(LogLevel::Error, std::string(what) + " threw");
    }
}

} // namespace

RunLoop::RunLoop() : RunLoop(std::make_shared<SteadyClock>()) {}

RunLoop::RunLoop(std::shared_ptr<const Clock> clock)
    : mClock(std::move(clock)), mAnchor(std::make_shared<Anchor>()) {
    mAnchor->loop.store(this);
}

RunLoop::~RunLoop() {
    mAnchor->loop.store(nullptr);
    std::deque<Item> dropped;
    {
        std::lock_guard lock(mMutex);
        dropped.swap(mQueue);
        mTimers.clear();
    }
    for (auto& item : dropped)
        if (item.call) detail::cancelIfQueued(*item.call);
}

RunLoop& RunLoop::main() {
    static auto* loop = new RunLoop;
    return *loop;
}

RunLoop* RunLoop::current() {
    if (auto anchor = std::static_pointer_cast<Anchor>(tBoundAnchor)) {
        RunLoop* loop = anchor->loop.load();
        if (loop && loop->isCurrent()) return loop;
    }
    RunLoop& mainLoop = main();
    return mainLoop.isCurrent() ? &mainLoop : nullptr;
}

RunLoop& RunLoop::forCurrentThread() {
    if (RunLoop* loop = current()) return *loop;
    tOwnedLoop = std::make_unique<RunLoop>();
    tOwnedLoop->bindToCurrentThread();
    return *tOwnedLoop;
}

void RunLoop::bindToCurrentThread() {
    mOwner.store(std::this_thread::get_id());
    // The main loop is found by current() directly; a thread may own a loop and be main.
    if (this != &main()) tBoundAnchor = mAnchor;
}

bool RunLoop::isCurrent() const {
    return mOwner.load() == std::this_thread::get_id();
}

bool RunLoop::claimForPump(const char* method) {
    const auto self = std::this_thread::get_id();
    std::thread::id owner = mOwner.load();
    if (owner == self) return true;
    if (owner == std::thread::id{} && mOwner.compare_exchange_strong(owner, self)) {
        bindToCurrentThread();
        return true;
    }
    AssertionHandler::current().report(method, this, __FILE__, __LINE__,
                                       "run loop pumped from a thread it is not bound to");
    return false;
}

void RunLoop::perform(std::function<void()> fn) {
    {
        std::lock_guard lock(mMutex);
        mQueue.push_back({std::move(fn), nullptr});
    }
    mWake.notify_all();
}

bool RunLoop::performAndWait(std::function<void()> fn) {
    return performAndWait(std::move(fn), CancelToken{});
}

bool RunLoop::performAndWait(std::function<void()> fn, const CancelToken& token,
                             std::optional<std::chrono::milliseconds> timeout) {
    using Status = detail::PendingCall::Status;
    if (token.isCancelled()) return false;
    if (isCurrent()) {
        runGuarded(fn, "performAndWait work");
        return true;
    }
    auto call = std::make_shared<detail::PendingCall>();
    call->fn = std::move(fn);
    if (!token.attach(call)) return false;
    {
        std::lock_guard lock(mMutex);
        mQueue.push_back({nullptr, call});
    }
    mWake.notify_all();

    std::unique_lock lock(call->mutex);
    auto finished = [&] {
        return call->status == Status::Done || call->status == Status::Cancelled;
    };
    if (timeout && !call->done.wait_for(lock, *timeout, finished)) {
        if (call->status == Status::Queued) {
            lock.unlock();
            detail::cancelIfQueued(*call);
            lock.lock();
        }
    }
    // Started work may point into our caller's stack: it is always waited for.
    call->done.wait(lock, finished);
    return call->status == Status::Done;
}

Timer RunLoop::addTimer(Clock::duration interval, bool repeats, std::function<void()> fn) {
    if (repeats) interval = std::max(interval, kMinRepeatInterval);
    auto state = std::make_shared<detail::TimerState>(mClock->now() + interval, interval, repeats,
                                                      std::move(fn));
    {
        std::lock_guard lock(mMutex);
        mTimers.push_back(state);
    }
    mWake.notify_all();
    return Timer(state);
}

std::optional<Clock::time_point> RunLoop::nextTimerDueLocked() const {
    std::optional<Clock::time_point> next;
    for (const auto& timer : mTimers)
        if (!next || timer->due < *next) next = timer->due;
    return next;
}

// One pass over what is queued and due now. Returns how many items it looked at, `ran`
// counts those that actually ran (cancelled work and invalidated timers do not).
std::size_t RunLoop::runRound(std::size_t& ran) {
    using Status = detail::PendingCall::Status;
    std::deque<Item> batch;
    std::vector<std::shared_ptr<detail::TimerState>> due;
    {
        std::lock_guard lock(mMutex);
        batch.swap(mQueue);
        const auto now = mClock->now();
        std::erase_if(mTimers, [](const auto& timer) {
            std::lock_guard timerLock(timer->mutex);
            return !timer->valid;
        });
        for (auto it = mTimers.begin(); it != mTimers.end();) {
            auto& timer = *it;
            if (timer->due > now) {
                ++it;
                continue;
            }
            due.push_back(timer);
            if (timer->repeats) {
                const auto missed = (now - timer->due) / timer->interval;
                timer->due += (missed + 1) * timer->interval;
                ++it;
            } else {
                it = mTimers.erase(it);
            }
        }
    }

    for (auto& item : batch) {
        if (!item.call) {
            runGuarded(item.fn, "run loop work");
            ++ran;
            continue;
        }
        auto& call = *item.call;
        {
            std::lock_guard lock(call.mutex);
            if (call.status != Status::Queued) continue;
            call.status = Status::Running;
        }
        runGuarded(call.fn, "performAndWait work");
        std::lock_guard lock(call.mutex);
        call.status = Status::Done;
        call.fn = nullptr;
        call.done.notify_all();
        ++ran;
    }

    const auto self = std::this_thread::get_id();
    for (auto& timer : due) {
        {
            std::lock_guard lock(timer->mutex);
            if (!timer->valid) continue;
            ++timer->firing;
            timer->firingThread = self;
        }
        runGuarded(timer->fn, "timer");
        std::lock_guard lock(timer->mutex);
        --timer->firing;
        if (!timer->repeats) timer->valid = false;
        timer->idle.notify_all();
        ++ran;
    }
    return batch.size() + due.size();
}

std::size_t RunLoop::pump() {
    std::size_t ran = 0;
    for (int round = 0; round < kMaxRoundsPerPump; ++round)
        if (runRound(ran) == 0) break;
    return ran;
}

std::size_t RunLoop::runUntilIdle() {
    if (!claimForPump("RunLoop::runUntilIdle")) return 0;
    return pump();
}

bool RunLoop::runFor(std::chrono::milliseconds duration) {
    if (!claimForPump("RunLoop::runFor")) return false;
    const auto deadline = mClock->now() + duration;
    for (;;) {
        pump();
        std::unique_lock lock(mMutex);
        if (mStopRequested) {
            mStopRequested = false;
            return false;
        }
        const auto now = mClock->now();
        if (now >= deadline) return true;
        if (!mQueue.empty()) continue;
        auto wakeAt = deadline;
        if (auto next = nextTimerDueLocked()) wakeAt = std::min(wakeAt, *next);
        if (wakeAt <= now) continue;
        mWake.wait_for(lock, wakeAt - now, [&] { return !mQueue.empty() || mStopRequested; });
    }
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mMutex);
        mStopRequested = true;
    }
    mWake.notify_all();
}

} // namespace fnd
