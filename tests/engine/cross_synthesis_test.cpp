// SPDX-License-Identifier: GPL-3.0-or-later
// The blend as a user hears it: the pad and its controllers, the dry mix, the solos, clipping,
// pseudo-stereo, the 2048-sample delay, and the same bits whatever the blocks, threads or CPU.
#include "engine_test_support.h"
#include "instance.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <thread>

using namespace zembra;
using namespace zembra::test;

namespace {

constexpr size_t kLength = 6000;

std::vector<float> sine(size_t length, double period, float amplitude) {
    std::vector<float> v(length);
    for (size_t t = 0; t < length; ++t)
        v[t] =
            amplitude * static_cast<float>(std::sin(2.0 * M_PI * static_cast<double>(t) / period));
    return v;
}

// A's impulse at 100 and B's at 300: the source the blend picks peaks 2048 samples later.
void expectSource(RTzembraInstance* inst, bool expectA) {
    const Stereo out = blend(inst, impulse(kLength, 100, 0.5f), impulse(kLength, 300, 0.5f));
    const size_t peak = expectA ? 2148 : 2348, other = expectA ? 2348 : 2148;
    EXPECT_NEAR(out.left[peak], 0.5f, 1e-3f);
    EXPECT_NEAR(out.right[peak], 0.5f, 1e-3f);
    EXPECT_NEAR(out.left[other], 0.0f, 1e-3f);
}

} // namespace

TEST(Blend, AnUninitialisedInstanceOrZeroFramesLeaveTheOutputs) {
    std::vector<float> in(100, 0.3f), outL(100, 0.7f), outR(100, -0.7f);
    Instance fresh = freshInstance(), inst = instanceWith({});
    RTzembra(in.data(), in.data(), outL.data(), outR.data(), 100, fresh.get(), 1);
    RTzembra(in.data(), in.data(), outL.data(), outR.data(), 0, inst.get(), 1);
    EXPECT_EQ(outL, std::vector<float>(100, 0.7f));
    EXPECT_EQ(outR, std::vector<float>(100, -0.7f));
}

TEST(Blend, DryMixArrivesAfterTwoHopsWithTheInputOffset) {
    Instance inst = instanceWith({{kParamMixA, 1.0f}, {kParamVolume, 0.0f}});
    const Stereo out = blend(inst.get(), impulse(kLength, 100, 0.5f), std::vector<float>(kLength));
    for (size_t t = 0; t < 2048; ++t)
        ASSERT_EQ(out.left[t], 0.0f) << t;
    EXPECT_NEAR(out.right[2148], 0.501f, 1e-6f);
    for (size_t t = 2048; t < kLength; ++t)
        ASSERT_NEAR(out.left[t], t == 2148 ? 0.501f : 0.001f, 1e-6f) << t;
}

// The corners of the pad pick a source; the mod wheel moves X on its own, and the sum of the
// pad and the wheel stays on the pad.
TEST(Blend, CornersOfThePadAndTheModWheelPickASource) {
    struct Case {
        float x, y;
        long wheel; // -1: X follows no controller
        bool expectA;
    };
    for (Case c :
         {Case{0, 0, -1, true}, Case{0, 1, -1, false}, Case{1, 0, -1, false}, Case{1, 1, -1, true},
          Case{0, 0, 0, true}, Case{0, 0, 127, false}, Case{0.5f, 0, 127, false}}) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " wheel " << c.wheel);
        Instance inst = instanceWith({{kParamX, c.x}, {kParamY, c.y}});
        if (c.wheel >= 0) {
            RTzembraSetParameter(kParamXControl, static_cast<float>(kSourceModWheel), inst.get());
            RTsetModWheel(c.wheel, inst.get());
        }
        expectSource(inst.get(), c.expectA);
    }
}

// The solos skip the analysis: each input clipped (plus the input offset), no delay, their
// sum clipped again; adding to the output does not clip that sum.
TEST(Blend, SolosPassTheClippedInputsWithoutDelayAndAddModeDoesNotClipTheSum) {
    const std::vector<float> a = {0.2f, 2.0f, -3.0f, -0.5f}, b = {0.1f, 0.5f, 0.5f, -0.8f};
    const auto expectNear = [](const std::vector<float>& got, const std::vector<float>& want) {
        for (size_t i = 0; i < want.size(); ++i)
            EXPECT_NEAR(got[i], want[i], 1e-6f) << i;
    };
    const Stereo soloA = blend(instanceWith({{kParamSoloA, 1.0f}, {kParamX, 0.3f}}).get(), a, b);
    expectNear(soloA.left, {0.201f, 0.999f, -1.0f, -0.499f});
    EXPECT_EQ(soloA.right, soloA.left);
    const Stereo both = blend(instanceWith({{kParamSoloA, 1.0f}, {kParamSoloB, 1.0f}}).get(), a, b);
    expectNear(both.left, {0.302f, 0.999f, -0.499f, -1.0f});

    std::vector<float> loud(4, 0.9f), outL(4, 0.5f), outR(4, 0.5f);
    RTzembra(loud.data(), loud.data(), outL.data(), outR.data(), 4,
             instanceWith({{kParamSoloA, 1.0f}}).get(), 0);
    expectNear(outL, std::vector<float>(4, 1.401f));
    EXPECT_EQ(outR, outL);
}

// Towards the middle of X, where the cross-synthesis does nearly all the work, the sound
// neither vanishes nor blows up, and not a bit of it depends on the host's block sizes,
// processing in place, or the CPU the portable and wide code paths run on; and they are the
// bits it has always given, unless its sound is changed on purpose.
TEST(Blend, TheSameBitsWhateverTheBlocksBuffersAndCodePath) {
    auto a = noise(kLength, 11), b = noise(kLength, 12);
    const std::initializer_list<std::pair<int, float>> params = {
        {kParamX, 0.4f}, {kParamY, 0.6f}, {kParamMixB, 0.5f}, {kParamStereoMode, 1.0f}};
    const Stereo reference = blend(instanceWith(params).get(), a, b);
    const auto settled = reference.left.begin() + 4096;
    const double energy = std::inner_product(settled, reference.left.end(), settled, 0.0);
    EXPECT_TRUE(std::isfinite(energy) && energy > 1.0) << energy;
    EXPECT_EQ(checksum(reference.left, reference.right), 4081371813592280275u);

    for (WidePath narrower : {WidePath::portable, WidePath::avx2}) {
        limitWidePath(narrower);
        EXPECT_TRUE(blend(instanceWith(params).get(), a, b) == reference) << int(narrower);
    }
    limitWidePath(WidePath::avx512);

    Instance pieces = instanceWith(params);
    Stereo out{std::vector<float>(kLength), std::vector<float>(kLength)};
    std::mt19937 rng(9);
    std::uniform_int_distribution<long> len(0, 700);
    for (long done = 0; done < static_cast<long>(kLength);) {
        const long n = std::min(len(rng), static_cast<long>(kLength) - done);
        RTzembra(a.data() + done, b.data() + done, out.left.data() + done, out.right.data() + done,
                 n, pieces.get(), 1);
        done += n;
    }
    EXPECT_TRUE(out == reference) << "in pieces";

    Instance inPlace = instanceWith(params);
    RTzembra(a.data(), b.data(), a.data(), b.data(), static_cast<long>(kLength), inPlace.get(), 1);
    EXPECT_TRUE((Stereo{a, b} == reference)) << "in place";
}

TEST(Blend, PseudoStereoAddsTheQuadratureCompanion) {
    Instance mono = instanceWith({{kParamX, 0.0f}, {kParamY, 0.0f}});
    const Stereo same = blend(mono.get(), sine(8000, 64.0, 0.5f), std::vector<float>(8000));
    EXPECT_EQ(same.left, same.right);

    Instance stereo = instanceWith({{kParamX, 0.0f}, {kParamY, 0.0f}, {kParamStereoMode, 1.0f}});
    const Stereo out = blend(stereo.get(), sine(8000, 64.0, 0.5f), std::vector<float>(8000));
    for (size_t t = 4000; t < 8000; ++t) {
        const double w = 2.0 * M_PI * (static_cast<double>(t) - 2048.0) / 64.0;
        ASSERT_NEAR(out.left[t], 0.5 * std::sin(w) + 0.125 * std::cos(w), 1e-3) << t;
        ASSERT_NEAR(out.right[t], -0.5 * std::cos(w) - 0.125 * std::sin(w), 1e-3) << t;
    }
}

TEST(Blend, InstancesOnDifferentThreadsMatchTheirSerialRuns) {
    // Each instance sweeps X so its envelope width changes every hop; run side by side on
    // two threads they must give exactly what each gives alone.
    const auto a = noise(48 * 1024, 31), b = noise(48 * 1024, 32);
    auto run = [&](float offset) {
        Instance inst = instanceWith({{kParamY, 0.4f}});
        std::vector<float> l(a.size()), r(a.size());
        for (size_t done = 0; done < a.size(); done += 1024) {
            RTzembraSetParameter(kParamX, offset + 0.4f * static_cast<float>(done) / 48000.0f,
                                 inst.get());
            RTzembra(a.data() + done, b.data() + done, l.data() + done, r.data() + done, 1024,
                     inst.get(), 1);
        }
        return l;
    };
    const auto serialLow = run(0.1f), serialHigh = run(0.5f);
    std::vector<float> low, high;
    std::thread t1([&] { low = run(0.1f); });
    std::thread t2([&] { high = run(0.5f); });
    t1.join();
    t2.join();
    EXPECT_EQ(low, serialLow);
    EXPECT_EQ(high, serialHigh);
}
