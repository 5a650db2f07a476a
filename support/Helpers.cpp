// SPDX-License-Identifier: GPL-3.0-or-later
// Day of the year, controller-range clamp and sleep.
#include "support/Helpers.h"

#include <cerrno>

namespace zembra {

int yearDay(std::time_t when) {
    std::tm local{};
    if (!::localtime_r(&when, &local)) return 0;
    return local.tm_yday;
}

timespec sleepInterval(long milliseconds) {
    if (milliseconds <= 0) return {0, 0};
    return {static_cast<time_t>(milliseconds / 1000), (milliseconds % 1000) * 1'000'000L};
}

} // namespace zembra

int getYDay() {
    return zembra::yearDay(std::time(nullptr));
}

long limit(long value) {
    if (value > 127) return 127;
    if (value < 0) return 0;
    return value;
}

void SpendTimeInOtherThreads(long milliseconds) {
    timespec remaining = zembra::sleepInterval(milliseconds);
    // A signal delivered to this thread must not cut the sleep short.
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
