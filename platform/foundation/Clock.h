// SPDX-License-Identifier: GPL-3.0-or-later
// The time source of run loops and timers, replaceable so tests move time by hand.
#pragma once

#include <atomic>
#include <chrono>

namespace fnd {

class Clock {
  public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;
};

class SteadyClock final : public Clock {
  public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
};

// Stands still until advanced. Thread-safe.
class ManualClock final : public Clock {
  public:
    time_point now() const override { return time_point(duration(mTicks.load())); }
    void advance(duration by) { mTicks.fetch_add(by.count()); }

  private:
    std::atomic<duration::rep> mTicks{0};
};

} // namespace fnd
