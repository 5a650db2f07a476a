// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral envelope: the magnitude spectrum is taken to the lag domain, windowed there and
// brought back. The lag window's width sets how finely the envelope follows the spectrum.
//
// Only real signals pass between the two transforms: the lag sequence is the real part of the
// inverse transform, and the envelope the magnitude of the forward transform of the windowed
// lags. Each transform therefore runs at n/2 points, with the even lags in the real parts and
// the odd lags in the imaginary parts, and the bins of the two halves are joined around it.
#include "smooth_spectrum.h"

#include "RTzembra.h"
#include "fast_sincos.h"
#include "lanes.h"
#include "simd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace zembra {

namespace {

// cos(2 pi t) for t in 0..2, folded to -pi..pi first. The window is rebuilt on every hop while
// X moves; with a libm cosine per value that cost more than the rest of a hop near X = 1.
[[gnu::always_inline]] inline float cosOfTurns(double t) {
    const double folded = t > 1.5 ? t - 2.0 : (t > 0.5 ? t - 1.0 : t);
    return fastSinCos(static_cast<float>(folded * (2.0 * M_PI))).cos;
}

// w[0..length] for a window shape; a length of 0 keeps the centre lag alone. Every shape is
// symmetric, so the first half is computed, one loop per shape so that each runs in wide
// registers, and mirrored.
__attribute__((always_inline)) inline void fillLagWindow(float* w, long length, long windowType) {
    if (length == 0) {
        w[0] = 1.0f;
        return;
    }
    const double perLag = 1.0 / static_cast<double>(length);
    const float halfLength = static_cast<float>(length) / 2.0f;
    // An int counter: AVX2 widens 32-bit integers to doubles, not 64-bit ones.
    const auto middle = static_cast<int>(length / 2);
    const auto fill = [&](auto value) {
        for (int j = 0; j <= middle; ++j)
            w[j] = value(static_cast<double>(j) * perLag, static_cast<float>(j));
        for (long j = middle + 1; j <= length; ++j)
            w[j] = w[length - j];
    };
    switch (windowType) {
    case 1:
        fill([](double t, float) { return 0.5f - 0.5f * cosOfTurns(t); });
        break;
    case 2:
        fill([](double t, float) { return 0.54f - 0.46f * cosOfTurns(t); });
        break;
    case 3:
        fill([&](double, float j) {
            return j < halfLength ? j / halfLength : 1.0f - (j - halfLength) / halfLength;
        });
        break;
    case 4:
        fill([&](double, float j) {
            const float x = (j - halfLength) / halfLength;
            return 1.0f - x * x;
        });
        break;
    case 5:
        fill([](double t, float) {
            return 0.42f - 0.5f * cosOfTurns(t) + 0.08f * cosOfTurns(2.0 * t);
        });
        break;
    default:
        fill([](double, float) { return 1.0f; });
    }
}

// The window sits centred on lag n/2, where the phase factors moved lag 0.
void buildLagWindow(SmoothingCache& cache, long n, long width, long windowType) {
    const long half = width / 2;
    const long length = 2 * half;
    std::memset(cache.lagWindow, 0, sizeof(float) * static_cast<size_t>(n));
    // At width n the window's last value lands one past lag n - 1, where nothing reads it.
    runWide<fillLagWindow>(cache.lagWindow + n / 2 - half, length, windowType);
    cache.lagWindowLength = length;
    cache.lagWindowN = n;
    cache.lagWindowType = windowType;
}

// The half-size spectrum whose inverse holds the lag sequence: with X[k] = mag[k] e^(i pi k)
// below n/2 (zero from n/2 on), the even lags transform from E[k] = H[k] + H[k + n/2] and the
// odd ones from O[k] = (H[k] - H[k + n/2]) e^(2 pi i k / n), H being X's conjugate-symmetric
// part: H[k] = X[k] / 2 and H[k + n/2] = conj X[n/2 - k] / 2 for k >= 1, H[0] = Re X[0] and
// H[n/2] = 0. The work gets (E + iO) / 2, so the inverse's parts are the lags themselves.
__attribute__((always_inline)) inline void lagSpectrum(const float* mag, SmoothingCache* c) {
    const long h = c->size / 2;
    const float *pc = c->phaseFactorCos, *ps = c->phaseFactorSin;
    const float *tc = c->turnCos, *ts = c->turnSin;
    float* work = c->work;
    // Bin k from X[k] = (ar, ai) and conj X[n/2 - k] = (br, bi).
    const auto bin = [](auto ar, auto ai, auto br, auto bi, auto cosine, auto sine) {
        const auto dr = ar - br, di = ai - bi;
        return std::pair{((ar + br) - (dr * sine + di * cosine)) * 0.25f,
                         ((ai + bi) + (dr * cosine - di * sine)) * 0.25f};
    };
    work[0] = work[1] = mag[0] * pc[0] * 0.5f;
    long k = 1;
    for (; k + 8 <= h; k += 8) { // bins k to k + 7, and n/2 - k down to n/2 - k - 7
        const Lanes m = load<Lanes>(mag + k), mirror = backwards(mag + h - k + 1);
        const auto [re, im] =
            bin(m * load<Lanes>(pc + k), m * load<Lanes>(ps + k),
                mirror * backwards(pc + h - k + 1), -(mirror * backwards(ps + h - k + 1)),
                load<Lanes>(tc + k), load<Lanes>(ts + k));
        storeComplex(work + 2 * k, re, im);
    }
    for (; k < h; ++k) {
        const auto [re, im] = bin(mag[k] * pc[k], mag[k] * ps[k], mag[h - k] * pc[h - k],
                                  -(mag[h - k] * ps[h - k]), tc[k], ts[k]);
        work[2 * k] = re;
        work[2 * k + 1] = im;
    }
}

__attribute__((always_inline)) inline void windowLags(SmoothingCache* c) {
    for (long i = 0; i < c->size; ++i)
        c->work[i] *= c->lagWindow[i];
}

// Bin k of the windowed lags' transform from the half-size bins Z[k] and Z[n/2 - k]:
// 2 Y[k] = (Z[k] + conj Z[n/2 - k]) - i e^(-2 pi i k / n) (Z[k] - conj Z[n/2 - k]). The
// envelope is |2 Y[k]|: the squares first, the roots in a loop of their own that vectorises.
__attribute__((always_inline)) inline void envelopeFromBins(const SmoothingCache* c, float* env) {
    const long h = c->size / 2;
    const float *tc = c->turnCos, *ts = c->turnSin;
    const float* z = c->work;
    const auto power = [](auto zr, auto zi, auto mr, auto mi, auto cosine, auto sine) {
        const auto sr = zr + mr, si = zi + mi, dr = zr - mr, di = zi - mi;
        const auto re = sr + (cosine * di - sine * dr);
        const auto im = si - (sine * di + cosine * dr);
        return re * re + im * im;
    };
    // Bins 0 and n/2 both pair Z[0] with itself.
    env[0] = power(z[0], z[1], z[0], -z[1], tc[0], ts[0]);
    env[h] = power(z[0], z[1], z[0], -z[1], tc[h], ts[h]);
    long k = 1;
    for (; k + 8 <= h; k += 8) {
        const float* front = z + 2 * k;
        const float* back = z + 2 * (h - k + 1);
        store(env + k, power(realParts(load<Lanes>(front), load<Lanes>(front + 8)),
                             imaginaryParts(load<Lanes>(front), load<Lanes>(front + 8)),
                             realPartsBackwards(back), -imaginaryPartsBackwards(back),
                             load<Lanes>(tc + k), load<Lanes>(ts + k)));
    }
    for (; k < h; ++k)
        env[k] = power(z[2 * k], z[2 * k + 1], z[2 * (h - k)], -z[2 * (h - k) + 1], tc[k], ts[k]);
    for (k = 0; k <= h; ++k)
        env[k] = std::sqrt(env[k]);
}

} // namespace

bool smoothingInit(SmoothingCache& cache, long log2n, const float* cosTable) {
    cache.size = 0;
    cache.lagWindowN = 0;
    if (log2n - 1 < kFftMinLog2 || log2n > kFftMaxLog2) return false;
    const long n = 1L << log2n;
    float halfTable[kSmoothingMaxSize / 8 + 1];
    for (long k = 0; k <= n / 8; ++k)
        halfTable[k] = cosTable[2 * k];
    if (!fftPlanInit(cache.halfPlan, log2n - 1, halfTable)) return false;
    for (long k = 0; k <= n / 2; ++k) {
        const auto theta = static_cast<float>(static_cast<double>(k) * M_PI);
        cache.phaseFactorCos[k] = std::cos(theta);
        cache.phaseFactorSin[k] = std::sin(theta);
        cache.turnCos[k] = cosFromQuarter(cosTable, n, k);
        cache.turnSin[k] = cosFromQuarter(cosTable, n, k - n / 4);
    }
    cache.size = n;
    return true;
}

void smoothSpectrumCached(const float* mag, long width, float* env, long windowType,
                          SmoothingCache& cache) {
    const long n = cache.size;
    if (n == 0) return;
    width = std::clamp(width, 0L, n); // a wider window would start before lag 0
    runWide<lagSpectrum>(mag, &cache);
    fftInversePlanned(cache.halfPlan, cache.work);
    if (2 * (width / 2) != cache.lagWindowLength || cache.lagWindowN != n ||
        cache.lagWindowType != windowType)
        buildLagWindow(cache, n, width, windowType);
    runWide<windowLags>(&cache);
    fftForwardPlanned(cache.halfPlan, cache.work);
    runWide<envelopeFromBins>(static_cast<const SmoothingCache*>(&cache), env);
}

} // namespace zembra

using namespace zembra;

extern "C" void smoothSpectrum(const float* mag, long n, long width, float* env, long windowType,
                               const float* cosTable, long log2n) {
    if (log2n < kFftMinLog2 || log2n > kFftMaxLog2 || n != (1L << log2n)) return;
    // Plain calloc keeps the engine library free of the C++ runtime.
    auto* cache = static_cast<SmoothingCache*>(std::calloc(1, sizeof(SmoothingCache)));
    if (cache && smoothingInit(*cache, log2n, cosTable))
        smoothSpectrumCached(mag, width, env, windowType, *cache);
    std::free(cache);
}
