// SPDX-License-Identifier: GPL-3.0-or-later
// Calibrated (device-independent sRGB) colours with straight, not premultiplied, alpha.
#pragma once

namespace tk {

struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    static constexpr Color calibratedRGBA(double r, double g, double b, double a = 1.0) {
        return {r, g, b, a};
    }
    static constexpr Color calibratedWhite(double white, double a = 1.0) {
        return {white, white, white, a};
    }
    static constexpr Color clear() { return {0.0, 0.0, 0.0, 0.0}; }
    constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }
    friend bool operator==(const Color&, const Color&) = default;
};

} // namespace tk
