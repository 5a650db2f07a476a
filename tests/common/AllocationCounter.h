// SPDX-License-Identifier: GPL-3.0-or-later
// Counts heap allocations made anywhere in the process between start and stop, by replacing
// the C allocation functions. Unavailable under the sanitizers, which own malloc.
#pragma once

namespace zembra::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCanCountAllocations = false;
#else
constexpr bool kCanCountAllocations = true;
#endif

void startCountingAllocations();
long stopCountingAllocations(); // the allocations made since start

} // namespace zembra::test
