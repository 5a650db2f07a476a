// SPDX-License-Identifier: GPL-3.0-or-later
// The room behind the blend: two recirculating delay lines read at 32 moving taps.
#pragma once

#include <cstdint>

namespace zembra {

constexpr long kRoomLineCapacity = 48000; // cells per delay line
constexpr long kRoomClearedCells = 24000; // cells cleared by each derivation
constexpr long kRoomTaps = 32;

struct RoomState {
    uint64_t roomReady;
    float roomWetDry;
    float lastRoomSize;
    float roomSizeInUse;
    int64_t roomWritePos;
    int64_t roomLength; // highest position: the lines are rings of roomLength + 1 cells
    float roomLineA[kRoomLineCapacity];
    float roomLineB[kRoomLineCapacity];
    int64_t roomTap[kRoomTaps];
    bool roomLanesIndependent; // derived: runs of samples may be processed side by side
};

// Refreshes the room's copy of Wet/Dry and, when Room moved by a step of 1/128 or more
// (or on the first call), derives length and taps afresh and clears the lines.
void updateRoomSettings(RoomState& room, float wetDry, float roomSize);

// Adds the room's wet signal for frames samples of (sanitised) input to outA and outB and
// advances the room. allowWide = false keeps to one sample at a time (for comparison).
void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, long frames,
                      RoomState& room, bool allowWide);

bool roomLanesAreIndependent(const RoomState& room);

} // namespace zembra
