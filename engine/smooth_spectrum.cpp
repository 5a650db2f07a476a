// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral envelope: the magnitude spectrum is taken to the lag domain, windowed there and
// brought back. The lag window's width sets how finely the envelope follows the spectrum.
#include "smooth_spectrum.h"

#include "RTzembra.h"
#include "lanes.h"
#include "simd.h"

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

namespace {

// The lag sequences of both spectra in one transform's input: A's in the real parts, B's in
// the imaginary parts. The real part of the inverse transform of a spectrum X is that of the
// conjugate-symmetric (X[k] + conj X[n - k]) / 2; X is zero from n/2 on, so the lower half
// of that is X itself halved, and the upper half its mirror image, conjugated.
__attribute__((always_inline)) inline void packLagSpectra(const float* magA, const float* magB,
                                                          SmoothingCache* smoothing, long n) {
    SmoothingCache& cache = *smoothing;
    const float* c = cache.phaseFactorCos;
    const float* s = cache.phaseFactorSin;
    float* work = cache.work;
    const auto pack = [&](long k, auto ma, auto mb, auto ck, auto sk) {
        const auto aRe = 0.5f * (ma * ck), aIm = 0.5f * (ma * sk);
        const auto bRe = 0.5f * (mb * ck), bIm = 0.5f * (mb * sk);
        if constexpr (sizeof ma == sizeof(float)) {
            work[2 * k] = aRe - bIm;
            work[2 * k + 1] = aIm + bRe;
            work[2 * (n - k)] = aRe + bIm;
            work[2 * (n - k) + 1] = bRe - aIm;
        } else {
            storeComplex(work + 2 * k, aRe - bIm, aIm + bRe);
            storeComplexBackwards(work + 2 * (n - k + 1), aRe + bIm, bRe - aIm);
        }
    };
    work[0] = magA[0] * c[0];
    work[1] = magB[0] * c[0];
    work[n] = work[n + 1] = 0.0f;
    long k = 1;
    for (; k + 8 <= n / 2; k += 8)
        pack(k, load<Lanes>(magA + k), load<Lanes>(magB + k), load<Lanes>(c + k),
             load<Lanes>(s + k));
    for (; k < n / 2; ++k)
        pack(k, magA[k], magB[k], c[k], s[k]);
}

__attribute__((always_inline)) inline void windowLags(SmoothingCache* smoothing, long n) {
    SmoothingCache& cache = *smoothing;
    for (long k = 0; k < n; ++k) {
        cache.work[2 * k] *= cache.lagWindow[k];
        cache.work[2 * k + 1] *= cache.lagWindow[k];
    }
}

// The two windowed sequences' spectra apart again, doubled (A's is Y[k] + conj Y[n - k]),
// and their magnitudes: the envelopes.
__attribute__((always_inline)) inline void envelopes(const SmoothingCache* smoothing, long n,
                                                     float* envA, float* envB) {
    const float* y = smoothing->work;
    const auto squares = [&](long k, auto re, auto im, auto reM, auto imM) {
        const auto aRe = re + reM, aIm = im - imM, bRe = im + imM, bIm = re - reM;
        store(envA + k, aRe * aRe + aIm * aIm);
        store(envB + k, bRe * bRe + bIm * bIm);
    };
    squares(0, y[0], y[1], y[0], y[1]);
    long k = 1;
    for (; k + 8 <= n / 2 + 1; k += 8) {
        const float* front = y + 2 * k;
        const float* back = y + 2 * (n - k + 1);
        squares(k, realParts(load<Lanes>(front), load<Lanes>(front + 8)),
                imaginaryParts(load<Lanes>(front), load<Lanes>(front + 8)),
                realPartsBackwards(back), imaginaryPartsBackwards(back));
    }
    for (; k <= n / 2; ++k)
        squares(k, y[2 * k], y[2 * k + 1], y[2 * (n - k)], y[2 * (n - k) + 1]);
    for (k = 0; k <= n / 2; ++k) {
        envA[k] = std::sqrt(envA[k]);
        envB[k] = std::sqrt(envB[k]);
    }
}

} // namespace

void smoothSpectraCached(const float* magA, const float* magB, long width, float* envA,
                         float* envB, long windowType, const FftPlan& plan, SmoothingCache& cache) {
    const long n = 1L << plan.log2n;
    width = std::clamp(width, 0L, n); // a wider window would start before lag 0
    if (cache.phaseFactorLength != n) buildPhaseFactors(cache, n);
    if (2 * (width / 2) != cache.lagWindowLength || cache.lagWindowN != n ||
        cache.lagWindowType != windowType)
        buildLagWindow(cache, n, width, windowType);
    runWide<packLagSpectra>(magA, magB, &cache, n);
    fftInversePlanned(plan, cache.work);
    runWide<windowLags>(&cache, n);
    fftForwardPlanned(plan, cache.work);
    runWide<envelopes>(static_cast<const SmoothingCache*>(&cache), n, envA, envB);
}

void smoothSpectrumCached(const float* mag, long width, float* env, long windowType,
                          const FftPlan& plan, SmoothingCache& cache) {
    float unused[(1L << kFftMaxLog2) / 2 + 1];
    smoothSpectraCached(mag, mag, width, env, unused, windowType, plan, cache);
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
