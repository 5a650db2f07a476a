// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters stored by any thread and applied once per block, MIDI split into the block at
// its frames, and the input meters beside the engine.
#include "ZembraDsp.h"

#include "FactoryPresets.h"

#include <algorithm>
#include <cmath>

namespace zembra::plugin {

namespace {

// A meter that drops with the next small block would flicker and miss short peaks, so the
// level falls back by 1/e every 300 ms instead.
constexpr double kMeterReleaseSeconds = 0.3;

// Of the input as the engine hears it: NaN, infinite and denormal samples as silence.
float blockPeak(const float* samples, uint32_t frames, float peak) {
    if (!samples) return peak;
    for (uint32_t i = 0; i < frames; ++i) {
        float v = samples[i];
        erase_NaN_Infinity_And_Denormal(&v);
        peak = std::max(peak, std::fabs(v));
    }
    return peak;
}

} // namespace

Dsp::Dsp() {
    for (const ParameterInfo& info : kParameters) {
        mValues[info.id].store(info.def, std::memory_order_relaxed);
        mApplied[info.id] = info.def;
        mEngine.setParameter(info.id, info.toEngine(info.def));
    }
    for (auto& peak : mPeaks)
        peak.store(0.0f, std::memory_order_relaxed);
}

void Dsp::setParameter(uint32_t index, float hostValue) {
    if (index >= kZembraParameterCount) return;
    mValues[index].store(kParameters[index].clamp(hostValue), std::memory_order_relaxed);
}

float Dsp::parameter(uint32_t index) const {
    if (index < kZembraParameterCount) return mValues[index].load(std::memory_order_relaxed);
    if (index == kOutputPeakA || index == kOutputPeakB)
        return mPeaks[index - kOutputPeakA].load(std::memory_order_relaxed);
    return 0.0f;
}

void Dsp::loadPreset(uint32_t index) {
    if (index >= kFactoryPresets.size()) return;
    for (const ParameterInfo& info : kParameters)
        setParameter(static_cast<uint32_t>(info.id), kFactoryPresets[index].value(info.id));
}

void Dsp::setSampleRate(double sampleRate) {
    const double frames = sampleRate > 0.0 ? sampleRate * kMeterReleaseSeconds : 0.0;
    mReleaseFramesPerE.store(static_cast<float>(frames), std::memory_order_relaxed);
    if (sampleRate > 0.0) mTap->setSampleRate(sampleRate);
}

void Dsp::reset() {
    // Applied first, so the engine reaches these values from its defaults as a new one does.
    applyParameterChanges();
    mEngine.reset();
    mBlockPeakA = mBlockPeakB = mHeldPeakA = mHeldPeakB = 0.0f;
    for (auto& peak : mPeaks)
        peak.store(0.0f, std::memory_order_relaxed);
}

void Dsp::applyParameterChanges() {
    // Comparing with what the engine was given, rather than tracking which setter ran,
    // means no store can be lost between a setter and the block that reads it.
    for (const ParameterInfo& info : kParameters) {
        const float value = mValues[info.id].load(std::memory_order_relaxed);
        if (value == mApplied[info.id]) continue;
        mApplied[info.id] = value;
        mEngine.setParameter(info.id, info.toEngine(value));
    }
}

void Dsp::handleMidi(const MidiMessage& message) {
    if (message.size == 0) return;
    RTzembraInstance* engine = mEngine.instance();
    const uint8_t status = message.bytes[0] & 0xF0;
    // A status byte where a data byte belongs means the message was cut short: it has no
    // value to give, so it moves nothing.
    const uint32_t dataBytes = status == 0xC0 || status == 0xD0 ? 1 : 2;
    for (uint32_t i = 1; i <= dataBytes && i < message.size; ++i)
        if (message.bytes[i] & 0x80) return;
    const long data1 = message.size > 1 ? message.bytes[1] : 0;
    const long data2 = message.size > 2 ? message.bytes[2] : 0;
    switch (status) {
    case 0x80:
        if (message.size >= 3) RTnoteOff(data1, engine);
        break;
    case 0x90:
        if (message.size < 3) break;
        // A note-on of velocity 0 is a note-off by MIDI's running-status convention.
        if (data2 > 0)
            RTnoteOn(data1, data2, engine);
        else
            RTnoteOff(data1, engine);
        break;
    case 0xB0:
        if (message.size < 3) break;
        switch (data1) {
        case 1:
            RTsetModWheel(data2, engine);
            break;
        case 4:
            RTsetPedal(data2, engine);
            break;
        case 64:
            RTsetSustainPedal(data2, engine);
            break;
        case 123:
            RTallNotesOff(engine);
            break;
        default:
            break;
        }
        break;
    case 0xD0:
        if (message.size >= 2) RTsetChannelAfterTouch(data1, engine);
        break;
    case 0xE0:
        // 14 bits, LSB first; the engine takes the top seven.
        if (message.size >= 3) RTsetPitchWheel(((data2 << 7) | data1) >> 7, engine);
        break;
    default:
        break;
    }
}

void Dsp::render(const float* inA, const float* inB, float* outL, float* outR, uint32_t frames) {
    // Before processing: the outputs may be the inputs.
    mBlockPeakA = blockPeak(inA, frames, mBlockPeakA);
    mBlockPeakB = blockPeak(inB, frames, mBlockPeakB);
    mTap->writeSources(inA, inB, frames);
    mEngine.process(inA, inB, outL, outR, frames);
    mTap->writeOutput(outL, outR, frames);
}

void Dsp::publishPeaks(uint32_t frames) {
    const float releaseFrames = mReleaseFramesPerE.load(std::memory_order_relaxed);
    const float fall =
        releaseFrames > 0.0f ? std::exp(-static_cast<float>(frames) / releaseFrames) : 0.0f;
    mHeldPeakA = std::max(mBlockPeakA, mHeldPeakA * fall);
    mHeldPeakB = std::max(mBlockPeakB, mHeldPeakB * fall);
    mBlockPeakA = mBlockPeakB = 0.0f;
    mPeaks[0].store(std::min(mHeldPeakA, 1.0f), std::memory_order_relaxed);
    mPeaks[1].store(std::min(mHeldPeakB, 1.0f), std::memory_order_relaxed);
}

void Dsp::process(const float* inA, const float* inB, float* outL, float* outR, uint32_t frames,
                  const MidiMessage* events, uint32_t eventCount, Transport transport) {
    applyParameterChanges();
    if (transport.rolling) {
        if (!mRolling || transport.frame != mNextFrame) {
            reset();
            mEngine.alignHopsTo(transport.frame);
        }
        mNextFrame = transport.frame + frames;
    }
    mRolling = transport.rolling;
    uint32_t next = 0;
    for (uint32_t done = 0; done < frames;) {
        while (next < eventCount && events[next].frame <= done)
            handleMidi(events[next++]);
        const uint32_t end = next < eventCount ? std::min(events[next].frame, frames) : frames;
        render(inA ? inA + done : nullptr, inB ? inB + done : nullptr, outL + done, outR + done,
               end - done);
        done = end;
    }
    while (next < eventCount)
        handleMidi(events[next++]);
    publishPeaks(frames);
}

} // namespace zembra::plugin
