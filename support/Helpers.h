// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared with the audio side: the day of the year, the 7-bit controller
// range and a short sleep.
#pragma once

#include "support/Export.h"

#include <ctime>

// Day of the year of the current local time: 0 for 1 January to 365 for 31 December of a
// leap year.
ZEMBRA_EXPORT int getYDay();
// `value` clamped to 0..127.
ZEMBRA_EXPORT long limit(long value);
// Sleeps the calling thread for `milliseconds`. Meant for 0 to 999; a second or more sleeps
// that long too (rather than not at all), and negative values return at once.
ZEMBRA_EXPORT void SpendTimeInOtherThreads(long milliseconds);

namespace zembra {

int yearDay(std::time_t when);
// The interval SpendTimeInOtherThreads sleeps, normalised so nanosleep accepts it.
timespec sleepInterval(long milliseconds);

} // namespace zembra
