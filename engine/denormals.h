// SPDX-License-Identifier: GPL-3.0-or-later
// Flush-to-zero and denormals-are-zero for the span of one processing call, so quiet
// passages cannot fall into the slow denormal path. The caller's mode is restored after.
#pragma once

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zembra {

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
