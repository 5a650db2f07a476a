// SPDX-License-Identifier: GPL-3.0-or-later
// The room: derivation from Room, gains, the impulse response's first arrivals, and the
// guards on its inputs and on out-of-range sizes.
#include "engine_test_support.h"
#include "instance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace zembra;
using namespace zembra::test;

namespace {

// Distance back in time that each tap reads: a tap set to T reads length + 2 - T back.
std::pair<long, long> tapReach(const RoomState& room) {
    long shortest = std::numeric_limits<long>::max(), longest = 0;
    for (long t : room.roomTap) {
        shortest = std::min(shortest, static_cast<long>(room.roomLength) + 2 - t);
        longest = std::max(longest, static_cast<long>(room.roomLength) + 2 - t);
    }
    return {shortest, longest};
}

struct RoomRun {
    std::vector<float> inA, inB, outA, outB;
};

RoomRun runRoom(RTzembraInstance* inst, std::vector<float> a, std::vector<float> b) {
    RoomRun run{std::move(a), std::move(b), {}, {}};
    run.outA.assign(run.inA.size(), 0.0f);
    run.outB.assign(run.inA.size(), 0.0f);
    RTzembraRoomSimul(run.inA.data(), run.inB.data(), run.outA.data(), run.outB.data(),
                      static_cast<long>(run.inA.size()), inst);
    return run;
}

} // namespace

TEST(RoomDerivation, LengthAndTapsFollowTheSize) {
    Instance inst = instanceWith({});
    const RoomState& room = inst->room;
    EXPECT_EQ(room.roomLength, 11421);
    EXPECT_EQ(room.roomTap[0], 102);
    EXPECT_EQ(room.roomTap[23], 10584);
    EXPECT_EQ(room.roomWritePos, 1);

    RTzembraSetParameter(kParamRoom, 0.0f, inst.get());
    EXPECT_EQ(room.roomLength, 421);
    EXPECT_EQ(tapReach(room), std::make_pair(33L, 421L));

    RTzembraSetParameter(kParamRoom, 1.0f, inst.get());
    EXPECT_EQ(room.roomLength, 22421);
    EXPECT_EQ(tapReach(room), std::make_pair(1644L, 22316L));
}

TEST(RoomDerivation, RebuildsOnlyOnAStepOfOneIn128) {
    Instance inst = instanceWith({});
    RoomState& room = inst->room;
    room.roomLineA[500] = 0.25f;
    room.roomWritePos = 77;

    RTzembraSetParameter(kParamRoom, 0.5039f, inst.get()); // 64.4992 steps: same step
    EXPECT_EQ(room.roomLineA[500], 0.25f);
    EXPECT_EQ(room.roomWritePos, 77);

    RTzembraSetParameter(kParamWetDry, 0.3f, inst.get()); // other parameters leave it alone
    EXPECT_EQ(room.roomLineA[500], 0.25f);
    EXPECT_EQ(room.roomWetDry, 0.3f);

    RTzembraSetParameter(kParamRoom, 0.5079f, inst.get());
    EXPECT_EQ(room.roomLineA[500], 0.0f);
    EXPECT_EQ(room.roomWritePos, 1);
    EXPECT_EQ(room.roomLength, static_cast<int64_t>(0.5079f * 22000.0 + 421.0));
}

TEST(RoomDerivation, SizesOutsideZeroToOneAreClamped) {
    Instance inst = instanceWith({{kParamRoom, 3.0f}, {kParamWetDry, 1.0f}});
    EXPECT_EQ(RTzembraGetParameter(kParamRoom, inst.get()), 3.0f);
    EXPECT_EQ(inst->room.roomLength, 22421);
    RTzembraSetParameter(kParamRoom, -1.0f, inst.get());
    EXPECT_EQ(inst->room.roomLength, 421);

    // A long run at the largest size never leaves the cleared, allocated cells.
    RTzembraSetParameter(kParamRoom, 2.5f, inst.get());
    RoomRun run = runRoom(inst.get(), noise(60000, 7, -1.0f, 1.0f), noise(60000, 8, -1.0f, 1.0f));
    for (float v : run.outA)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(RoomProcessing, OffAtOrBelowOneThousandthTouchesNothing) {
    for (float wetDry : {0.0f, 0.0009f}) {
        Instance inst = instanceWith({{kParamWetDry, wetDry}});
        std::vector<float> a(3000, 0.5f);
        a[3] = std::numeric_limits<float>::quiet_NaN();
        const int64_t writePos = inst->room.roomWritePos;
        RoomRun run = runRoom(inst.get(), a, a);
        EXPECT_TRUE(std::isnan(run.inA[3])) << "inputs untouched";
        EXPECT_TRUE(std::all_of(run.outA.begin(), run.outA.end(), [](float v) { return v == 0; }));
        EXPECT_EQ(inst->room.roomWritePos, writePos);
    }
}

TEST(RoomProcessing, ImpulseReachesTheTapsInOrder) {
    Instance inst = instanceWith({{kParamWetDry, 0.5f}});
    RoomRun run = runRoom(inst.get(), impulse(1400, 0, 1.0f), std::vector<float>(1400, 0.0f));
    for (int i = 0; i < 839; ++i)
        ASSERT_EQ(run.outA[i], 0.0f) << i;
    EXPECT_FLOAT_EQ(run.outA[839], -0.075f);
    EXPECT_FLOAT_EQ(run.outA[1179], -0.3f);
    EXPECT_FLOAT_EQ(run.outA[1206], -0.225f);
    for (int i = 0; i < 1322; ++i)
        ASSERT_EQ(run.outB[i], 0.0f) << i;
    EXPECT_NEAR(run.outB[1322], -0.02552f, 1e-5f);
}

TEST(RoomProcessing, WetGainRisesToThreeQuartersAtOneHalf) {
    for (auto [wetDry, gain] : {std::pair{0.25f, 0.375f}, {0.5f, 0.75f}, {0.9f, 0.75f}}) {
        Instance inst = instanceWith({{kParamWetDry, wetDry}});
        RoomRun run = runRoom(inst.get(), impulse(900, 0, 1.0f), std::vector<float>(900, 0.0f));
        EXPECT_FLOAT_EQ(run.outA[839], -0.1f * gain) << wetDry;
    }
}

TEST(RoomProcessing, AddsToTheOutputsAndSanitisesItsInputs) {
    Instance inst = instanceWith({{kParamWetDry, 0.5f}});
    std::vector<float> a(10, 0.0f), b(10, 0.0f), outA(10, 0.25f), outB(10, -0.25f);
    a[2] = std::numeric_limits<float>::quiet_NaN();
    b[4] = std::numeric_limits<float>::infinity();
    RTzembraRoomSimul(a.data(), b.data(), outA.data(), outB.data(), 10, inst.get());
    EXPECT_EQ(a[2], 0.0f);
    EXPECT_EQ(b[4], 0.0f);
    EXPECT_EQ(outA[9], 0.25f);
    EXPECT_EQ(outB[9], -0.25f);
    EXPECT_EQ(inst->processing, 0u);

    RTzembraRoomSimul(a.data(), b.data(), outA.data(), outB.data(), 0, inst.get());
    RTzembraRoomSimul(a.data(), b.data(), outA.data(), outB.data(), -5, inst.get());
    EXPECT_EQ(inst->processing, 0u);
}

TEST(RoomProcessing, UninitialisedInstanceIsLeftAlone) {
    Instance inst = freshInstance();
    RoomRun run =
        runRoom(inst.get(), std::vector<float>(100, std::nanf("")), std::vector<float>(100, 0.5f));
    EXPECT_TRUE(std::isnan(run.inA[0]));
    EXPECT_EQ(inst->processing, 0u);
}

TEST(RoomProcessing, TailDecaysSecondBySecond) {
    // The loop is stable at every size: each second of the tail is quieter than the last.
    for (float size : {0.5f, 1.0f}) {
        Instance inst = instanceWith({{kParamWetDry, 1.0f}, {kParamRoom, size}});
        std::vector<float> burst = noise(4800, 1);
        burst.resize(48000 * 8, 0.0f);
        RoomRun run = runRoom(inst.get(), burst, burst);
        double previous = 1e30;
        for (size_t second = 1; second < 8; ++second) {
            double energy = 0.0;
            for (size_t i = second * 48000; i < (second + 1) * 48000; ++i)
                energy += run.outA[i] * run.outA[i] + run.outB[i] * run.outB[i];
            EXPECT_LT(energy, previous) << size << " " << second;
            previous = energy;
        }
    }
}

TEST(RoomProcessing, SamplesSideBySideMatchOneAtATime) {
    // The wide path must give the very same bits as the plain one, at every size, across
    // runs that end where positions wrap and across calls of odd lengths.
    std::mt19937 rng(17);
    std::uniform_int_distribution<long> blockLength(1, 900);
    for (float size : {0.0f, 0.1f, 0.14f, 0.5f, 0.77f, 1.0f}) {
        Instance wide = instanceWith({{kParamWetDry, 0.6f}, {kParamRoom, size}});
        Instance narrow = instanceWith({{kParamWetDry, 0.6f}, {kParamRoom, size}});
        const unsigned seed = static_cast<unsigned>(size * 100);
        const std::vector<float> a = noise(30000, seed, -0.8f, 0.8f),
                                 b = noise(30000, seed + 1, -0.8f, 0.8f);
        std::vector<float> wideA(a.size()), wideB(a.size()), narrowA(a.size()), narrowB(a.size());
        for (long done = 0; done < static_cast<long>(a.size());) {
            const long n = std::min(blockLength(rng), static_cast<long>(a.size()) - done);
            roomProcessBlock(a.data() + done, b.data() + done, wideA.data() + done,
                             wideB.data() + done, n, wide->room, true);
            roomProcessBlock(a.data() + done, b.data() + done, narrowA.data() + done,
                             narrowB.data() + done, n, narrow->room, false);
            done += n;
        }
        EXPECT_EQ(wideA, narrowA) << size;
        EXPECT_EQ(wideB, narrowB) << size;
        EXPECT_EQ(wide->room.roomWritePos, narrow->room.roomWritePos);
    }
}
