// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's wide loops are built twice, for AVX2 and for any x86-64, and one of the two
// is picked at run time. Tests can force the portable one to compare the two.
#pragma once

namespace zembra {

// The CPU can run AVX2 code.
bool cpuHasAvx2();
// The wide loops take their AVX2 build: the CPU has it and no test forced the portable one.
bool useAvx2();
void forcePortable(bool on);

namespace detail {
template <auto body, class... Args> __attribute__((target("avx2"))) void runAvx2(Args... args) {
    body(args...);
}
} // namespace detail

// Runs body (an always-inline function) built for AVX2 where the CPU has it, else built
// for any x86-64. Both copies perform the same operations in the same order.
template <auto body, class... Args> void runWide(Args... args) {
    if (useAvx2())
        detail::runAvx2<body>(args...);
    else
        body(args...);
}

} // namespace zembra
