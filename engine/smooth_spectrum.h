// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral envelope by windowing a magnitude spectrum in the lag domain.
#pragma once

#include "fft.h"

#include <cstdint>

namespace zembra {

constexpr long kSmoothingMaxSize = 1L << kFftMaxLog2;

// What the smoother keeps between calls: its tables for one size n, built once off the audio
// thread, and the lag window for one (width, shape). Each instance keeps its own, so instances
// on different threads never see each other's rebuilds. Plain data: lives in the record.
struct SmoothingCache {
    int64_t size; // n, 0 until smoothingInit succeeded
    // The lag sequence and the envelope are real, so both transforms run at n/2 points on the
    // even samples in the real parts and the odd ones in the imaginary parts.
    FftPlan halfPlan;
    // e^(i pi k), k = 0..n/2: (-1)^k with the small imaginary parts that rounding k pi to
    // float leaves.
    float phaseFactorCos[kSmoothingMaxSize / 2 + 1];
    float phaseFactorSin[kSmoothingMaxSize / 2 + 1];
    // e^(2 pi i k / n), k = 0..n/2: what joins the two half-size transforms.
    float turnCos[kSmoothingMaxSize / 2 + 1];
    float turnSin[kSmoothingMaxSize / 2 + 1];
    int64_t lagWindowLength; // L of the cached window
    int64_t lagWindowN;      // n it was built for, 0 = none
    int64_t lagWindowType;
    float lagWindow[kSmoothingMaxSize + 1]; // the widest window's last value lands at n
    float work[kSmoothingMaxSize]; // n/2 complex values
};

// Builds the tables for n = 2^log2n from the n-point quarter-wave cosine table; false for a
// size the smoother cannot take (n from 8 to kSmoothingMaxSize).
bool smoothingInit(SmoothingCache& cache, long log2n, const float* cosTable);

// env[0..n/2] = envelope of mag[0..n/2-1]. width sets the lag window's length (2..n);
// windowType 1 Hann, 2 Hamming, 3 triangle, 4 Welch, 5 Blackman, anything else
// rectangular. Real-time safe; does nothing before smoothingInit.
void smoothSpectrumCached(const float* mag, long width, float* env, long windowType,
                          SmoothingCache& cache);

} // namespace zembra
