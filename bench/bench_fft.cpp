// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's 2048-point complex FFT beside FFTW (measured plan) and KissFFT: one forward
// single-precision transform per iteration, in place where the library allows it.
//
// Repeated unscaled transforms of the same buffer overflow to inf and then NaN after a few
// dozen iterations. x86 vector arithmetic runs at the same speed on those (only subnormals
// are slow), so every contestant does the same work throughout.
#include "fft_internal.h"
#include "simd.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <kiss_fft.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr long kLog2N = 11;
constexpr long kN = 1L << kLog2N;

struct FreeAligned {
    void operator()(float* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<float, FreeAligned>;

// kN complex values of noise, 64-byte aligned so that no library is penalised by the buffer.
Buffer noise() {
    Buffer b(static_cast<float*>(std::aligned_alloc(64, 2 * kN * sizeof(float))));
    std::mt19937 rng(2048);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (long i = 0; i < 2 * kN; ++i)
        b.get()[i] = dist(rng);
    return b;
}

std::unique_ptr<zembra::FftPlan> zembraPlan() {
    std::vector<float> table(kN / 4 + 1);
    table[0] = 1.0f;
    for (long k = 1; k <= kN / 4; ++k)
        table[k] = static_cast<float>(std::cos(2.0 * M_PI * k / kN));
    auto plan = std::make_unique<zembra::FftPlan>();
    zembra::fftPlanInit(*plan, kLog2N, table.data());
    return plan;
}

void zembraOnPath(benchmark::State& state, zembra::WidePath path) {
    const auto plan = zembraPlan();
    Buffer data = noise();
    for (auto _ : state) {
        zembra::fftTransformOnPath(*plan, data.get(), false, path);
        benchmark::DoNotOptimize(data.get());
        benchmark::ClobberMemory();
    }
}

// The engine's entry point: the widest build the CPU runs.
void BM_FftZembra(benchmark::State& state) {
    const auto plan = zembraPlan();
    if (zembra::widestPathOnCpu() == zembra::WidePath::portable) state.SetLabel("portable");
    Buffer data = noise();
    for (auto _ : state) {
        zembra::fftForwardPlanned(*plan, data.get());
        benchmark::DoNotOptimize(data.get());
        benchmark::ClobberMemory();
    }
}

void BM_FftZembraPortable(benchmark::State& state) {
    zembraOnPath(state, zembra::WidePath::portable);
}

void BM_FftZembraAvx2(benchmark::State& state) {
    zembraOnPath(state, zembra::WidePath::avx2);
}

void BM_FftFftwMeasure(benchmark::State& state) {
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(kN * sizeof(fftwf_complex)));
    // Planning with FFTW_MEASURE overwrites the array, so the signal goes in afterwards.
    fftwf_plan plan =
        fftwf_plan_dft_1d(static_cast<int>(kN), data, data, FFTW_FORWARD, FFTW_MEASURE);
    const Buffer input = noise();
    for (long k = 0; k < kN; ++k) {
        data[k][0] = input.get()[2 * k];
        data[k][1] = input.get()[2 * k + 1];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}

// KissFFT allocates a scratch buffer on every in-place call, so it runs out of place.
void BM_FftKissFft(benchmark::State& state) {
    kiss_fft_cfg cfg = kiss_fft_alloc(static_cast<int>(kN), 0, nullptr, nullptr);
    const Buffer input = noise();
    std::vector<kiss_fft_cpx> in(kN), out(kN);
    for (long k = 0; k < kN; ++k)
        in[k] = {input.get()[2 * k], input.get()[2 * k + 1]};
    for (auto _ : state) {
        kiss_fft(cfg, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    kiss_fft_free(cfg);
}

BENCHMARK(BM_FftZembra)->Name("BM_FFT2048/zembra");
BENCHMARK(BM_FftZembraPortable)->Name("BM_FFT2048/zembra_portable");
BENCHMARK(BM_FftZembraAvx2)->Name("BM_FFT2048/zembra_avx2");
BENCHMARK(BM_FftFftwMeasure)->Name("BM_FFT2048/fftw_measure");
BENCHMARK(BM_FftKissFft)->Name("BM_FFT2048/kissfft");

} // namespace
