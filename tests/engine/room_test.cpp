// SPDX-License-Identifier: GPL-3.0-or-later
// The room: its sound against a reference, when Room starts it afresh, the guards on its
// inputs, a decaying tail and one result on both code paths.
#include "engine_test_support.h"
#include "instance.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
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

// The room's sound, pinned down: its response to an impulse on each input, added to what the
// outputs held, at the smallest and largest sizes and the wet gain below and at its limit,
// compared bit for bit with what it has always been. The taps, their weights, the loop and wet
// gains all show in it; a deliberate change of the room's sound renews the reference here.
// Room is stored as the host set it and used clamped to 0..1, and the wet gain stops rising
// at one half: those rows share a reference.
TEST(RoomProcessing, ImpulseResponsesMatchTheReference) {
    const struct {
        float size, wetDry;
        std::uint64_t reference;
    } cases[] = {{0.0f, 0.25f, 11474174952374790028u}, {-1.0f, 0.25f, 11474174952374790028u},
                 {0.5f, 0.5f, 4131643222825687387u},  {0.5f, 0.9f, 4131643222825687387u},
                 {1.0f, 0.5f, 2684714860998120974u},  {3.0f, 0.5f, 2684714860998120974u}};
    for (const auto& c : cases) {
        Instance inst = instanceWith({{kParamWetDry, c.wetDry}, {kParamRoom, c.size}});
        EXPECT_EQ(RTzembraGetParameter(kParamRoom, inst.get()), c.size);
        std::vector<float> a = impulse(24000, 0, 1.0f), b = impulse(24000, 700, -0.5f);
        a[1] = kNaN;
        b[1] = std::numeric_limits<float>::infinity();
        const RoomRun run = runRoom(inst.get(), a, b, 0.25f);
        EXPECT_EQ(run.inA[1], 0.0f); // non-finite input is cleared where it lies
        EXPECT_EQ(run.inB[1], 0.0f);
        EXPECT_EQ(checksum(run.outA, run.outB), c.reference) << c.size << " " << c.wetDry;
    }
}

// Moving Room within a step of 1/128, or moving another parameter, keeps the tail ringing; a
// step further starts the room afresh, silent.
TEST(RoomDerivation, OnlyAStepOfOneIn128StartsTheRoomAfresh) {
    const auto tailAfterMovingTo = [](float size) {
        Instance inst = instanceWith({{kParamWetDry, 0.5f}, {kParamRoom, 0.5f}});
        runRoom(inst.get(), impulse(3000, 0, 1.0f), impulse(3000, 0, 1.0f));
        RTzembraSetParameter(kParamRoom, size, inst.get());
        RTzembraSetParameter(kParamWetDry, 0.3f, inst.get());
        return runRoom(inst.get(), std::vector<float>(20000), std::vector<float>(20000)).outA;
    };
    const std::vector<float> ringing = tailAfterMovingTo(0.5f), silence(20000, 0.0f);
    EXPECT_NE(ringing, silence);
    EXPECT_EQ(tailAfterMovingTo(0.5039f), ringing); // 64.4992 steps: the same step
    EXPECT_EQ(tailAfterMovingTo(0.5079f), silence);
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

    Instance on = instanceWith({{kParamWetDry, 0.5f}});
    std::vector<float> out(3000, 0.25f);
    for (long frames : {0L, -5L})
        RTzembraRoomSimul(in.data(), in.data(), out.data(), out.data(), frames, on.get());
    EXPECT_TRUE(std::isnan(in[3]));
    EXPECT_EQ(out, std::vector<float>(3000, 0.25f));
    EXPECT_EQ(on->room.roomWritePos, 1);
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

// The wide paths must give the very same bits as one sample at a time on the portable build,
// at every size, across calls of odd lengths, the AVX2 and AVX-512 builds taking turns.
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
            limitWidePath(n % 2 ? WidePath::avx2 : WidePath::avx512);
            roomProcessBlock(a.data() + done, b.data() + done, wideA.data() + done,
                             wideB.data() + done, n, wide->room, true);
            limitWidePath(WidePath::portable);
            roomProcessBlock(a.data() + done, b.data() + done, narrowA.data() + done,
                             narrowB.data() + done, n, narrow->room, false);
            limitWidePath(WidePath::avx512);
            done += n;
        }
        EXPECT_EQ(wideA, narrowA) << size;
        EXPECT_EQ(wideB, narrowB) << size;
        EXPECT_EQ(wide->room.roomWritePos, narrow->room.roomWritePos);
    }
}
