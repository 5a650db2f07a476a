// SPDX-License-Identifier: GPL-3.0-or-later
// Phase of a complex value to within 0.005 radians: cheaper than atan2f, accurate enough
// that the blend cannot tell, and written without branches so whole spectra vectorise.
#pragma once

#include <cmath>

namespace zembra {

inline float fastAtan2(float im, float re) {
    constexpr float kPi = 3.1415927f;
    constexpr float kHalfPi = 1.5707964f;
    // Every candidate is formed, then one is picked: no lane of a vector needs a branch.
    const float z = im / re;
    const float steep = z / (-0.28f - z * z) + kHalfPi;
    const float steepPhi = im < 0.0f ? steep - kPi : steep;
    const float flat = z / (0.28f * z * z + 1.0f);
    const float flatPhi = re < 0.0f ? (im >= 0.0f ? flat + kPi : flat - kPi) : flat;
    const float phi = std::fabs(z) >= 1.0f ? steepPhi : flatPhi;
    const float onAxis = im > 0.0f ? kHalfPi : (im == 0.0f ? 0.0f : -kHalfPi);
    return ((re > 0.0f) | (re < 0.0f)) ? phi : onAxis; // a NaN real part counts as zero
}

} // namespace zembra
