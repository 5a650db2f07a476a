// SPDX-License-Identifier: GPL-3.0-or-later
// Phase of a complex value to within 0.005 radians: cheaper than atan2f, accurate enough
// that the blend cannot tell, and written without branches so whole spectra vectorise.
#pragma once

#include <cmath>

namespace zembra {

inline float fastAtan2(float im, float re) {
    constexpr float kPi = 3.1415927f;
    constexpr float kHalfPi = 1.5707964f;
    // Every candidate is formed, then one is picked: no lane of a vector needs a branch. The
    // two rational forms share their division, which takes the denominator of the one wanted.
    const float z = im / re;
    const bool steepSlope = std::fabs(z) >= 1.0f;
    const float q = z / (steepSlope ? -0.28f - z * z : 0.28f * z * z + 1.0f);
    const float steep = q + kHalfPi;
    const float steepPhi = im < 0.0f ? steep - kPi : steep;
    const float flatPhi = re < 0.0f ? (im >= 0.0f ? q + kPi : q - kPi) : q;
    const float phi = steepSlope ? steepPhi : flatPhi;
    const float onAxis = im > 0.0f ? kHalfPi : (im == 0.0f ? 0.0f : -kHalfPi);
    return ((re > 0.0f) | (re < 0.0f)) ? phi : onAxis; // a NaN real part counts as zero
}

} // namespace zembra
