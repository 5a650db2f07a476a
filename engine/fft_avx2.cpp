// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT kernel built for AVX2: 8-float vectors in one register each. The whole file is
// compiled for AVX2 (the pragma comes before every include), so it must define nothing with
// external linkage but fftKernelAvx2, which runs only after the CPU check.
#pragma GCC target("avx2")

#include "fft_avx2_traits.h"
#include "fft_kernel.h"

namespace zembra {

void fftKernelAvx2(const FftPlan& plan, float* data, bool inverse) {
    FftKernel<Avx2>::transform(plan, data, inverse);
}

} // namespace zembra
