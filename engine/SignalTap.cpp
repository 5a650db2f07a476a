// SPDX-License-Identifier: GPL-3.0-or-later
// The tap's ring: a writer that claims its slots before it writes them and publishes them
// after, and a reader that checks, after copying, that no claim reached into its copy.
#include "SignalTap.h"

#include <algorithm>

namespace zembra {

SignalTap::SignalTap() {
    for (auto& channel : mRing)
        for (auto& slot : channel)
            slot.store(0.0f, std::memory_order_relaxed);
}

void SignalTap::store(Channel channel, const float* samples, long frames, std::uint64_t start) {
    auto& ring = mRing[static_cast<std::size_t>(channel)];
    for (long i = 0; i < frames; ++i)
        ring[(start + static_cast<std::uint64_t>(i)) & kMask].store(samples ? samples[i] : 0.0f,
                                                                    std::memory_order_relaxed);
}

void SignalTap::writeSources(const float* a, const float* b, long frames) {
    mPending = 0;
    if (frames <= 0 || !listening()) return;
    // A block longer than the ring keeps its end, which is all a reader could see of it.
    const long skip = std::max(0L, frames - kCapacity);
    const std::uint64_t start =
        mPublished.load(std::memory_order_relaxed) + static_cast<std::uint64_t>(skip);
    mClaimed.store(start + static_cast<std::uint64_t>(frames - skip), std::memory_order_relaxed);
    // The claim is seen before any sample written after it.
    std::atomic_thread_fence(std::memory_order_release);
    store(kSourceA, a ? a + skip : nullptr, frames - skip, start);
    store(kSourceB, b ? b + skip : nullptr, frames - skip, start);
    mPending = frames;
}

void SignalTap::writeOutput(const float* left, const float* right, long frames) {
    if (mPending == 0 || frames != static_cast<long>(mPending)) return;
    mPending = 0;
    const long skip = std::max(0L, frames - kCapacity);
    const std::uint64_t start =
        mPublished.load(std::memory_order_relaxed) + static_cast<std::uint64_t>(skip);
    auto& ring = mRing[kOutput];
    for (long i = skip; i < frames; ++i)
        ring[(start + static_cast<std::uint64_t>(i - skip)) & kMask].store(
            0.5f * (left[i] + right[i]), std::memory_order_relaxed);
    mPublished.store(start + static_cast<std::uint64_t>(frames - skip), std::memory_order_release);
}

bool SignalTap::readLatest(float* a, float* b, float* out, long frames) const {
    if (frames <= 0 || frames > kCapacity) return false;
    const std::uint64_t end = mPublished.load(std::memory_order_acquire);
    if (end < static_cast<std::uint64_t>(frames)) return false;
    const std::uint64_t start = end - static_cast<std::uint64_t>(frames);
    float* const targets[kChannelCount] = {a, b, out};
    for (int c = 0; c < kChannelCount; ++c)
        for (long i = 0; i < frames; ++i)
            targets[c][i] =
                mRing[static_cast<std::size_t>(c)][(start + static_cast<std::uint64_t>(i)) & kMask]
                    .load(std::memory_order_relaxed);
    // Any sample read above that a newer block wrote makes its claim visible here.
    std::atomic_thread_fence(std::memory_order_acquire);
    const std::uint64_t claimed = mClaimed.load(std::memory_order_relaxed);
    return claimed <= start + static_cast<std::uint64_t>(kCapacity);
}

} // namespace zembra
