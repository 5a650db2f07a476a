// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's audio side, free of any plug-in format: the twelve parameters in host units,
// the routing of the host's channels to sources A and B, MIDI applied at its sample positions,
// the input meters and the engine behind it all. The format shells only forward to this.
#pragma once

#include "HostInputs.h"
#include "SignalTap.h"
#include "ZembraParameters.h"
#include "ZembraProcessor.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace zembra::plugin {

// One short MIDI message at a frame of the current block. Longer messages (SysEx) carry
// nothing for us and are left out by the shell.
struct MidiMessage {
    uint32_t frame;
    uint32_t size;
    uint8_t bytes[3];
};

// Where a block starts on the host's timeline, while the transport rolls.
struct Transport {
    bool rolling = false;
    std::uint64_t frame = 0;
};

class Dsp {
  public:
    // Allocates the engine with every parameter at its default: never on the audio thread.
    Dsp();
    Dsp(const Dsp&) = delete;
    Dsp& operator=(const Dsp&) = delete;

    // Any thread. Stores the host value of a control (the twelve and the routing), kept in
    // range; the next process() applies it. Other indexes are ignored.
    void setParameter(uint32_t index, float hostValue);
    // The stored host value of a control, or the current level of a meter output (0..1).
    float parameter(uint32_t index) const;
    // Stores every value of the preset, those equal to the current ones included. The routing
    // stays: it belongs to how the session is wired, not to the sound.
    void loadPreset(uint32_t index);

    // For the meters' release; call while not processing.
    void setSampleRate(double sampleRate);

    // Call while not processing (the host activating us). Clears all that was heard: the
    // engine's history, the solo delay, the meters and the MIDI controllers; the parameters,
    // those stored since the last block included, stay. The next block sounds as the first
    // block of a new instance given the same parameters would.
    void reset();

    // Audio thread. Sources A and B from the host's channels, as the routing control holds
    // it at the start of the block; otherwise as the next overload. Allocation-free.
    void process(const HostInputs& in, float* outL, float* outR, uint32_t frames,
                 const MidiMessage* events, uint32_t eventCount, Transport transport = {});

    // Audio thread. Any number of frames; inA/inB may be null (silence) and are only read;
    // the outputs may share memory with the inputs. Events are expected in frame order; one
    // at or past the end of the block is applied at its end.
    // While the transport rolls, the engine's hops follow the timeline: when it starts to
    // roll or jumps (a relocation, a loop), all that was heard is cleared as by reset() and
    // the hops are put back on multiples of the hop from the timeline's frame 0. What a
    // bounce renders at a position then depends on the material from the start point on
    // and on the parameters, not on the start point, the host's block size or earlier
    // jumps. A stopped transport whose position moves (a relocation, or a host pre-rolling
    // the latency before it starts) is followed the same way, and a start that carries on
    // from such a pre-roll keeps what it heard. Stopped in one place, nothing is cleared
    // and the hops run on from wherever they are.
    void process(const float* inA, const float* inB, float* outL, float* outR, uint32_t frames,
                 const MidiMessage* events, uint32_t eventCount, Transport transport = {});

    // Where an open editor finds the latest sound of A, B and the output. Written by
    // process() only while an editor listens.
    const std::shared_ptr<SignalTap>& signalTap() const { return mTap; }

    // The value the engine holds, in engine units (for tests and diagnostics).
    float engineParameter(int id) const { return mEngine.parameter(id); }

  private:
    static constexpr uint32_t kMixFrames = 512; // a source mixed from two channels, per pass

    // `sourcesAt(offset, frames)` gives the block's sources from frame `offset` on.
    template <class SourcesAt>
    void processBlock(const SourcesAt& sourcesAt, float* outL, float* outR, uint32_t frames,
                      const MidiMessage* events, uint32_t eventCount, Transport transport);
    template <class SourcesAt>
    void render(const SourcesAt& sourcesAt, uint32_t offset, float* outL, float* outR,
                uint32_t frames);
    void applyParameterChanges();
    void handleMidi(const MidiMessage& message);
    void publishPeaks(uint32_t frames);

    Processor mEngine;
    std::array<std::atomic<float>, kControlCount> mValues;
    std::array<float, kZembraParameterCount> mApplied; // audio thread only
    std::array<float, kMixFrames> mMixA;               // audio thread only
    std::array<float, kMixFrames> mMixB;
    bool mOnGrid = false;         // the hops fall on the timeline's grid
    std::uint64_t mFrame = 0;     // where the last block started
    std::uint64_t mNextFrame = 0; // where the next block starts if the timeline runs on

    float mBlockPeakA = 0.0f;
    float mBlockPeakB = 0.0f;
    float mHeldPeakA = 0.0f;
    float mHeldPeakB = 0.0f;
    std::atomic<float> mReleaseFramesPerE{0.0f};
    std::array<std::atomic<float>, 2> mPeaks;
    const std::shared_ptr<SignalTap> mTap = std::make_shared<SignalTap>();
};

} // namespace zembra::plugin
