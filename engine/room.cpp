// SPDX-License-Identifier: GPL-3.0-or-later
// The room: two recirculating delay lines, one per input, read at 32 taps that move with
// the write position. Sixteen shears between cells of the two lines per sample diffuse the
// echoes and mix the channels inside the loop.
//
// All 33 positions move together, so every step of a sample (the write, and a shear with the
// readings at its two taps) touches cells at fixed distances behind the write. Consecutive
// samples can then go side by side, one per vector lane, when the steps run in an order in
// which every cell still sees its steps in the order of time: the step farther ahead reaches
// a cell first. That order is worked out once per derivation, for as many samples as the
// taps' spacing allows: 32 above a size of about 0.1, and eight at the least. Below a size of
// about 0.011 a few shears (at size 0, two pairs) reach each other's cells again within one
// to five samples; those take the eight samples four at a time, between the others. The two
// sums take the readings in that order, so they round differently from a sum in tap order, by
// a few units in the last place.
#include "denormals.h"
#include "instance.h"
#include "lanes.h"
#include "simd.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

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
struct Coupling {
    bool firstInA;
    int first, second;
};
constexpr Coupling kCouplings[16] = {
    {true, 3, 0},   {false, 2, 1},   {true, 7, 4},    {false, 6, 5},
    {true, 11, 8},  {false, 10, 9},  {true, 15, 12},  {false, 14, 13},
    {true, 19, 16}, {false, 18, 17}, {true, 21, 20},  {false, 23, 22},
    {true, 25, 24}, {false, 27, 26}, {false, 29, 28}, {false, 31, 30}};

constexpr int kLineA = 0, kLineB = 1;

static_assert(std::size(kCouplings) == kRoomShears);
constexpr int kSteps = kRoomShears + 1; // and the write

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

constexpr auto kLineBytes =
    static_cast<int32_t>(offsetof(RoomState, roomLineB) - offsetof(RoomState, roomLineA));

// A cell a step touches: its line, how far behind the write (0 at the write index, negative
// behind it), and whether the step changes it.
struct Touch {
    int line;
    int32_t offset;
    bool writes;
};

// A step as the scheduler sees it: the write, or a shear with the readings at its taps.
struct PlannedStep {
    RoomShear shear; // unused for the write
    Touch touches[4];
    int touchCount;
};

// The steps of one sample: the shears, then the write. No two of them share a cell within a
// sample (at every length the room takes, the 33 positions are distinct), so their order
// within a sample is free.
void plannedSteps(const RoomState& room, PlannedStep* steps) {
    const int64_t ring = room.roomLength + 1;
    const auto behind = [&](int slot) { // 1..ring - 1 behind the write
        return -static_cast<int32_t>((room.roomWritePos - room.roomTap[slot] + ring) % ring);
    };
    const auto bytes = [](int line, int32_t offset) {
        return line * int64_t{kLineBytes} + offset * static_cast<int64_t>(sizeof(float));
    };
    PlannedStep* step = steps;
    for (const Coupling& c : kCouplings) {
        const int slotA = c.firstInA ? c.first : c.second;
        const int slotB = c.firstInA ? c.second : c.first;
        const int32_t a = behind(slotA), b = behind(slotB);
        const float across[2] = {kWeightB[slotA], kWeightA[slotB]};
        step->shear = {bytes(kLineA, a),
                       bytes(kLineB, b),
                       {kWeightA[slotA], kWeightB[slotB], across[0], across[1]},
                       !c.firstInA,
                       across[0] != 0.0f || across[1] != 0.0f};
        step->touchCount = 0;
        Touch* t = step->touches;
        t[step->touchCount++] = {kLineA, a, true};
        t[step->touchCount++] = {kLineB, b, true};
        if (across[0] != 0.0f) t[step->touchCount++] = {kLineB, a, false};
        if (across[1] != 0.0f) t[step->touchCount++] = {kLineA, b, false};
        ++step;
    }
    // The write changes the cells at the index and reads those a ring behind.
    const auto ringBehind = -static_cast<int32_t>(ring);
    *step = {{}, {{kLineA, 0, true}, {kLineB, 0, true}, {kLineA, ringBehind, false},
                  {kLineB, ringBehind, false}}, 4};
}

constexpr int32_t kNever = INT32_MAX;
using AheadTable = int32_t[kSteps][kSteps];

// ahead[a][b]: how many samples step a runs ahead of step b on a cell both touch, at least
// one changing it; more samples than that side by side need a first.
void aheadOf(const PlannedStep* steps, AheadTable& ahead) {
    for (int a = 0; a < kSteps; ++a)
        for (int b = 0; b < kSteps; ++b) {
            ahead[a][b] = kNever;
            for (int i = 0; a != b && i < steps[a].touchCount; ++i)
                for (int j = 0; j < steps[b].touchCount; ++j) {
                    const Touch &ta = steps[a].touches[i], &tb = steps[b].touches[j];
                    const int32_t lead = ta.offset - tb.offset;
                    if (ta.line == tb.line && (ta.writes || tb.writes) && lead > 0)
                        ahead[a][b] = std::min(ahead[a][b], lead);
                }
        }
}

using StepSet = uint64_t; // bit n for step n
constexpr StepSet kAllSteps = (StepSet{1} << kSteps) - 1;
constexpr int kWrite = kSteps - 1;

constexpr bool holds(StepSet set, int step) {
    return (set >> step & 1) != 0;
}

// An order of the steps in `among` for `span` samples side by side, written to order; false
// when there is none (two steps each needing the other first).
bool orderFor(const AheadTable& ahead, long span, StepSet among, int* order) {
    StepSet before[kSteps] = {};
    for (int b = 0; b < kSteps; ++b)
        for (int a = 0; a < kSteps; ++a)
            if (holds(among, a) && ahead[a][b] < span) before[b] |= StepSet{1} << a;
    // Of the steps whose predecessors are all placed, the one whose last predecessor came
    // longest ago: a step that reads cells just stored, partly overlapping, waits for the
    // stores to land, which made the smallest sizes a third slower than this order.
    StepSet placed = 0;
    int placedAt[kSteps] = {};
    for (int n = 0; placed != among; ++n) {
        int next = -1, nextWaitsFor = kSteps;
        for (int i = 0; i < kSteps; ++i) {
            if (!holds(among, i) || holds(placed, i) || (before[i] & ~placed)) continue;
            int waitsFor = -1;
            for (int a = 0; a < kSteps; ++a)
                if (holds(before[i], a)) waitsFor = std::max(waitsFor, placedAt[a]);
            if (waitsFor < nextWaitsFor) {
                next = i;
                nextWaitsFor = waitsFor;
            }
        }
        if (next < 0) return false;
        order[n] = next;
        placedAt[next] = n;
        placed |= StepSet{1} << next;
    }
    return true;
}

// For eight samples side by side when a few steps each need another first: those steps, and
// any that must come between them, go as one group four samples at a time, and the others
// eight at a time: before the group only those it must follow, after it the rest (a little
// faster than the other way round). False when the group would hold the write or
// cannot go four at a time either; else the order, and where the group lies in it.
bool orderWithNarrowGroup(const AheadTable& ahead, int* order, int& groupBegin, int& groupEnd) {
    constexpr long span = 8, narrowSpan = 4;
    // after[a]: the steps that must follow step a, directly or through others.
    StepSet after[kSteps] = {};
    for (int a = 0; a < kSteps; ++a)
        for (int b = 0; b < kSteps; ++b)
            if (ahead[a][b] < span) after[a] |= StepSet{1} << b;
    for (int k = 0; k < kSteps; ++k)
        for (StepSet& set : after)
            if (holds(set, k)) set |= after[k];
    StepSet cyclic = 0, followCyclic = 0;
    for (int a = 0; a < kSteps; ++a)
        if (holds(after[a], a)) {
            cyclic |= StepSet{1} << a;
            followCyclic |= after[a];
        }
    StepSet group = cyclic;
    for (int a = 0; a < kSteps; ++a)
        if (holds(followCyclic, a) && (after[a] & cyclic)) group |= StepSet{1} << a;
    if (holds(group, kWrite)) return false;
    StepSet earlier = 0;
    for (int a = 0; a < kSteps; ++a)
        if (after[a] & group) earlier |= StepSet{1} << a;
    earlier &= ~group;
    const StepSet later = kAllSteps & ~group & ~earlier;
    const int begin = __builtin_popcountll(earlier);
    const int end = begin + __builtin_popcountll(group);
    if (!orderFor(ahead, span, earlier, order) ||
        !orderFor(ahead, narrowSpan, group, order + begin) ||
        !orderFor(ahead, span, later, order + end))
        return false;
    groupBegin = begin;
    groupEnd = end;
    return true;
}

// The most samples that can go side by side (one always can), in vectors of 4 or 8 samples
// once, twice or four times (more would not stay in registers), and the order for them: at
// eight, with a narrow group when the steps cannot all go eight at a time.
void deriveSchedule(RoomState& room) {
    PlannedStep steps[kSteps];
    plannedSteps(room, steps);
    AheadTable ahead;
    aheadOf(steps, ahead);
    int order[kSteps];
    int groupBegin = 0, groupEnd = 0;
    room.roomSpan = kRoomMaxSpan;
    while (!orderFor(ahead, room.roomSpan, kAllSteps, order)) {
        if (room.roomSpan == 8 && orderWithNarrowGroup(ahead, order, groupBegin, groupEnd)) break;
        room.roomSpan = room.roomSpan == 4 ? 1 : room.roomSpan / 2;
    }
    const auto write = static_cast<int>(std::find(order, order + kSteps, kWrite) - order);
    const auto shearsBefore = [&](int n) { return n - (write < n ? 1 : 0); };
    room.roomShearsBeforeWrite = write;
    room.roomNarrowBegin = shearsBefore(groupBegin);
    room.roomNarrowEnd = shearsBefore(groupEnd);
    RoomShear* shear = room.roomShears;
    for (int step : order)
        if (step != kWrite) *shear++ = steps[step].shear;
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
    room.roomWriteIndex = room.roomLength + 1; // the whole ring, silent, behind it
    deriveSchedule(room);
    room.roomReady = 1;
}

namespace {

// Every lane does exactly what one sample alone would, in the same order of operations, so
// the wide paths give the same bits as one sample at a time.
typedef float Lanes4 __attribute__((vector_size(4 * sizeof(float))));

inline float sanitised(float v) {
    return withoutNonFinite(v);
}
template <class V> [[gnu::always_inline]] inline V sanitised(V v) {
    typedef int32_t Bits __attribute__((vector_size(sizeof(V))));
    Bits bits;
    std::memcpy(&bits, &v, sizeof bits);
    const Bits exponent = (bits >> 23) & 0xFF;
    bits &= (exponent != 0) & (exponent != 0xFF);
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

struct Gains {
    float wet, feedback, coupling;
};

inline float* at(char* base, int64_t bytes) {
    return reinterpret_cast<float*>(base + bytes);
}

// Shears the two cells of `vectors` vectors of samples, the one named first by the other,
// then back; the sums take the readings.
template <class V, int vectors>
[[gnu::always_inline]] inline void shearSamples(char* cells, const RoomShear& s, V coupling,
                                                V (&sums)[2][vectors]) {
    constexpr long width = sizeof(V) / sizeof(float);
    float* const cellA = at(cells, s.cellA);
    float* const cellB = at(cells, s.cellB);
    const float* const acrossA = at(cells, s.cellA + kLineBytes);
    const float* const acrossB = at(cells, s.cellB - kLineBytes);
    const float w0 = s.weight[0], w1 = s.weight[1], w2 = s.weight[2], w3 = s.weight[3];
    V a[vectors], b[vectors];
    for (int v = 0; v < vectors; ++v) {
        a[v] = load<V>(cellA + v * width);
        b[v] = load<V>(cellB + v * width);
    }
    // A shear's two readings of a line are added up before they join the line's sum, which
    // halves the chain of additions each sample waits for.
    if (s.readsAcross) {
        for (int v = 0; v < vectors; ++v) {
            sums[kLineA][v] += w0 * a[v] + w3 * load<V>(acrossB + v * width);
            sums[kLineB][v] += w1 * b[v] + w2 * load<V>(acrossA + v * width);
        }
    } else {
        for (int v = 0; v < vectors; ++v) {
            sums[kLineA][v] += w0 * a[v];
            sums[kLineB][v] += w1 * b[v];
        }
    }
    if (s.bFirst) {
        for (int v = 0; v < vectors; ++v) {
            b[v] = b[v] - coupling * a[v];
            a[v] = a[v] + coupling * b[v];
        }
    } else {
        for (int v = 0; v < vectors; ++v) {
            a[v] = a[v] - coupling * b[v];
            b[v] = b[v] + coupling * a[v];
        }
    }
    for (int v = 0; v < vectors; ++v) {
        store<V>(cellA + v * width, a[v]);
        store<V>(cellB + v * width, b[v]);
    }
}

// The narrow group's shears on eight samples, four at a time.
[[gnu::always_inline]] inline void narrowGroupSamples(char* cells, const RoomShear* from,
                                                      const RoomShear* to, float coupling,
                                                      Lanes (&sums)[2][1]) {
    Lanes4 halves[2][2][1];
    for (int line : {kLineA, kLineB}) {
        halves[0][line][0] = __builtin_shufflevector(sums[line][0], sums[line][0], 0, 1, 2, 3);
        halves[1][line][0] = __builtin_shufflevector(sums[line][0], sums[line][0], 4, 5, 6, 7);
    }
    for (int half = 0; half < 2; ++half)
        for (const RoomShear* s = from; s < to; ++s)
            shearSamples(cells + half * 4 * static_cast<long>(sizeof(float)), *s,
                         Lanes4{} + coupling, halves[half]);
    for (int line : {kLineA, kLineB})
        sums[line][0] = __builtin_shufflevector(halves[0][line][0], halves[1][line][0], 0, 1, 2, 3,
                                                4, 5, 6, 7);
}

// One sample (V = float), four or eight side by side, or `vectors` times that many: every
// step in the schedule's order, then the wet sums added to the outputs. Each vector of
// samples has sums of its own, so the sums of several run side by side.
template <class V, int vectors>
__attribute__((always_inline)) inline void roomSamples(RoomState& room, const Gains& gains,
                                                       const float* inA, const float* inB,
                                                       float* outA, float* outB) {
    constexpr long width = sizeof(V) / sizeof(float);
    char* const cells = reinterpret_cast<char*>(room.roomLineA + room.roomWriteIndex);
    // Copies, since the cells written below could be anything to the compiler.
    const V coupling = V{} + gains.coupling, feedback = V{} + gains.feedback;
    const float wet = gains.wet;
    V sums[2][vectors];
    for (auto& line : sums)
        for (V& sum : line)
            sum = V{} + 0.0f;
    const RoomShear* const shears = room.roomShears;
    const RoomShear* const beforeWrite = shears + room.roomShearsBeforeWrite;
    const RoomShear* const narrowFrom = shears + room.roomNarrowBegin;
    const RoomShear* const narrowTo = shears + room.roomNarrowEnd;
    const auto shearRun = [&](const RoomShear* from, const RoomShear* to) {
        for (const RoomShear* s = from; s < to;) {
            // A narrow group comes only with a span of eight; narrower vectors take its
            // shears like any other.
            if constexpr (width * vectors == 8) {
                if (s == narrowFrom && narrowFrom != narrowTo) {
                    narrowGroupSamples(cells, narrowFrom, narrowTo, gains.coupling, sums);
                    s = narrowTo;
                    continue;
                }
            }
            shearSamples(cells, *s++, coupling, sums);
        }
    };
    shearRun(shears, beforeWrite);
    // The write: both the feedback and the new input enter inverted.
    const int64_t ringBehind = room.roomLength + 1;
    for (int line : {kLineA, kLineB}) {
        float* const cell = at(cells, line * kLineBytes);
        const float* const old = cell - ringBehind;
        const float* const in = line == kLineA ? inA : inB;
        for (int v = 0; v < vectors; ++v)
            store<V>(cell + v * width,
                     sanitised(-(feedback * load<V>(old + v * width) + load<V>(in + v * width))));
    }
    shearRun(beforeWrite, shears + kRoomShears);
    for (int v = 0; v < vectors; ++v) {
        store<V>(outA + v * width,
                 load<V>(outA + v * width) + sanitised(0.0f + wet * sums[kLineA][v]));
        store<V>(outB + v * width,
                 load<V>(outB + v * width) + sanitised(0.0f + wet * sums[kLineB][v]));
    }
}

__attribute__((always_inline)) inline void roomRun(RoomState* state, long frames, bool wide,
                                                   const Gains* g, const float* inA,
                                                   const float* inB, float* outA, float* outB) {
    RoomState& room = *state;
    const int64_t ring = room.roomLength + 1;
    const long span = wide ? room.roomSpan : 1;
    for (long j = 0, n; j < frames; j += n) {
        if (room.roomWriteIndex + kRoomMaxSpan > kRoomLineCapacity) {
            // Move the live cells back to the start: once in some 25000 samples.
            const int64_t from = room.roomWriteIndex - ring;
            std::memmove(room.roomLineA, room.roomLineA + from, sizeof(float) * ring);
            std::memmove(room.roomLineB, room.roomLineB + from, sizeof(float) * ring);
            room.roomWriteIndex = ring;
        }
        // As many samples side by side as the room allows and the block has left.
        n = std::min(span, frames - j);
        const float *a = inA + j, *b = inB + j;
        float *l = outA + j, *r = outB + j;
        if (n >= 32) {
            n = 32;
            roomSamples<Lanes, 4>(room, *g, a, b, l, r);
        } else if (n >= 16) {
            n = 16;
            roomSamples<Lanes, 2>(room, *g, a, b, l, r);
        } else if (n >= 8) {
            n = 8;
            roomSamples<Lanes, 1>(room, *g, a, b, l, r);
        } else if (n >= 4) {
            n = 4;
            roomSamples<Lanes4, 1>(room, *g, a, b, l, r);
        } else {
            n = 1;
            roomSamples<float, 1>(room, *g, a, b, l, r);
        }
        room.roomWriteIndex += n;
    }
}

} // namespace

void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, long frames,
                      RoomState& room, bool allowWide) {
    if (room.roomReady == 0 || frames <= 0) return;
    const LoopGains loop = loopGains(room.roomSizeInUse);
    const Gains gains{wetGain(room.roomWetDry), loop.feedback, loop.coupling};
    runWide<roomRun>(&room, frames, allowWide, &gains, inA, inB, outA, outB);

    const int64_t ring = room.roomLength + 1;
    const int64_t step = frames % ring;
    const auto advance = [&](int64_t& position) {
        position += step;
        if (position >= ring) position -= ring;
    };
    advance(room.roomWritePos);
    for (int64_t& t : room.roomTap)
        advance(t);
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
        runWide<copyWithoutNonFinite>(static_cast<const float*>(inA), inA, frames);
        runWide<copyWithoutNonFinite>(static_cast<const float*>(inB), inB, frames);
        roomProcessBlock(inA, inB, outA, outB, frames, s.room, true);
    }
    setProcessing(s, 0);
}
