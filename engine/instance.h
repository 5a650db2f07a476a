// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's instance record: everything one instance needs, in one caller-allocated,
// zero-filled block. Plain data only, since no constructor ever runs on it.
#pragma once

#include "RTzembra.h"
#include "constants.h"
#include "fft.h"
#include "room.h"
#include "smooth_spectrum.h"

#include <cstdint>

struct RTzembraInstance {
    uint64_t initialised; // 0 until the first parameter update built the tables
    uint64_t processing;  // 1 while a processing call runs; written atomically for observers

    // Working copies of the parameters, refreshed by every parameter update.
    float mixA, mixB, volume, posX, posY, wetDry;
    int64_t xSource, ySource;
    uint64_t stereoMode, soloA, soloB;
    float controllerValue[kSourceCount];

    float params[kZembraParameterCount]; // as stored, in parameter-id order
    int64_t log2FrameSize;
    int64_t writePos; // next sample within the current hop

    float cosTable[zembra::kCosTableSize];
    float analysisWindow[zembra::kFrameSize];
    float synthesisWindow[zembra::kFrameSize];

    float inRingA[zembra::kHop];
    float inRingB[zembra::kHop];
    float frameA[zembra::kFrameSize];
    float frameB[zembra::kFrameSize];
    float outAccL[zembra::kFrameSize];
    float outAccR[zembra::kFrameSize];

    // Per-block spectral work; nothing here carries from one block to the next.
    float specA[2 * zembra::kFrameSize]; // both sources' transform, then the synthesis buffer
    float magA[zembra::kFrameSize / 2 + 1];
    float magB[zembra::kFrameSize / 2 + 1];
    float phaseA[zembra::kBlendBins];
    float phaseB[zembra::kBlendBins];
    float envA[zembra::kFrameSize / 2 + 1];
    float envB[zembra::kFrameSize / 2 + 1];

    zembra::FftPlan fft;
    zembra::SmoothingCache smoothing;
    zembra::RoomState room;
};

namespace zembra {
// Marks a processing call for observers on other threads without a data race.
inline void setProcessing(RTzembraInstance& inst, uint64_t on) {
    __atomic_store_n(&inst.processing, on, __ATOMIC_RELAXED);
}
} // namespace zembra
