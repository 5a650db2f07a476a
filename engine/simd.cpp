// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time choice between the AVX-512, AVX2 and portable builds of the wide loops.
#include "simd.h"

#include <algorithm>
#include <atomic>

namespace zembra {

namespace {

// Read once at load, the operating system's support for the wider registers included, so
// that the audio thread only reads a variable.
WidePath detectWidestPath() {
    __builtin_cpu_init();
    // The first AVX-512 processors lower their clock for a while after 512-bit arithmetic,
    // which would slow the whole audio thread; those that do not came with IFMA.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512ifma"))
        return WidePath::avx512;
    return __builtin_cpu_supports("avx2") ? WidePath::avx2 : WidePath::portable;
}

const WidePath cpuWidest = detectWidestPath();
std::atomic<WidePath> widestAllowed{WidePath::avx512};

} // namespace

WidePath widestPathOnCpu() {
    return cpuWidest;
}

WidePath widePath() {
    return std::min(cpuWidest, widestAllowed.load(std::memory_order_relaxed));
}

void limitWidePath(WidePath widest) {
    widestAllowed.store(widest, std::memory_order_relaxed);
}

} // namespace zembra
