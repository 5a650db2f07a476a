// SPDX-License-Identifier: GPL-3.0-or-later
// The engine as our own binaries drive it: one instance, the blend, then the room behind
// it, in one call. The plug-in and zembra-render both process through this, so a file
// rendered offline matches what a host plays.
#pragma once

#include "RTzembra.h"

#include <cstdint>
#include <memory>

namespace zembra {

class Processor {
  public:
    // The blended and dry paths leave the engine this many samples after they enter.
    static constexpr long kLatency = 2048;
    // The engine analyses a frame of its sources every this many samples.
    static constexpr long kHop = 1024;

    // Allocates and initialises an engine instance with every parameter at its default.
    Processor();
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    void setParameter(int id, float value);
    float parameter(int id) const;

    // Forgets everything heard so far (hop, frames, overlap-add, room lines, controller
    // inputs) and keeps the parameters: afterwards the instance sounds exactly as a new one
    // given the same parameters. Clears the whole record (about 1 MB) without allocating.
    void reset();

    // On an instance that has heard nothing yet (new, or reset): feeds it silence so that its
    // hops fall on multiples of kHop of a timeline on which the next sample is frame
    // `timelineFrame`. The same material at the same timeline position then sounds the same
    // whatever the start point. Fewer than kHop samples: no frame is analysed on the way, so
    // nothing but the instance's place in its hop (and in the room's lines) moves. Real-time
    // safe.
    void alignHopsTo(std::uint64_t timelineFrame);
    RTzembraInstance* instance() { return mInstance.get(); }

    // Blend A and B into outL/outR (overwritten), then add the room fed by that blend.
    // Any block length; the outputs may be the same memory as the inputs. Real-time safe.
    void process(const float* inA, const float* inB, float* outL, float* outR, long frames);

  private:
    static constexpr long kChunk = 512; // room input scratch, in samples
    struct FreeRecord {
        void operator()(RTzembraInstance* p) const;
    };
    std::unique_ptr<RTzembraInstance, FreeRecord> mInstance;
    float mRoomInL[kChunk];
    float mRoomInR[kChunk];
    float mSilenceL[kChunk]; // alignHopsTo's input and output, cleared before each pass
    float mSilenceR[kChunk];
};

} // namespace zembra
