// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT kernel's traits for 8-float registers, shared by its AVX2 and AVX-512 builds.
// Include it only after the file's target pragma, before fft_kernel.h.
#pragma once

#include "fft_internal.h"

namespace zembra {
namespace {

typedef float V8 __attribute__((vector_size(32)));
typedef int V8i __attribute__((vector_size(32)));
// Same vector, for loads and stores at any float-aligned address.
typedef float V8u __attribute__((vector_size(32), aligned(4), may_alias));
typedef float V4u __attribute__((vector_size(16), aligned(4), may_alias));
typedef float V4 __attribute__((vector_size(16)));

struct Avx2 {
    using V = V8;
    static constexpr int kLanes = 8;
    static V load(const float* p) { return *reinterpret_cast<const V8u*>(p); }
    static void store(float* p, V v) { *reinterpret_cast<V8u*>(p) = v; }
    // 4 floats from lo, then 4 from hi
    static V loadHalves(const float* lo, const float* hi) {
        const V4 a = *reinterpret_cast<const V4u*>(lo), b = *reinterpret_cast<const V4u*>(hi);
        return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7);
    }
    // Shuffles within each 128-bit half, one instruction each.
    static V unpackLo(V a, V b) { return __builtin_shuffle(a, b, V8i{0, 8, 1, 9, 4, 12, 5, 13}); }
    static V unpackHi(V a, V b) { return __builtin_shuffle(a, b, V8i{2, 10, 3, 11, 6, 14, 7, 15}); }
    static V pairLo(V a, V b) { return __builtin_shuffle(a, b, V8i{0, 1, 8, 9, 4, 5, 12, 13}); }
    static V pairHi(V a, V b) { return __builtin_shuffle(a, b, V8i{2, 3, 10, 11, 6, 7, 14, 15}); }
    static V evens(V a, V b) { return __builtin_shuffle(a, b, V8i{0, 2, 8, 10, 4, 6, 12, 14}); }
    static V odds(V a, V b) { return __builtin_shuffle(a, b, V8i{1, 3, 9, 11, 5, 7, 13, 15}); }
};

} // namespace
} // namespace zembra
