// SPDX-License-Identifier: GPL-3.0-or-later
// Sanitised inputs, the blend followed by the room, and the solo delay, over one engine
// instance.
#include "ZembraProcessor.h"

#include "denormals.h"
#include "simd.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zembra {

namespace {

void copySanitised(const float* in, float* scratch, long n) {
    if (in)
        runWide<copyWithoutNonFinite>(in, scratch, n);
    else
        std::fill_n(scratch, n, 0.0f);
}

// The ring takes what goes out; with a solo on, what went out a ring ago goes out instead.
[[gnu::always_inline]] inline void passThroughRing(float* __restrict out, float* __restrict ring,
                                                   long n, bool solo) {
    for (long i = 0; i < n; ++i) {
        const float delayed = ring[i];
        ring[i] = out[i];
        out[i] = solo ? delayed : out[i];
    }
}

} // namespace

void Processor::FreeRecord::operator()(RTzembraInstance* p) const {
    std::free(p);
}

Processor::Processor()
    : mInstance(static_cast<RTzembraInstance*>(
          std::calloc(1, static_cast<size_t>(RTzembraGetStructSize())))),
      mScratchA(), mScratchB(), mSilenceL(), mSilenceR(), mSoloDelayL(), mSoloDelayR() {
    if (!mInstance) throw std::bad_alloc();
    // The first parameter call builds the instance's tables with every default in place.
    RTzembraSetParameter(kParamMixA, RTzembraGetParameter(kParamMixA, mInstance.get()),
                         mInstance.get());
}

Processor::~Processor() = default;

void Processor::setParameter(int id, float value) {
    RTzembraSetParameter(id, value, mInstance.get());
}

float Processor::parameter(int id) const {
    return RTzembraGetParameter(id, mInstance.get());
}

void Processor::reset() {
    // Clearing the record is the one way back to a fresh instance the engine offers; replaying
    // the parameters in id order then rebuilds the tables and the room as a new instance
    // builds them from its defaults.
    float params[kZembraParameterCount];
    for (int id = 0; id < kZembraParameterCount; ++id)
        params[id] = parameter(id);
    std::memset(mInstance.get(), 0, static_cast<size_t>(RTzembraGetStructSize()));
    for (int id = 0; id < kZembraParameterCount; ++id)
        setParameter(id, params[id]);
    std::fill_n(mSoloDelayL, kLatency, 0.0f);
    std::fill_n(mSoloDelayR, kLatency, 0.0f);
    mSoloDelayPos = 0;
}

void Processor::alignHopsTo(std::uint64_t timelineFrame) {
    for (auto left = static_cast<long>(timelineFrame % static_cast<std::uint64_t>(kHop));
         left > 0;) {
        const long n = std::min(kChunk, left);
        blendAndRoom(nullptr, nullptr, mSilenceL, mSilenceR, n);
        left -= n;
    }
}

void Processor::process(const float* inA, const float* inB, float* outL, float* outR, long frames) {
    // The engine turns a solo on from a stored 1.
    const bool solo = parameter(kParamSoloA) >= 1.0f || parameter(kParamSoloB) >= 1.0f;
    for (long done = 0; done < frames;) {
        const long n = std::min(kChunk, frames - done);
        blendAndRoom(inA ? inA + done : nullptr, inB ? inB + done : nullptr, outL + done,
                     outR + done, n);
        delaySolo(outL + done, outR + done, n, solo);
        done += n;
    }
}

void Processor::blendAndRoom(const float* inA, const float* inB, float* outL, float* outR, long n) {
    copySanitised(inA, mScratchA, n);
    copySanitised(inB, mScratchB, n);
    RTzembra(mScratchA, mScratchB, outL, outR, n, mInstance.get(), 1);
    // The room listens to the blend and adds its wet signal on top of it.
    std::memcpy(mScratchA, outL, sizeof(float) * static_cast<size_t>(n));
    std::memcpy(mScratchB, outR, sizeof(float) * static_cast<size_t>(n));
    RTzembraRoomSimul(mScratchA, mScratchB, outL, outR, n, mInstance.get());
}

void Processor::delaySolo(float* outL, float* outR, long n, bool solo) {
    // The solo paths leave the engine undelayed; the ring keeps the last kLatency samples of
    // output at all times, so a solo switched on plays in step with the blend. Taken in runs
    // up to the ring's end.
    for (long done = 0; done < n;) {
        const long run = std::min(n - done, kLatency - mSoloDelayPos);
        runWide<passThroughRing>(outL + done, mSoloDelayL + mSoloDelayPos, run, solo);
        runWide<passThroughRing>(outR + done, mSoloDelayR + mSoloDelayPos, run, solo);
        mSoloDelayPos = (mSoloDelayPos + run) & kSoloDelayMask;
        done += run;
    }
}

} // namespace zembra
