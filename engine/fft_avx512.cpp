// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT kernel built for AVX-512: the AVX2 kernel with 32 registers, whose radix-8 passes
// take two sub-transforms at a time in 16-float registers. The whole file is compiled for
// AVX-512 (the pragma comes before every include), so it must define nothing with external
// linkage but fftKernelAvx512, which runs only after the CPU check.
#pragma GCC target("avx2,avx512f,avx512vl,avx512dq,avx512bw")

#include "fft_avx2_traits.h"

namespace zembra {
namespace {

typedef float V16 __attribute__((vector_size(64)));
typedef float V16u __attribute__((vector_size(64), aligned(4), may_alias));

struct Avx512 : Avx2 {
    // A group of 8 from each of two sub-transforms: the real parts of both in one register,
    // the imaginary parts in another.
    using W = V16;
    static void loadPair(const float* a, const float* b, W& re, W& im) {
        const W x = *reinterpret_cast<const V16u*>(a), y = *reinterpret_cast<const V16u*>(b);
        re = __builtin_shufflevector(x, y, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        im = __builtin_shufflevector(x, y, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30,
                                     31);
    }
    static void storePair(float* a, float* b, W re, W im) {
        *reinterpret_cast<V16u*>(a) =
            __builtin_shufflevector(re, im, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        *reinterpret_cast<V16u*>(b) = __builtin_shufflevector(re, im, 8, 9, 10, 11, 12, 13, 14, 15,
                                                              24, 25, 26, 27, 28, 29, 30, 31);
    }
    // The same 8 twiddles for both.
    static W twice(const float* p) {
        const V x = load(p);
        return __builtin_shufflevector(x, x, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    }
};

} // namespace
} // namespace zembra

#include "fft_kernel.h"

namespace zembra {

void fftKernelAvx512(const FftPlan& plan, float* data, bool inverse) {
    FftKernel<Avx512>::transform(plan, data, inverse);
}

} // namespace zembra
