// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT's two code paths, named so that tests and benchmarks can run each one: the
// portable path (SSE2, which every x86-64 has) and the 256-bit AVX2 path.
#pragma once

#include "fft.h"

namespace zembra {

enum class FftPath { portable, simd };

// Runs the transform on the given path; FftPath::simd falls back to portable on a CPU
// without AVX2.
void fftTransformOnPath(const FftPlan& plan, float* data, bool inverse, FftPath path);

// The 256-bit kernel, built in its own translation unit for AVX2; sizes of 64 points and up,
// only where fftSimdSupported().
void fftKernelAvx2(const FftPlan& plan, float* data, bool inverse);

} // namespace zembra
