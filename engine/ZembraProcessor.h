// The engine as our own binaries drive it: one instance, the blend, then the room behind
// it, in one call. The plug-in and zembra-render both process through this, so a file
// rendered offline matches what a host plays.
#pragma once

#include "RTzembra.h"

#include <memory>

namespace zembra {

class Processor {
  public:
    // The blended and dry paths leave the engine this many samples after they enter.
    static constexpr long kLatency = 2048;

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
};

} // namespace zembra
