// SPDX-License-Identifier: GPL-3.0-or-later
// Eight floats side by side, for the engine's loops that the compiler would not vectorise by
// itself (spectra read from both ends, interleaved complex values). Use them in the bodies
// that runWide runs, so that they are built for AVX2 and for any x86-64 alike.
#pragma once

#include <cstdint>
#include <cstring>

// The helpers are always inlined, so the warning about passing wide vectors between functions
// built for different instruction sets does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace zembra {

typedef float Lanes __attribute__((vector_size(32)));
typedef int32_t LaneIndex __attribute__((vector_size(32)));

template <class V> [[gnu::always_inline]] inline V load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V> [[gnu::always_inline]] inline void store(float* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// Eight complex values as (re, im) pairs in two vectors, as eight real and eight imaginary
// parts.
[[gnu::always_inline]] inline Lanes realParts(Lanes lo, Lanes hi) {
    return __builtin_shuffle(lo, hi, LaneIndex{0, 2, 4, 6, 8, 10, 12, 14});
}
[[gnu::always_inline]] inline Lanes imaginaryParts(Lanes lo, Lanes hi) {
    return __builtin_shuffle(lo, hi, LaneIndex{1, 3, 5, 7, 9, 11, 13, 15});
}

// The eight complex values that end at p (p[-16] to p[-1]), last first.
[[gnu::always_inline]] inline Lanes realPartsBackwards(const float* p) {
    return __builtin_shuffle(load<Lanes>(p - 8), load<Lanes>(p - 16),
                             LaneIndex{6, 4, 2, 0, 14, 12, 10, 8});
}
[[gnu::always_inline]] inline Lanes imaginaryPartsBackwards(const float* p) {
    return __builtin_shuffle(load<Lanes>(p - 8), load<Lanes>(p - 16),
                             LaneIndex{7, 5, 3, 1, 15, 13, 11, 9});
}

// The eight floats that end at p (p[-8] to p[-1]), last first.
[[gnu::always_inline]] inline Lanes backwards(const float* p) {
    return __builtin_shuffle(load<Lanes>(p - 8), LaneIndex{7, 6, 5, 4, 3, 2, 1, 0});
}

// Eight real and eight imaginary parts stored as eight (re, im) pairs from p on.
[[gnu::always_inline]] inline void storeComplex(float* p, Lanes re, Lanes im) {
    store(p, __builtin_shuffle(re, im, LaneIndex{0, 8, 1, 9, 2, 10, 3, 11}));
    store(p + 8, __builtin_shuffle(re, im, LaneIndex{4, 12, 5, 13, 6, 14, 7, 15}));
}

} // namespace zembra
