// The plug-in's audio-thread calls never touch the heap: allocation functions are replaced
// here and counted while blocks with MIDI, parameter changes and preset loads go through.
#include "FactoryPresets.h"
#include "ZembraDsp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZEMBRA_COUNT_ALLOCATIONS 0 // the sanitizers own malloc
#else
#define ZEMBRA_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

#if ZEMBRA_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

static void noteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}
void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    noteAllocation();
    return __libc_realloc(p, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
}
#endif

using namespace zembra;
using namespace zembra::plugin;

TEST(PluginRealTime, BlocksParametersMidiAndPresetsNeverAllocate) {
#if !ZEMBRA_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting is off under sanitizers";
#endif
    Dsp dsp;
    dsp.setSampleRate(48000.0);
    std::vector<float> a(4096), b(4096), l(4096), r(4096);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = 0.4f * std::sin(0.02f * static_cast<float>(i));
        b[i] = (i % 89) < 44 ? 0.3f : -0.3f;
    }
    const MidiMessage events[] = {{0, 3, {0xB0, 1, 40}},     {17, 3, {0x90, 60, 100}},
                                  {90, 3, {0xE0, 0, 80}},    {91, 2, {0xD0, 30, 0}},
                                  {200, 3, {0xB0, 64, 127}}, {250, 3, {0xB0, 123, 0}}};
    const uint32_t blocks[] = {1, 64, 333, 1024, 4096};

    counting = true;
    for (int i = 0; i < 600; ++i) {
        const uint32_t n = blocks[i % 5];
        dsp.setParameter(kParamX, static_cast<float>(i % 100) / 100.0f);
        dsp.setParameter(kParamRoom, static_cast<float>(i % 97));
        dsp.setParameter(kParamWetDry, 40.0f);
        dsp.setParameter(kParamSoloA, static_cast<float>(i / 7 % 2));
        if (i % 50 == 0) dsp.loadPreset(static_cast<uint32_t>(i / 50) % kFactoryPresets.size());
        dsp.process(a.data(), b.data(), l.data(), r.data(), n, events, n >= 333 ? 6 : 0);
        (void)dsp.parameter(kOutputPeakA);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}
