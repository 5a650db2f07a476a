// SPDX-License-Identifier: GPL-3.0-or-later
// Flush-to-zero and denormals-are-zero for the span of one processing call, so quiet
// passages cannot fall into the slow denormal path. The caller's mode is restored after.
// And the sanitiser of single samples, inline so that loops over buffers vectorise.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zembra {

// Zero, denormal, infinite and NaN become +0.0: nothing unbounded enters a loop.
inline float withoutNonFinite(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const uint32_t exponent = (bits >> 23) & 0xFFu;
    bits = (exponent == 0 || exponent == 0xFFu) ? 0u : bits;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// to[i] = withoutNonFinite(from[i]); from and to may be the same buffer. Build it where
// runWide runs it, so that it takes the wide registers.
[[gnu::always_inline]] inline void copyWithoutNonFinite(const float* from, float* to, long n) {
    for (long i = 0; i < n; ++i)
        to[i] = withoutNonFinite(from[i]);
}

class DenormalsOff {
  public:
#if defined(__SSE__)
    DenormalsOff() : mSaved(_mm_getcsr()) {
        _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
    }
    ~DenormalsOff() {
        _mm_setcsr(mSaved);
    }

  private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned mSaved;
#endif
  public:
    DenormalsOff(const DenormalsOff&) = delete;
    DenormalsOff& operator=(const DenormalsOff&) = delete;
};

} // namespace zembra
