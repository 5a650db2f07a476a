// The audio-thread entry points never touch the heap: every allocation function is replaced
// here and counted while a long, busy run of them goes on.
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

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
namespace {
void noteAllocation() {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

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

using namespace zembra::test;

TEST(RealTime, ProcessingAndControlCallsNeverAllocate) {
#if !ZEMBRA_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting is off under sanitizers";
#endif
    Instance inst = instanceWith({{kParamWetDry, 0.4f}, {kParamXControl, 1.0f}});
    constexpr long kBlock = 256;
    std::vector<float> a(kBlock), b(kBlock), l(kBlock), r(kBlock), roomA(kBlock), roomB(kBlock);
    long phase = 0;

    counting = true;
    for (int block = 0; block < 4000; ++block) { // about 21 s at 48 kHz
        for (long i = 0; i < kBlock; ++i, ++phase) {
            a[i] = 0.4f * std::sin(0.01f * static_cast<float>(phase));
            b[i] = (phase % 97) < 48 ? 0.3f : -0.3f;
        }
        RTzembraSetParameter(kParamX, static_cast<float>(block % 100) / 100.0f, inst.get());
        RTzembraSetParameter(kParamRoom, static_cast<float>(block % 300) / 300.0f, inst.get());
        RTzembraSetParameter(kParamStereoMode, static_cast<float>(block % 2), inst.get());
        RTsetModWheel(block % 128, inst.get());
        RTnoteOn(40 + block % 60, 100, inst.get());
        RTsetPitchWheel(block % 128, inst.get());
        if (block % 500 == 0) RTallNotesOff(inst.get());
        RTzembra(a.data(), b.data(), l.data(), r.data(), kBlock, inst.get(), 1);
        roomA = l;
        roomB = r;
        RTzembraRoomSimul(roomA.data(), roomB.data(), l.data(), r.data(), kBlock, inst.get());
        int count = kBlock;
        erase_All_NaNs_Infinities_And_Denormals(l.data(), &count);
    }
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
}
