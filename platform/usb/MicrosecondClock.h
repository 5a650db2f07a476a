// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's microsecond clock: monotonic time as a 64-bit count of microseconds,
// handled as two unsigned 32-bit halves (the dial acceleration compares the halves).
// Replaceable so tests set the time exactly.
#pragma once

#include <atomic>
#include <cstdint>

namespace usb {

struct Microseconds {
    uint32_t lo = 0;
    uint32_t hi = 0;

    constexpr uint64_t value() const { return (uint64_t{hi} << 32) | lo; }
    static constexpr Microseconds fromValue(uint64_t us) {
        return {static_cast<uint32_t>(us), static_cast<uint32_t>(us >> 32)};
    }
};

// Implementations are used from several threads at once.
class MicrosecondClock {
  public:
    virtual Microseconds now() const = 0;

  protected:
    // Clocks are never owned through this type.
    ~MicrosecondClock() = default;
};

// CLOCK_MONOTONIC: microseconds since an arbitrary point, never going back.
class MonotonicMicrosecondClock final : public MicrosecondClock {
  public:
    Microseconds now() const override;
};

// The process's monotonic clock; never destroyed.
const MicrosecondClock& monotonicMicrosecondClock();

// Stands still until set or advanced.
class ManualMicrosecondClock final : public MicrosecondClock {
  public:
    Microseconds now() const override {
        return Microseconds::fromValue(mNow.load(std::memory_order_relaxed));
    }
    void set(uint64_t us) { mNow.store(us, std::memory_order_relaxed); }
    void advance(uint64_t us) { mNow.fetch_add(us, std::memory_order_relaxed); }

  private:
    std::atomic<uint64_t> mNow{0};
};

} // namespace usb
