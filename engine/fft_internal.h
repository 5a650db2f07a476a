// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT's three builds, named so that tests and benchmarks can run each one: the portable
// kernel (SSE2, which every x86-64 has), the 256-bit AVX2 kernel and the AVX-512 one.
#pragma once

#include "fft.h"
#include "simd.h"

namespace zembra {

// Runs the transform in the given build, or the widest narrower one the CPU runs.
void fftTransformOnPath(const FftPlan& plan, float* data, bool inverse, WidePath path);

// The kernels built in translation units of their own, for sizes of 64 points and up; call
// them only where the CPU runs their build.
void fftKernelAvx2(const FftPlan& plan, float* data, bool inverse);
void fftKernelAvx512(const FftPlan& plan, float* data, bool inverse);

} // namespace zembra
