// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding arithmetic, in single precision as the device's original decoder computed it,
// so the same reports give the same dial and stick values.
#include "controller/KlovDecode.h"

#include <algorithm>
#include <cmath>

namespace klov {

float DialFactor(usb::Microseconds now, usb::Microseconds last) {
    constexpr float kFullSpeed = 5.0f;
    if (now.hi != last.hi) return 1.0f;
    const uint32_t dt = now.lo - last.lo; // unsigned: wraps like the device's clock halves
    if (dt == 0) return kFullSpeed;       // 100000 / 0 is infinite speed
    const float speed = 100000.0f / static_cast<float>(dt);
    return speed < 1.0f ? 1.0f : std::min(speed, kFullSpeed);
}

StickPoint StickOutput(uint8_t rawX, uint8_t rawY) {
    constexpr float kPi = 3.14159265358979323846f;
    // 0.00390625 = 1/256: the raw byte to 0..1, then to -1..1.
    const float x = static_cast<float>(rawX) * 0.00390625f * 2.0f - 1.0f;
    const float y = static_cast<float>(rawY) * 0.00390625f * 2.0f - 1.0f;
    float angle = std::atan2(y, x) - kPi / 4.0f;
    angle = angle + kPi;
    const float radius = std::sqrt(x * x + y * y) * (kPi / 2.0f);
    const float sx = std::sin(angle) * radius;
    const float sy = std::cos(angle) * radius;
    const float outX = sx * 64.0f + 64.0f;
    const float outY = sy * 64.0f + 64.0f;
    auto bound = [](float v) { return std::clamp(static_cast<int32_t>(v), 0, 127); };
    return {bound(outX), bound(outY)};
}

KlovReport LedReport(bool first, bool second, bool third) {
    constexpr uint8_t kOn = 0x80;
    return {0x00,
            0x00,
            static_cast<uint8_t>(third ? kOn : 0),
            static_cast<uint8_t>(second ? kOn : 0),
            static_cast<uint8_t>(first ? kOn : 0),
            0x00,
            0x00,
            0x00};
}

} // namespace klov
