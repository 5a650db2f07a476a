// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in demo: two sources synthesised as they are read (a sung voice as A, a saw chord
// as B) and the sweep of the blend position played over them.
#pragma once

#include "render.h"

#include <memory>

namespace zembra::render {

class DemoSources final : public SourceStream {
  public:
    static constexpr double kSampleRate = 48000.0;
    static constexpr double kSeconds = 12.0;

    DemoSources();
    ~DemoSources() override;

    long read(float* a, float* b, long frames) override;
    long totalFrames() const override;
    double sampleRate() const override { return kSampleRate; }

  private:
    class Voice;
    class Chord;
    std::unique_ptr<Voice> mVoice;
    std::unique_ptr<Chord> mChord;
    long mPosition = 0;
};

struct BlendPosition {
    float x;
    float y;
};

// The demo's path over the pad at a fraction 0..1 of the way through: x rises 0 -> 0.5 -> 1,
// y goes 0 -> 1 -> 0, so it starts as pure A, ends as pure B and passes through the
// cross-syntheses in the middle.
BlendPosition demoSweep(double fraction);

} // namespace zembra::render
