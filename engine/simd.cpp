// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time choice between the AVX2 and the portable builds of the wide loops.
#include "simd.h"

#include <atomic>

namespace zembra {

namespace {
std::atomic<bool> portableForced{false};
} // namespace

// __builtin_cpu_supports reads what libgcc detected once at load: no system call here.
bool cpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}

bool useAvx2() {
    return !portableForced.load(std::memory_order_relaxed) && cpuHasAvx2();
}

void forcePortable(bool on) {
    portableForced.store(on, std::memory_order_relaxed);
}

} // namespace zembra
