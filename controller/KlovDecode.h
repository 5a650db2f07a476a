// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of report decoding, apart from any state: knob nibbles, the dial
// acceleration, the rotated stick output and the LED report.
#pragma once

#include "platform/usb/MicrosecondClock.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace klov {

// Input and LED reports alike.
inline constexpr std::size_t kKlovReportSize = 8;
using KlovReport = std::array<uint8_t, kKlovReportSize>;

// A 4-bit two's-complement step, -8..+7.
constexpr int64_t KnobStep(uint8_t nibble) {
    nibble &= 0x0F;
    return (nibble & 0x08) ? int64_t{nibble} - 16 : int64_t{nibble};
}

// 100000 / (microseconds since the dial's last change), bounded to 1..5: a knob turned
// once per 100 ms or slower moves by its raw step, every 20 ms or faster by five times.
// When the high halves differ the change is too long ago to measure: factor 1.
float DialFactor(usb::Microseconds now, usb::Microseconds last);

struct StickPoint {
    int32_t x;
    int32_t y;
};

// The stick position, 0..255 per axis, turned by 45 degrees and scaled by pi/(2 sqrt 2)
// so that the stick's diagonals run along the output axes; each axis 0..127.
StickPoint StickOutput(uint8_t rawX, uint8_t rawY);

KlovReport LedReport(bool first, bool second, bool third);

} // namespace klov
