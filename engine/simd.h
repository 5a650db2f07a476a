// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's wide loops are built three times, for AVX-512, for AVX2 and for any x86-64,
// and one of them is picked at run time. Tests can hold the choice to a narrower build to
// compare them.
#pragma once

namespace zembra {

// The builds of the wide loops, narrowest first.
enum class WidePath { portable, avx2, avx512 };

// The widest build this CPU runs at full speed.
WidePath widestPathOnCpu();
// The build runWide takes: the CPU's widest, or a narrower one a test asked for.
WidePath widePath();
void limitWidePath(WidePath widest);

namespace detail {
template <auto body, class... Args> __attribute__((target("avx2"))) void runAvx2(Args... args) {
    body(args...);
}
// 512-bit vectors for the loops the compiler vectorises; the loops written in eight-float
// vectors gain the sixteen more registers.
template <auto body, class... Args>
__attribute__((target("avx2,avx512f,avx512vl,avx512dq,avx512bw"))) void runAvx512(Args... args) {
    body(args...);
}
} // namespace detail

// Runs body (an always-inline function) in the build widePath() names. Every build performs
// the same operations in the same order, so they give the same bits.
template <auto body, class... Args> void runWide(Args... args) {
    switch (widePath()) {
    case WidePath::avx512:
        detail::runAvx512<body>(args...);
        break;
    case WidePath::avx2:
        detail::runAvx2<body>(args...);
        break;
    default:
        body(args...);
    }
}

} // namespace zembra
