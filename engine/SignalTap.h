// SPDX-License-Identifier: GPL-3.0-or-later
// The latest sound of A, B and the output, handed from the audio thread to an editor that
// wants to draw it: a fixed ring written without locks, allocation or system calls, written
// only while an editor listens, and read by copying the newest window, which is thrown away
// when the writer overtook it during the copy.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace zembra {

class SignalTap {
  public:
    enum Channel { kSourceA, kSourceB, kOutput, kChannelCount };
    // Samples kept per channel: several editor frames of audio at any common rate, so a
    // reader copying its window is overtaken only when it stalls.
    static constexpr long kCapacity = 8192;

    SignalTap();
    SignalTap(const SignalTap&) = delete;
    SignalTap& operator=(const SignalTap&) = delete;

    // Editor side, any thread. Listening nests: the tap is written while any editor listens.
    void startListening() { mListeners.fetch_add(1, std::memory_order_relaxed); }
    void stopListening() { mListeners.fetch_sub(1, std::memory_order_relaxed); }

    // Audio side, one thread. A block is taken in two steps because the output may overwrite
    // the inputs: first the sources (null is silence), then the output pair, averaged to mono,
    // which makes the block readable. Both steps do nothing while no editor listens.
    bool listening() const { return mListeners.load(std::memory_order_relaxed) > 0; }
    void writeSources(const float* a, const float* b, long frames);
    void writeOutput(const float* left, const float* right, long frames);
    void setSampleRate(double rate) { mSampleRate.store(rate, std::memory_order_relaxed); }

    // Reader side, any thread, never blocking the writer. Copies the newest `frames` samples
    // of each channel (at most kCapacity) into a, b and out; false when fewer have been written
    // yet, or when the writer overwrote part of the window while it was copied.
    bool readLatest(float* a, float* b, float* out, long frames) const;
    // Samples written so far: a reader that sees it unchanged has nothing new to show.
    std::uint64_t written() const { return mPublished.load(std::memory_order_acquire); }
    double sampleRate() const { return mSampleRate.load(std::memory_order_relaxed); }

  private:
    static constexpr long kMask = kCapacity - 1;
    static_assert((kCapacity & kMask) == 0, "the ring is a power of two");

    void store(Channel channel, const float* samples, long frames, std::uint64_t start);

    // Samples as relaxed atomics: the reader may look at a slot while it is written, and then
    // discards what it read rather than depending on it.
    std::array<std::array<std::atomic<float>, kCapacity>, kChannelCount> mRing;
    // Slots up to mClaimed may be in the middle of a write; those below mPublished are whole.
    std::atomic<std::uint64_t> mClaimed{0};
    std::atomic<std::uint64_t> mPublished{0};
    std::uint64_t mPending = 0; // writer only: frames of the block whose output is still due
    std::atomic<int> mListeners{0};
    std::atomic<double> mSampleRate{48000.0};
};

} // namespace zembra
