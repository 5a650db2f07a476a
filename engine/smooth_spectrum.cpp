// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral envelope: the magnitude spectrum is taken to the lag domain, windowed there and
// brought back. The lag window's width sets how finely the envelope follows the spectrum.
#include "smooth_spectrum.h"

#include "RTzembra.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zembra {

namespace {

// e^(i pi k) = (-1)^k, with the small imaginary parts that rounding k*pi to float leaves.
void buildPhaseFactors(SmoothingCache& cache, long n) {
    for (long k = 0; k <= n / 2; ++k) {
        const auto theta = static_cast<float>(static_cast<double>(k) * M_PI);
        cache.phaseFactorCos[k] = std::cos(theta);
        cache.phaseFactorSin[k] = std::sin(theta);
    }
    cache.phaseFactorLength = n;
}

float lagWindowValue(long windowType, long j, long length) {
    if (length == 0) return 1.0f; // a width below 2 keeps the centre lag alone
    const auto jf = static_cast<float>(j);
    const auto lf = static_cast<float>(length);
    const auto cosOf = [&](double turns) {
        return std::cos(static_cast<float>(turns * M_PI / static_cast<double>(length) *
                                           static_cast<double>(j)));
    };
    switch (windowType) {
    case 1:
        return 0.5f - 0.5f * cosOf(2.0);
    case 2:
        return 0.54f - 0.46f * cosOf(2.0);
    case 3:
        return jf < lf / 2.0f ? jf / (lf / 2.0f) : 1.0f - (jf - lf / 2.0f) / (lf / 2.0f);
    case 4: {
        const float x = (jf - lf / 2.0f) / (lf / 2.0f);
        return 1.0f - x * x;
    }
    case 5:
        return 0.42f - 0.5f * cosOf(2.0) + 0.08f * cosOf(4.0);
    default:
        return 1.0f;
    }
}

// The window sits centred on lag n/2, where the phase factors moved lag 0.
void buildLagWindow(SmoothingCache& cache, long n, long width, long windowType) {
    const long half = width / 2;
    const long start = n / 2 - half;
    const long length = 2 * half;
    std::memset(cache.lagWindow, 0, sizeof(float) * static_cast<size_t>(n));
    for (long j = 0; j <= length && start + j < n; ++j)
        cache.lagWindow[start + j] = lagWindowValue(windowType, j, length);
    cache.lagWindowLength = length;
    cache.lagWindowN = n;
    cache.lagWindowType = windowType;
}

} // namespace

void smoothSpectrumCached(const float* mag, long width, float* env, long windowType,
                          const FftPlan& plan, SmoothingCache& cache) {
    const long n = 1L << plan.log2n;
    width = std::clamp(width, 0L, n); // a wider window would start before lag 0
    if (cache.phaseFactorLength != n) buildPhaseFactors(cache, n);
    float* work = cache.work;
    for (long k = 0; k < n / 2; ++k) {
        work[2 * k] = mag[k] * cache.phaseFactorCos[k];
        work[2 * k + 1] = mag[k] * cache.phaseFactorSin[k];
    }
    std::memset(work + n, 0, sizeof(float) * static_cast<size_t>(n));

    fftInversePlanned(plan, work);

    if (2 * (width / 2) != cache.lagWindowLength || cache.lagWindowN != n ||
        cache.lagWindowType != windowType)
        buildLagWindow(cache, n, width, windowType);
    for (long k = 0; k < n; ++k) {
        work[2 * k] *= cache.lagWindow[k];
        work[2 * k + 1] = 0.0f;
    }

    fftForwardPlanned(plan, work);

    for (long k = 0; k <= n / 2; ++k)
        env[k] = 2.0f * std::sqrt(work[2 * k] * work[2 * k] + work[2 * k + 1] * work[2 * k + 1]);
}

} // namespace zembra

using namespace zembra;

extern "C" void smoothSpectrum(const float* mag, long n, long width, float* env, long windowType,
                               const float* cosTable, long log2n) {
    if (log2n < kFftMinLog2 || log2n > kFftMaxLog2 || n != (1L << log2n)) return;
    // Plain calloc keeps the engine library free of the C++ runtime.
    auto* plan = static_cast<FftPlan*>(std::calloc(1, sizeof(FftPlan)));
    auto* cache = static_cast<SmoothingCache*>(std::calloc(1, sizeof(SmoothingCache)));
    if (plan && cache && fftPlanInit(*plan, log2n, cosTable))
        smoothSpectrumCached(mag, width, env, windowType, *plan, *cache);
    std::free(cache);
    std::free(plan);
}
