// SPDX-License-Identifier: GPL-3.0-or-later
// The monotonic microsecond clock.
#include "platform/usb/MicrosecondClock.h"

#include <ctime>

namespace usb {

Microseconds MonotonicMicrosecondClock::now() const {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return Microseconds::fromValue(static_cast<uint64_t>(ts.tv_sec) * 1000000u +
                                   static_cast<uint64_t>(ts.tv_nsec) / 1000u);
}

const MicrosecondClock& monotonicMicrosecondClock() {
    // Trivially destructible, so it outlives every thread that may still read it at exit.
    static constinit const MonotonicMicrosecondClock clock;
    return clock;
}

} // namespace usb
