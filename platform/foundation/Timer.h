// SPDX-License-Identifier: GPL-3.0-or-later
// A timer scheduled on a run loop. The handle owns the schedule: invalidating the handle,
// or destroying it, stops the timer.
#pragma once

#include <memory>

namespace fnd {

namespace detail {
struct TimerState;
}

class Timer {
  public:
    Timer() = default;
    ~Timer() { invalidate(); }
    Timer(Timer&&) noexcept = default;
    Timer& operator=(Timer&& other) noexcept;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // After this returns the callback will not start again; a firing running on the loop's
    // thread is waited for unless invalidate is called from the callback itself.
    void invalidate();
    // True while the timer may still fire: not invalidated, and a one-shot not yet fired.
    bool isValid() const;

  private:
    friend class RunLoop;
    explicit Timer(std::shared_ptr<detail::TimerState> state) : mState(std::move(state)) {}
    std::shared_ptr<detail::TimerState> mState;
};

} // namespace fnd
