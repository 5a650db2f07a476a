// SPDX-License-Identifier: GPL-3.0-or-later
// The room: two recirculating delay lines, one per input, read at 32 taps that move with
// the write position. Sixteen shears between cells of the two lines per sample diffuse the
// echoes and mix the channels inside the loop.
#include "denormals.h"
#include "instance.h"
#include "simd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zembra {

namespace {

// Tap positions at a room length of 13400 samples; scaled with the length.
constexpr float kTapBase[kRoomTaps] = {120,  1635, 2564,  4210,  5946, 6879, 8795,  9666,
                                       5144, 5644, 10203, 12020, 5311, 5541, 10903, 11988,
                                       64,   255,  3500,  4899,  7122, 8465, 4977,  12419,
                                       5788, 9828, 1035,  3035,  7511, 8232, 9254,  6428};
constexpr double kInvTapBaseLength = 1.0 / 13400.0;

// Weights of each tap in the two output sums.
constexpr float kWeightA[kRoomTaps] = {0,      0.025f, 0,      0.1f, 0,     0.2f, 0,     0.3f,
                                       0.325f, -0.35f, 0.375f, 0.4f, 0.15f, 0.2f, 0.25f, 0.3f,
                                       0.1f,   0.1f,   0.1f,   0.1f, 0.1f,  0.1f, 0.1f,  0.1f,
                                       0.1f,   0.1f,   0.1f,   0.1f, 0.1f,  0.1f, 0.1f,  0.1f};
constexpr float kWeightB[kRoomTaps] = {0.0125f, 0,     0.05f,   0,    0.15f, 0,    0.25f, 0,
                                       -0.325f, 0.35f, -0.375f, 0.4f, 0.15f, 0.2f, 0.25f, 0.3f,
                                       0.1f,    0.1f,  0.1f,    0.1f, 0.1f,  0.1f, 0.1f,  0.1f,
                                       0.1f,    0.1f,  0.1f,    0.1f, 0.1f,  0.1f, 0.1f,  0.1f};

// The couplings in order: the first tap's cell is sheared by the second's, then back.
// lineOfFirst says which line holds the first cell.
struct Coupling {
    bool firstInA;
    int first, second;
};
constexpr Coupling kCouplings[16] = {
    {true, 3, 0},   {false, 2, 1},   {true, 7, 4},    {false, 6, 5},
    {true, 11, 8},  {false, 10, 9},  {true, 15, 12},  {false, 14, 13},
    {true, 19, 16}, {false, 18, 17}, {true, 21, 20},  {false, 23, 22},
    {true, 25, 24}, {false, 27, 26}, {false, 29, 28}, {false, 31, 30}};

struct LoopGains {
    float feedback, coupling;
};

LoopGains loopGains(float size) {
    if (static_cast<double>(size) > 0.91) return {0.819f, 0.43486875f};
    const auto g = static_cast<float>(static_cast<double>(size) * 0.9);
    const float notSize = 1.0f - size;
    const auto inner =
        static_cast<float>(static_cast<double>(g) * 0.45 + static_cast<double>(notSize) * 0.2);
    return {g, inner * 1.125f};
}

float wetGain(float wetDry) {
    return wetDry < 0.5f ? (wetDry + wetDry) * 0.75f : 0.75f;
}

// Out-of-range sizes would overrun the lines or read cells never cleared.
float clampedSize(float size) {
    if (!(size > 0.0f)) return 0.0f;
    return size < 1.0f ? size : 1.0f;
}

} // namespace

void updateRoomSettings(RoomState& room, float wetDry, float roomSize) {
    room.roomWetDry = wetDry;
    const float size = clampedSize(roomSize);
    if (room.roomReady == 1 &&
        static_cast<long>(static_cast<double>(size) * 128.0) ==
            static_cast<long>(static_cast<double>(room.lastRoomSize) * 128.0))
        return;
    room.lastRoomSize = size;
    room.roomSizeInUse = size;
    room.roomLength = static_cast<int64_t>(static_cast<double>(size) * 22000.0 + 421.0);
    const auto scale = static_cast<float>(static_cast<double>(static_cast<float>(room.roomLength)) *
                                          kInvTapBaseLength);
    room.roomWritePos = 1;
    for (long i = 0; i < kRoomTaps; ++i)
        room.roomTap[i] = static_cast<int64_t>(scale * kTapBase[i]);
    std::memset(room.roomLineA, 0, sizeof(float) * kRoomClearedCells);
    std::memset(room.roomLineB, 0, sizeof(float) * kRoomClearedCells);
    room.roomLanesIndependent = roomLanesAreIndependent(room);
    room.roomReady = 1;
}

namespace {

// The lane helpers are always inlined, so the warning about passing wide vectors between
// functions built for different instruction sets does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

// Eight samples side by side. Every sample does exactly what it would do alone, in the same
// order of operations, so the wide path gives the same bits as the one-sample path.
typedef float Lanes __attribute__((vector_size(32)));
typedef int32_t LaneBits __attribute__((vector_size(32)));
constexpr long kLanes = 8;

template <class V> inline V load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V> inline void store(float* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// Zero, denormal, infinite and NaN become +0.0: nothing unbounded enters the loop.
inline float sanitised(float v) {
    erase_NaN_Infinity_And_Denormal(&v);
    return v;
}
inline Lanes sanitised(Lanes v) {
    LaneBits bits;
    std::memcpy(&bits, &v, sizeof bits);
    const LaneBits exponent = (bits >> 23) & 0xFF;
    bits &= (exponent != 0) & (exponent != 0xFF);
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Where each of the 33 positions is in the lines at the start of a run of samples.
struct Cells {
    float* writeA;
    float* writeB;
    float* tapA[kRoomTaps];
    float* tapB[kRoomTaps];
};

struct Gains {
    float wet, feedback, coupling;
};

// One sample (V = float) or eight (V = Lanes) at offset j into the run.
template <class V>
__attribute__((always_inline)) inline void roomStep(const Cells& c, long j, const Gains& g,
                                                    const float* inA, const float* inB, float* outA,
                                                    float* outB) {
    V sumA = V{} + 0.0f, sumB = V{} + 0.0f;
    for (long k = 0; k < kRoomTaps; ++k) {
        if (kWeightA[k] != 0.0f) sumA += kWeightA[k] * load<V>(c.tapA[k] + j);
        if (kWeightB[k] != 0.0f) sumB += kWeightB[k] * load<V>(c.tapB[k] + j);
    }
    const V accA = sanitised(0.0f + g.wet * sumA);
    const V accB = sanitised(0.0f + g.wet * sumB);

    // Both the feedback and the new input enter inverted.
    store<V>(c.writeA + j, sanitised(-(g.feedback * load<V>(c.writeA + j) + load<V>(inA + j))));
    store<V>(c.writeB + j, sanitised(-(g.feedback * load<V>(c.writeB + j) + load<V>(inB + j))));

    for (const Coupling& pair : kCouplings) {
        float* first = (pair.firstInA ? c.tapA[pair.first] : c.tapB[pair.first]) + j;
        float* second = (pair.firstInA ? c.tapB[pair.second] : c.tapA[pair.second]) + j;
        const V f = load<V>(first) - g.coupling * load<V>(second);
        store<V>(first, f);
        store<V>(second, load<V>(second) + g.coupling * f);
    }

    store<V>(outA + j, load<V>(outA + j) + accA);
    store<V>(outB + j, load<V>(outB + j) + accB);
}

__attribute__((always_inline)) inline void roomRun(const Cells* c, long count, bool wide,
                                                   const Gains* g, const float* inA,
                                                   const float* inB, float* outA, float* outB) {
    long j = 0;
    if (wide)
        for (; j + kLanes <= count; j += kLanes)
            roomStep<Lanes>(*c, j, *g, inA, inB, outA, outB);
    for (; j < count; ++j)
        roomStep<float>(*c, j, *g, inA, inB, outA, outB);
}

} // namespace

bool roomLanesAreIndependent(const RoomState& room) {
    // Eight samples can go side by side when no position touches a cell that another
    // touches within the next seven samples: all positions move together, so this holds
    // from one derivation to the next.
    const long ring = room.roomLength + 1;
    long positions[kRoomTaps + 1];
    positions[0] = room.roomWritePos;
    for (long k = 0; k < kRoomTaps; ++k)
        positions[k + 1] = room.roomTap[k];
    for (long m = 0; m <= kRoomTaps; ++m)
        for (long n = m + 1; n <= kRoomTaps; ++n) {
            const long apart = std::labs(positions[m] - positions[n]);
            if (std::min(apart, ring - apart) < kLanes) return false;
        }
    return true;
}

void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, long frames,
                      RoomState& room, bool allowWide) {
    if (room.roomReady == 0) return;
    const LoopGains loop = loopGains(room.roomSizeInUse);
    const Gains gains{wetGain(room.roomWetDry), loop.feedback, loop.coupling};
    const bool wide = allowWide && room.roomLanesIndependent;
    const int64_t ring = room.roomLength + 1;

    for (long done = 0; done < frames;) {
        // A run ends where the first of the positions wraps round its ring.
        int64_t count = std::min<int64_t>(frames - done, ring - room.roomWritePos);
        for (int64_t t : room.roomTap)
            count = std::min(count, ring - t);

        Cells cells;
        cells.writeA = room.roomLineA + room.roomWritePos;
        cells.writeB = room.roomLineB + room.roomWritePos;
        for (long k = 0; k < kRoomTaps; ++k) {
            cells.tapA[k] = room.roomLineA + room.roomTap[k];
            cells.tapB[k] = room.roomLineB + room.roomTap[k];
        }
        runWide<roomRun>(&cells, count, wide, &gains, inA + done, inB + done, outA + done,
                         outB + done);

        const auto advance = [&](int64_t& position) {
            position += count;
            if (position == ring) position = 0;
        };
        advance(room.roomWritePos);
        for (int64_t& t : room.roomTap)
            advance(t);
        done += count;
    }
}

} // namespace zembra

using namespace zembra;

extern "C" void RTzembraRoomSimul(float* inA, float* inB, float* outA, float* outB, long frames,
                                  RTzembraInstance* instance) {
    RTzembraInstance& s = *instance;
    if (s.initialised == 0) return;
    setProcessing(s, 1);
    // Wet/Dry cannot change during the call, so the room is on or off for the whole block.
    if (frames > 0 && static_cast<double>(s.wetDry) > 0.001) {
        const DenormalsOff denormalsOff;
        int count = static_cast<int>(frames);
        erase_All_NaNs_Infinities_And_Denormals(inA, &count);
        erase_All_NaNs_Infinities_And_Denormals(inB, &count);
        roomProcessBlock(inA, inB, outA, outB, frames, s.room, true);
    }
    setProcessing(s, 0);
}
