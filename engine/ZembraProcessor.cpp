// SPDX-License-Identifier: GPL-3.0-or-later
// The blend followed by the room, over one engine instance.
#include "ZembraProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zembra {

void Processor::FreeRecord::operator()(RTzembraInstance* p) const {
    std::free(p);
}

Processor::Processor()
    : mInstance(static_cast<RTzembraInstance*>(
          std::calloc(1, static_cast<size_t>(RTzembraGetStructSize())))),
      mRoomInL(), mRoomInR(), mSilenceL(), mSilenceR() {
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
}

void Processor::alignHopsTo(std::uint64_t timelineFrame) {
    for (auto left = static_cast<long>(timelineFrame % static_cast<std::uint64_t>(kHop));
         left > 0;) {
        const long n = std::min(kChunk, left);
        std::fill_n(mSilenceL, n, 0.0f);
        std::fill_n(mSilenceR, n, 0.0f);
        process(mSilenceL, mSilenceR, mSilenceL, mSilenceR, n);
        left -= n;
    }
}

void Processor::process(const float* inA, const float* inB, float* outL, float* outR, long frames) {
    for (long done = 0; done < frames;) {
        const long n = std::min(kChunk, frames - done);
        RTzembra(inA + done, inB + done, outL + done, outR + done, n, mInstance.get(), 1);
        // The room listens to the blend and adds its wet signal on top of it; it sanitises
        // its inputs in place, so it gets copies.
        std::memcpy(mRoomInL, outL + done, sizeof(float) * static_cast<size_t>(n));
        std::memcpy(mRoomInR, outR + done, sizeof(float) * static_cast<size_t>(n));
        RTzembraRoomSimul(mRoomInL, mRoomInR, outL + done, outR + done, n, mInstance.get());
        done += n;
    }
}

} // namespace zembra
