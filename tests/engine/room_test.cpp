// SPDX-License-Identifier: GPL-3.0-or-later
// The room: derivation from Room, gains, the impulse response's first arrivals, the guards
// on its inputs and sizes, a decaying tail and one result on both code paths.
#include "engine_test_support.h"
#include "instance.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace zembra;
using namespace zembra::test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct RoomRun {
    std::vector<float> inA, inB, outA, outB;
};

// One call of the room over whole signals, the outputs starting at `base`.
RoomRun runRoom(RTzembraInstance* inst, std::vector<float> a, std::vector<float> b,
                float base = 0.0f) {
    RoomRun run{std::move(a), std::move(b), {}, {}};
    run.outA.assign(run.inA.size(), base);
    run.outB.assign(run.inA.size(), base);
    RTzembraRoomSimul(run.inA.data(), run.inB.data(), run.outA.data(), run.outB.data(),
                      static_cast<long>(run.inA.size()), inst);
    return run;
}

} // namespace

// The stored Room is what the host set; the line and its taps use it clamped to 0..1. A tap
// set to T reads length + 2 - T samples back.
TEST(RoomDerivation, LengthAndTapsFollowTheSizeClampedToZeroToOne) {
    struct Case {
        float size;
        int64_t length;
        long shortest, longest;
    };
    for (Case c :
         {Case{0.5f, 11421, 839, 11369}, Case{0.0f, 421, 33, 421}, Case{1.0f, 22421, 1644, 22316},
          Case{-1.0f, 421, 33, 421}, Case{3.0f, 22421, 1644, 22316}}) {
        SCOPED_TRACE(c.size);
        Instance inst = instanceWith({{kParamRoom, c.size}});
        const RoomState& room = inst->room;
        EXPECT_EQ(RTzembraGetParameter(kParamRoom, inst.get()), c.size);
        EXPECT_EQ(room.roomLength, c.length);
        long shortest = std::numeric_limits<long>::max(), longest = 0;
        for (long t : room.roomTap) {
            shortest = std::min(shortest, static_cast<long>(room.roomLength) + 2 - t);
            longest = std::max(longest, static_cast<long>(room.roomLength) + 2 - t);
        }
        EXPECT_EQ(shortest, c.shortest);
        EXPECT_EQ(longest, c.longest);
    }
}

TEST(RoomDerivation, RebuildsOnlyOnAStepOfOneIn128) {
    Instance inst = instanceWith({});
    RoomState& room = inst->room;
    room.roomLineA[500] = 0.25f;
    room.roomWritePos = 77;

    RTzembraSetParameter(kParamRoom, 0.5039f, inst.get()); // 64.4992 steps: same step
    RTzembraSetParameter(kParamWetDry, 0.3f, inst.get());  // other parameters leave it alone
    EXPECT_EQ(room.roomLineA[500], 0.25f);
    EXPECT_EQ(room.roomWritePos, 77);
    EXPECT_EQ(room.roomWetDry, 0.3f);

    RTzembraSetParameter(kParamRoom, 0.5079f, inst.get());
    EXPECT_EQ(room.roomLineA[500], 0.0f);
    EXPECT_EQ(room.roomWritePos, 1);
    EXPECT_EQ(room.roomLength, static_cast<int64_t>(0.5079f * 22000.0 + 421.0));
}

// Off at or below one thousandth, not yet initialised, or given no frames: nothing changes,
// not even the inputs.
TEST(RoomProcessing, OffUninitialisedOrEmptyCallsTouchNothing) {
    std::vector<float> in(3000, 0.5f);
    in[3] = kNaN;
    for (float wetDry : {0.0f, 0.0009f}) {
        Instance inst = instanceWith({{kParamWetDry, wetDry}});
        const RoomRun run = runRoom(inst.get(), in, in);
        EXPECT_TRUE(std::isnan(run.inA[3])) << wetDry;
        EXPECT_EQ(run.outA, std::vector<float>(3000, 0.0f)) << wetDry;
        EXPECT_EQ(inst->room.roomWritePos, 1) << wetDry;
    }
    Instance fresh = freshInstance();
    EXPECT_TRUE(std::isnan(runRoom(fresh.get(), in, in).inA[3]));
    EXPECT_EQ(fresh->processing, 0u);

    Instance on = instanceWith({{kParamWetDry, 0.5f}});
    std::vector<float> out(3000, 0.25f);
    for (long frames : {0L, -5L})
        RTzembraRoomSimul(in.data(), in.data(), out.data(), out.data(), frames, on.get());
    EXPECT_TRUE(std::isnan(in[3]));
    EXPECT_EQ(out, std::vector<float>(3000, 0.25f));
    EXPECT_EQ(on->room.roomWritePos, 1);
    EXPECT_EQ(on->processing, 0u);
}

// An impulse on A reaches the taps in order, at a wet gain that rises to three quarters at
// one half; the room adds to the outputs and clears non-finite inputs where they lie.
TEST(RoomProcessing, ImpulseReachesTheTapsInOrderAddedToTheOutputs) {
    for (auto [wetDry, gain] : {std::pair{0.25f, 0.375f}, {0.5f, 0.75f}, {0.9f, 0.75f}}) {
        SCOPED_TRACE(wetDry);
        Instance inst = instanceWith({{kParamWetDry, wetDry}});
        std::vector<float> a = impulse(1400, 0, 1.0f), b(1400, 0.0f);
        a[1] = kNaN;
        b[1] = std::numeric_limits<float>::infinity();
        const RoomRun run = runRoom(inst.get(), a, b, 0.25f);
        EXPECT_EQ(run.inA[1], 0.0f);
        EXPECT_EQ(run.inB[1], 0.0f);
        for (int i = 0; i < 839; ++i)
            ASSERT_EQ(run.outA[i], 0.25f) << i;
        EXPECT_FLOAT_EQ(run.outA[839], 0.25f - 0.1f * gain);
        EXPECT_FLOAT_EQ(run.outA[1179], 0.25f - 0.4f * gain);
        EXPECT_FLOAT_EQ(run.outA[1206], 0.25f - 0.3f * gain);
        for (int i = 0; i < 1322; ++i)
            ASSERT_EQ(run.outB[i], 0.25f) << i;
        EXPECT_NEAR(run.outB[1322], 0.25f - 0.034027f * gain, 1e-5f);
    }
}

// The loop is stable at every size, the largest included: each second of the tail is quieter
// than the last.
TEST(RoomProcessing, TailDecaysSecondBySecond) {
    for (float size : {0.5f, 1.0f}) {
        Instance inst = instanceWith({{kParamWetDry, 1.0f}, {kParamRoom, size}});
        std::vector<float> burst = noise(4800, 1);
        burst.resize(48000 * 8, 0.0f);
        const RoomRun run = runRoom(inst.get(), burst, burst);
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

// The wide path must give the very same bits as one sample at a time on the portable build,
// at every size, across calls of odd lengths.
TEST(RoomProcessing, SamplesSideBySideMatchOneAtATime) {
    std::mt19937 rng(17);
    std::uniform_int_distribution<long> blockLength(1, 900);
    for (float size : {0.0f, 0.01f, 0.05f, 0.1f, 0.14f, 0.5f, 0.77f, 1.0f}) {
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
            forcePortable(true);
            roomProcessBlock(a.data() + done, b.data() + done, narrowA.data() + done,
                             narrowB.data() + done, n, narrow->room, false);
            forcePortable(false);
            done += n;
        }
        EXPECT_EQ(wideA, narrowA) << size;
        EXPECT_EQ(wideB, narrowB) << size;
        EXPECT_EQ(wide->room.roomWritePos, narrow->room.roomWritePos);
    }
}
