// SPDX-License-Identifier: GPL-3.0-or-later
// The microsecond clock's halves and its monotonic source.
#include "platform/usb/MicrosecondClock.h"

#include <gtest/gtest.h>

namespace {

TEST(MicrosecondClock, HalvesSplitAndJoinAtTheCarry) {
    constexpr uint64_t justBelow = (uint64_t{1} << 32) - 1;
    EXPECT_EQ(usb::Microseconds::fromValue(justBelow).hi, 0u);
    EXPECT_EQ(usb::Microseconds::fromValue(justBelow).lo, 0xFFFFFFFFu);
    EXPECT_EQ(usb::Microseconds::fromValue(justBelow + 1).hi, 1u);
    EXPECT_EQ(usb::Microseconds::fromValue(justBelow + 1).lo, 0u);
    EXPECT_EQ(usb::Microseconds::fromValue(0x123456789ABCull).value(), 0x123456789ABCull);
}

TEST(MicrosecondClock, MonotonicNeverGoesBack) {
    const auto& clock = usb::monotonicMicrosecondClock();
    uint64_t last = clock.now().value();
    EXPECT_GT(last, 0u);
    for (int i = 0; i < 1000; ++i) {
        const uint64_t now = clock.now().value();
        ASSERT_GE(now, last);
        last = now;
    }
}

} // namespace
