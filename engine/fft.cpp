// SPDX-License-Identifier: GPL-3.0-or-later
// Plans, the choice of code path, the portable build of the FFT kernel, and the sizes
// below 64 points, which are too small for the 8 x 8 tiles of the vector kernel.
#include "fft_internal.h"
#include "simd.h"

#include <algorithm>
#include <type_traits>

namespace zembra {
namespace {

typedef float V4 __attribute__((vector_size(16)));
typedef int V4i __attribute__((vector_size(16)));
typedef float V4u __attribute__((vector_size(16), aligned(4), may_alias));

// SSE2, which every x86-64 CPU has: the kernel takes each group of 8 lanes in two halves.
struct Sse2 {
    using V = V4;
    static constexpr int kLanes = 4;
    static V load(const float* p) { return *reinterpret_cast<const V4u*>(p); }
    static void store(float* p, V v) { *reinterpret_cast<V4u*>(p) = v; }
    static V unpackLo(V a, V b) { return __builtin_shuffle(a, b, V4i{0, 4, 1, 5}); }
    static V unpackHi(V a, V b) { return __builtin_shuffle(a, b, V4i{2, 6, 3, 7}); }
    static V pairLo(V a, V b) { return __builtin_shuffle(a, b, V4i{0, 1, 4, 5}); }
    static V pairHi(V a, V b) { return __builtin_shuffle(a, b, V4i{2, 3, 6, 7}); }
    static V evens(V a, V b) { return __builtin_shuffle(a, b, V4i{0, 2, 4, 6}); }
    static V odds(V a, V b) { return __builtin_shuffle(a, b, V4i{1, 3, 5, 7}); }
};

} // namespace
} // namespace zembra

#include "fft_kernel.h"

namespace zembra {
namespace {

constexpr long kTileLog2 = 6; // the vector kernel's last pass works on 64-point tiles

// Radix of the first pass, then 8 down to sub-transforms of 8 points, which the last pass takes.
constexpr long firstRadix(long log2n) {
    return log2n % 3 ? 1L << (log2n % 3) : 8;
}

constexpr long twiddleFloats(long log2n) {
    long floats = 0;
    for (long len = 1L << log2n, radix = firstRadix(log2n); len > 8; len /= radix, radix = 8)
        floats += 2 * (len / radix) * (radix - 1);
    return floats;
}

constexpr bool twiddlesFit() {
    for (long log2n = kTileLog2; log2n <= kFftMaxLog2; ++log2n)
        if (twiddleFloats(log2n) > kFftTwiddleFloats) return false;
    return (1L << kTileLog2) * 2 <= kFftTwiddleFloats; // the small sizes' table
}
static_assert(twiddlesFit(), "FftPlan::twiddle is too small for the largest size");

long reverseBits(long v, long bits) {
    long r = 0;
    for (long b = 0; b < bits; ++b)
        r |= ((v >> b) & 1) << (bits - 1 - b);
    return r;
}

// n = 4 to 32, scalar: one 4-point butterfly, or an optional radix-2/4 pass, then 8-point
// butterflies whose outputs go straight to their bit-reversed places.
template <bool Inverse> void smallTransform(const FftPlan& plan, float* data) {
    const long n = 1L << plan.log2n;
    const long groups = n / 8;
    const float scale = static_cast<float>(1.0 / static_cast<double>(n));
    using C = Cx<float>;
    C x[32];
    for (long i = 0; i < n; ++i) {
        if (Inverse)
            x[i] = {data[2 * i + 1] * scale, data[2 * i] * scale};
        else
            x[i] = {data[2 * i], data[2 * i + 1]};
    }
    const auto put = [&](long at, C v) {
        data[2 * at] = Inverse ? v.im : v.re;
        data[2 * at + 1] = Inverse ? v.re : v.im;
    };
    if (n == 4) {
        C out[4];
        dft4(x, out);
        for (long q = 0; q < 4; ++q)
            put(q, out[q]);
        return;
    }
    const float* tw = plan.twiddle;
    auto firstPass = [&](auto radix) {
        constexpr int R = decltype(radix)::value;
        for (long k = 0; k < 8; ++k) {
            C u[R], v[R];
            for (int j = 0; j < R; ++j)
                u[j] = x[k + 8 * j];
            dft<R>(u, v);
            x[k] = v[0];
            for (int q = 1; q < R; ++q) {
                const long w = 2 * ((k * q) & (n - 1));
                x[k + 8 * slotOf(R, q)] = times(v[q], tw[w], tw[w + 1]);
            }
        }
    };
    if (groups == 2) firstPass(std::integral_constant<int, 2>{});
    if (groups == 4) firstPass(std::integral_constant<int, 4>{});
    for (long g = 0; g < groups; ++g) {
        C out[8];
        dft8(x + 8 * g, out);
        const long column = groups == 1 ? 0 : slotOf(static_cast<int>(groups), static_cast<int>(g));
        for (long q = 0; q < 8; ++q)
            put(q * groups + column, out[q]);
    }
}

} // namespace

float cosFromQuarter(const float* q, long n, long k) {
    k &= n - 1;
    const long quarter = n / 4;
    if (k <= quarter) return q[k];
    if (k <= 2 * quarter) return -q[2 * quarter - k];
    if (k <= 3 * quarter) return -q[k - 2 * quarter];
    return q[n - k];
}

void fftTransformOnPath(const FftPlan& plan, float* data, bool inverse, WidePath path) {
    if (plan.log2n < kFftMinLog2) return; // plan never built: leave the data alone
    if (plan.log2n < kTileLog2) {
        if (inverse)
            smallTransform<true>(plan, data);
        else
            smallTransform<false>(plan, data);
        return;
    }
    switch (std::min(path, widestPathOnCpu())) {
    case WidePath::avx512:
        fftKernelAvx512(plan, data, inverse);
        break;
    case WidePath::avx2:
        fftKernelAvx2(plan, data, inverse);
        break;
    default:
        FftKernel<Sse2>::transform(plan, data, inverse);
    }
}

bool fftPlanInit(FftPlan& plan, long log2n, const float* cosTable) {
    plan.log2n = 0;
    if (log2n < kFftMinLog2 || log2n > kFftMaxLog2) return false;
    const long n = 1L << log2n;
    plan.passCount = 0;
    plan.tileCount = 0;
    // e^(-2 pi i idx / n)
    auto re = [&](long idx) { return cosFromQuarter(cosTable, n, idx); };
    auto im = [&](long idx) { return -cosFromQuarter(cosTable, n, idx - n / 4); };

    if (log2n < kTileLog2) {
        for (long k = 0; k < n; ++k) {
            plan.twiddle[2 * k] = re(k);
            plan.twiddle[2 * k + 1] = im(k);
        }
        plan.log2n = log2n;
        return true;
    }

    long offset = 0;
    long len = n; // length of the sub-transforms the pass splits
    long radix = firstRadix(log2n);
    while (len > 8) {
        const long stride = len / radix;
        plan.passRadix[plan.passCount] = radix;
        plan.passTwiddle[plan.passCount] = offset;
        ++plan.passCount;
        for (long k0 = 0; k0 < stride; k0 += 8) {
            for (long q = 1; q < radix; ++q, offset += 16) {
                for (long j = 0; j < 8; ++j) {
                    const long idx = ((k0 + kLaneOrder[j]) * q * (n / len)) & (n - 1);
                    plan.twiddle[offset + j] = re(idx);
                    plan.twiddle[offset + 8 + j] = im(idx);
                }
            }
        }
        len = stride;
        radix = 8;
    }

    const long tileBits = log2n - kTileLog2;
    for (long m = 0; m < (1L << tileBits); ++m) {
        const long partner = reverseBits(m, tileBits);
        if (m > partner) continue;
        plan.tileFrom[plan.tileCount] = static_cast<unsigned short>(m);
        plan.tileTo[plan.tileCount] = static_cast<unsigned short>(partner);
        ++plan.tileCount;
    }
    plan.log2n = log2n;
    return true;
}

void fftForwardPlanned(const FftPlan& plan, float* data) {
    fftTransformOnPath(plan, data, false, widePath());
}

void fftInversePlanned(const FftPlan& plan, float* data) {
    fftTransformOnPath(plan, data, true, widePath());
}

} // namespace zembra
