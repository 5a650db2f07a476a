// SPDX-License-Identifier: GPL-3.0-or-later
// Costs of the engine: a whole block as the plug-in runs it, and its two big parts apart.
#include "RTzembra.h"
#include "ZembraProcessor.h"
#include "instance.h"
#include "smooth_spectrum.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr long kBlock = 1024;
constexpr double kRate = 48000.0;

struct FreeRecord {
    void operator()(RTzembraInstance* p) const { std::free(p); }
};
using Instance = std::unique_ptr<RTzembraInstance, FreeRecord>;

Instance makeInstance(float wetDry) {
    Instance inst(static_cast<RTzembraInstance*>(
        std::calloc(1, static_cast<size_t>(RTzembraGetStructSize()))));
    RTzembraSetParameter(kParamWetDry, wetDry, inst.get());
    RTzembraSetParameter(kParamX, 0.45f, inst.get());
    RTzembraSetParameter(kParamY, 0.3f, inst.get());
    RTzembraSetParameter(kParamMixA, 0.2f, inst.get());
    return inst;
}

std::vector<float> noise(long n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    std::vector<float> v(static_cast<size_t>(n));
    for (float& x : v)
        x = u(rng);
    return v;
}

// Seconds of 48 kHz audio processed per second of CPU.
void reportRealtime(benchmark::State& state) {
    state.counters["x_realtime_48k"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void engineBlock(benchmark::State& state) {
    Instance inst = makeInstance(0.5f);
    const auto a = noise(kBlock, 1), b = noise(kBlock, 2);
    std::vector<float> l(kBlock), r(kBlock), roomA(kBlock), roomB(kBlock);
    for (auto _ : state) {
        RTzembra(a.data(), b.data(), l.data(), r.data(), kBlock, inst.get(), 1);
        roomA = l;
        roomB = r;
        RTzembraRoomSimul(roomA.data(), roomB.data(), l.data(), r.data(), kBlock, inst.get());
        benchmark::DoNotOptimize(l.data());
    }
    reportRealtime(state);
}

void blendBlock(benchmark::State& state) {
    Instance inst = makeInstance(0.0f);
    const auto a = noise(kBlock, 1), b = noise(kBlock, 2);
    std::vector<float> l(kBlock), r(kBlock);
    for (auto _ : state) {
        RTzembra(a.data(), b.data(), l.data(), r.data(), kBlock, inst.get(), 1);
        benchmark::DoNotOptimize(l.data());
    }
    reportRealtime(state);
}

void roomBlock(benchmark::State& state) {
    Instance inst = makeInstance(0.5f);
    RTzembraSetParameter(kParamRoom, static_cast<float>(state.range(0)) / 100.0f, inst.get());
    const auto a = noise(kBlock, 1), b = noise(kBlock, 2);
    std::vector<float> inA(kBlock), inB(kBlock), l(kBlock), r(kBlock);
    for (auto _ : state) {
        inA = a;
        inB = b;
        RTzembraRoomSimul(inA.data(), inB.data(), l.data(), r.data(), kBlock, inst.get());
        benchmark::DoNotOptimize(l.data());
    }
    reportRealtime(state);
}

// One envelope at a lag-window width, with the window cached (X still) or rebuilt on every
// call (X moving: the width alternates with one 4 lags narrower).
void smoothing(benchmark::State& state) {
    Instance inst = makeInstance(0.0f);
    const bool moving = state.range(0) != 0;
    auto mag = noise(zembra::kFrameSize / 2 + 1, 3);
    for (float& m : mag)
        m = std::fabs(m);
    std::vector<float> env(zembra::kFrameSize / 2 + 1);
    const long wide = state.range(1);
    long width = wide;
    for (auto _ : state) {
        if (moving) width = width == wide ? wide - 4 : wide;
        zembra::smoothSpectrumCached(mag.data(), width, env.data(), zembra::kEnvelopeWindowType,
                                     inst->smoothing);
        benchmark::DoNotOptimize(env.data());
    }
}

// The whole chain as the plug-in and zembra-render drive it, at the room size in hundredths.
void processorBlock(benchmark::State& state) {
    zembra::Processor proc;
    proc.setParameter(kParamWetDry, 0.5f);
    proc.setParameter(kParamRoom, static_cast<float>(state.range(0)) / 100.0f);
    const auto a = noise(kBlock, 1), b = noise(kBlock, 2);
    std::vector<float> l(kBlock), r(kBlock);
    for (auto _ : state) {
        proc.process(a.data(), b.data(), l.data(), r.data(), kBlock);
        benchmark::DoNotOptimize(l.data());
    }
    reportRealtime(state);
}

} // namespace

BENCHMARK(engineBlock)->Name("BM_Engine/block1024");
BENCHMARK(processorBlock)->Name("BM_Engine/processor1024/room")->Arg(0)->Arg(50)->Arg(100);
BENCHMARK(blendBlock)->Name("BM_Blend/block1024");
// Below a size of about 0.1 fewer samples go side by side in the room, and below 0.011 four
// of its shears take them four at a time.
BENCHMARK(roomBlock)->Name("BM_Room/block1024/size")->Apply([](benchmark::internal::Benchmark* b) {
    for (int size : {0, 5, 10, 13, 25, 50, 75, 100})
        b->Arg(size);
});
// X = 0.5 and X near 1, where a moving X rebuilds the widest windows.
BENCHMARK(smoothing)->Name("BM_SmoothSpectrum/2048/moving/width")->ArgsProduct({{0, 1}, {256, 2048}});
