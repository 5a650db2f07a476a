// SPDX-License-Identifier: GPL-3.0-or-later
// The engine as our own binaries drive it: one instance, sanitised inputs, the blend, the room
// behind it and the solo paths delayed to match, in one call. The plug-in and zembra-render
// both process through this, so a file rendered offline matches what a host plays.
#pragma once

#include "RTzembra.h"
#include "constants.h"

#include <cstdint>
#include <memory>

namespace zembra {

class Processor {
  public:
    // Allocates and initialises an engine instance with every parameter at its default.
    Processor();
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    void setParameter(int id, float value);
    float parameter(int id) const;

    // Forgets everything heard so far (hop, frames, overlap-add, room lines, controller
    // inputs, the solo delay) and keeps the parameters: afterwards the instance sounds exactly
    // as a new one given the same parameters. Clears the whole record (about 1 MB) without
    // allocating.
    void reset();

    // On an instance that has heard nothing yet (new, or reset): feeds the engine silence so
    // that its hops fall on multiples of kHop of a timeline on which the next sample is frame
    // `timelineFrame`. The same material at the same timeline position then sounds the same
    // whatever the start point. Fewer than kHop samples: no frame is analysed on the way, so
    // nothing but the instance's place in its hop (and in the room's lines) moves; the solo
    // delay is left as it is. Real-time safe.
    void alignHopsTo(std::uint64_t timelineFrame);
    RTzembraInstance* instance() { return mInstance.get(); }

    // Blend A and B into outL/outR (overwritten), add the room fed by that blend, and while a
    // solo is on play the solo paths kLatency samples late, in step with the blend. NaN,
    // infinite and denormal input samples count as silence. Any block length; inA/inB may be
    // null (silence) and are only read; the outputs may be the same memory as the inputs.
    // Real-time safe.
    void process(const float* inA, const float* inB, float* outL, float* outR, long frames);

  private:
    static constexpr long kChunk = 512; // input scratch, in samples
    static constexpr long kSoloDelayMask = kLatency - 1;
    static_assert((kLatency & kSoloDelayMask) == 0, "the solo delay is a power-of-two ring");

    struct FreeRecord {
        void operator()(RTzembraInstance* p) const;
    };
    // At most kChunk samples through the engine and the room, without the solo delay.
    void blendAndRoom(const float* inA, const float* inB, float* outL, float* outR, long n);
    // Keeps the last kLatency samples of output; while soloing, outputs them instead.
    void delaySolo(float* outL, float* outR, long n, bool solo);

    std::unique_ptr<RTzembraInstance, FreeRecord> mInstance;
    // Sanitised copies of the inputs, then of the blend for the room, which sanitises its
    // inputs in place.
    float mScratchA[kChunk];
    float mScratchB[kChunk];
    float mSilenceL[kChunk]; // alignHopsTo's output, thrown away
    float mSilenceR[kChunk];
    float mSoloDelayL[kLatency];
    float mSoloDelayR[kLatency];
    long mSoloDelayPos = 0;
};

} // namespace zembra
