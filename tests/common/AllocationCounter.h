// SPDX-License-Identifier: GPL-3.0-or-later
// Counts heap allocations made between start and stop, anywhere in the process: the C
// allocation functions of the test binary are replaced. Unavailable under the sanitizers,
// which own malloc.
#pragma once

namespace zembra::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCanCountAllocations = false;
#else
constexpr bool kCanCountAllocations = true;
#endif

void startCountingAllocations();
// Returns the allocations made since start.
long stopCountingAllocations();

} // namespace zembra::test
