// SPDX-License-Identifier: GPL-3.0-or-later
// The offline render loop: streams two sources through the engine block by block into a
// sink, removing the engine's delay and rendering the room's tail after the sources end.
#pragma once

#include "ZembraProcessor.h"

#include <cstdint>
#include <functional>

namespace zembra::render {

// Two mono sources of equal length (the shorter already padded with silence).
class SourceStream {
  public:
    virtual ~SourceStream() = default;
    // Fills a and b with up to frames samples; returns how many, fewer only at the end.
    virtual long read(float* a, float* b, long frames) = 0;
    virtual long totalFrames() const = 0;
    virtual double sampleRate() const = 0;
};

class OutputSink {
  public:
    virtual ~OutputSink() = default;
    virtual void write(const float* left, const float* right, long frames) = 0;
};

struct RenderSettings {
    bool raw = false; // keep the delay (kLatency), stop with the sources
    long blockSize = 1024;
    // The timeline frame at which the sources start, as a host's timeline places them: the
    // engine's hops fall on its multiples of kHop, as in the plug-in while the transport rolls.
    std::uint64_t startFrame = 0;
    double tailFloorDb = -90.0;    // the tail ends once the output stays below this...
    double tailQuietSeconds = 0.5; // ...for this long
    double tailMaxSeconds = 10.0;
};

struct RenderHooks {
    // Between blocks, with the source position of the block about to be processed.
    std::function<void(Processor&, long position)> beforeBlock;
    std::function<void(const float* a, const float* b, long frames)> sources;
    // What reaches the sink, after delay compensation and tail trimming.
    std::function<void(const float* left, const float* right, long frames)> output;
    std::function<void(long sourceDone, long sourceTotal, long tailDone)> progress;
    std::function<bool()> cancelled;
};

struct RenderResult {
    long sourceFrames = 0;
    long tailFrames = 0;
    long outputFrames() const { return sourceFrames + tailFrames; }
};

// Throws std::runtime_error when hooks.cancelled reports true.
RenderResult render(SourceStream& sources, Processor& processor, OutputSink& sink,
                    const RenderSettings& settings, const RenderHooks& hooks = {});

} // namespace zembra::render
