// SPDX-License-Identifier: GPL-3.0-or-later
// The room behind the blend: two recirculating delay lines read at 32 moving taps.
#pragma once

#include <cstdint>

namespace zembra {

constexpr long kRoomLineCapacity = 48000; // cells per delay line
constexpr long kRoomClearedCells = 24000; // cells cleared by each derivation
constexpr long kRoomTaps = 32;
constexpr long kRoomMaxSpan = 32;        // samples side by side at most
constexpr long kRoomShears = 16;

// A shear between a cell of line A and one of line B at two taps, as byte offsets from the
// write index's cell in line A (line B lies one line further on). It also reads the other
// line's cells at the same two taps, which only the sums want.
struct RoomShear {
    int64_t cellA, cellB;
    // Of the readings in the sums: cellA and cellB, then line B at cellA's tap and line A at
    // cellB's.
    float weight[4];
    uint8_t bFirst;      // line B's cell is sheared first, else line A's
    uint8_t readsAcross; // the other line's cells have weights in the sums
};

struct RoomState {
    uint64_t roomReady;
    float roomWetDry;
    float lastRoomSize;
    float roomSizeInUse;
    // Positions on the ring of roomLength + 1 cells, as the room is described; processing
    // keeps them current but works on the unrolled write index below.
    int64_t roomWritePos;
    int64_t roomLength;
    float roomLineA[kRoomLineCapacity];
    float roomLineB[kRoomLineCapacity];
    int64_t roomTap[kRoomTaps];

    // The lines are kept unrolled: the ring's cells lie in order behind roomWriteIndex, so
    // no position ever wraps; when the index nears the end the live cells move back to 0.
    int64_t roomWriteIndex;
    // How many consecutive samples go side by side (32, 16, 8, 4 or 1), and the order of the
    // shears and the write that allows it: derived with the taps, since all positions keep
    // their distances.
    int64_t roomSpan;
    RoomShear roomShears[kRoomShears];
    int64_t roomShearsBeforeWrite;
    // Shears roomNarrowBegin to roomNarrowEnd - 1 of that order follow each other too closely
    // for the span: they take its samples four at a time. None when the two are equal.
    int64_t roomNarrowBegin, roomNarrowEnd;
};

// Refreshes the room's copy of Wet/Dry and, when Room moved by a step of 1/128 or more
// (or on the first call), derives length and taps afresh and clears the lines.
void updateRoomSettings(RoomState& room, float wetDry, float roomSize);

// Adds the room's wet signal for frames samples of (sanitised) input to outA and outB and
// advances the room. allowWide = false keeps to one sample at a time (for comparison).
void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, long frames,
                      RoomState& room, bool allowWide);

} // namespace zembra
