// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral envelope by windowing a magnitude spectrum in the lag domain.
#pragma once

#include "fft.h"

#include <cstdint>

namespace zembra {

// What the smoother caches between calls: the (-1)^k phase factors for one size and the
// lag window for one (size, width, shape). Each instance keeps its own, so instances on
// different threads never see each other's rebuilds. Plain data: lives in the record.
struct SmoothingCache {
    int64_t phaseFactorLength; // n the factors were built for, 0 = none
    float phaseFactorCos[(1L << kFftMaxLog2) / 2 + 1];
    float phaseFactorSin[(1L << kFftMaxLog2) / 2 + 1];
    int64_t lagWindowLength; // L of the cached window, 0 = none
    int64_t lagWindowN;
    int64_t lagWindowType;
    float lagWindow[1L << kFftMaxLog2];
    float work[2 * (1L << kFftMaxLog2)]; // n complex values
};

// env[0..n/2] = envelope of mag[0..n/2-1]. width sets the lag window's length (2..n);
// windowType 1 Hann, 2 Hamming, 3 triangle, 4 Welch, 5 Blackman, anything else
// rectangular. The plan fixes n. Real-time safe.
void smoothSpectrumCached(const float* mag, long width, float* env, long windowType,
                          const FftPlan& plan, SmoothingCache& cache);

} // namespace zembra
