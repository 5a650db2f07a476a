// SPDX-License-Identifier: GPL-3.0-or-later
// The blend as a user hears it: the corners of the pad, the dry mix, the solos, clipping,
// pseudo-stereo, the 2048-sample delay and independence from the caller's block sizes.
#include "blend_weights.h"
#include "engine_test_support.h"
#include "instance.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <cmath>
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

} // namespace

TEST(Blend, AnUninitialisedInstanceOrZeroFramesLeaveTheOutputs) {
    Instance fresh = freshInstance();
    std::vector<float> in(100, 0.3f), outL(100, 0.7f), outR(100, -0.7f);
    RTzembra(in.data(), in.data(), outL.data(), outR.data(), 100, fresh.get(), 1);
    EXPECT_EQ(outL, std::vector<float>(100, 0.7f));
    EXPECT_EQ(outR, std::vector<float>(100, -0.7f));
    EXPECT_EQ(fresh->processing, 0u);

    Instance inst = instanceWith({});
    RTzembra(in.data(), in.data(), outL.data(), outR.data(), 0, inst.get(), 1);
    EXPECT_EQ(outL[0], 0.7f);
    EXPECT_EQ(inst->writePos, 0);
    EXPECT_EQ(inst->processing, 0u);
}

TEST(Blend, DryMixArrivesAfterTwoHopsWithTheInputOffset) {
    Instance inst = instanceWith({{kParamMixA, 1.0f}, {kParamVolume, 0.0f}});
    const Stereo out = blend(inst.get(), impulse(kLength, 100, 0.5f), std::vector<float>(kLength));
    for (size_t t = 0; t < 2048; ++t)
        ASSERT_EQ(out.left[t], 0.0f) << t;
    EXPECT_NEAR(out.left[2148], 0.501f, 1e-6f);
    EXPECT_NEAR(out.right[2148], 0.501f, 1e-6f);
    for (size_t t = 2048; t < kLength; ++t) {
        if (t == 2148) continue;
        ASSERT_NEAR(out.left[t], 0.001f, 1e-6f) << t;
    }
}

TEST(Blend, CornersOfThePadPickASource) {
    struct Corner {
        float x, y;
        bool expectA;
    };
    for (Corner c :
         {Corner{0, 0, true}, Corner{0, 1, false}, Corner{1, 0, false}, Corner{1, 1, true}}) {
        Instance inst = instanceWith({{kParamX, c.x}, {kParamY, c.y}});
        const Stereo out =
            blend(inst.get(), impulse(kLength, 100, 0.5f), impulse(kLength, 300, 0.5f));
        const size_t peak = c.expectA ? 2148 : 2348, other = c.expectA ? 2348 : 2148;
        EXPECT_NEAR(out.left[peak], 0.5f, 1e-3f) << c.x << "," << c.y;
        EXPECT_NEAR(out.right[peak], 0.5f, 1e-3f);
        EXPECT_NEAR(out.left[other], 0.0f, 1e-3f);
    }
}

// What the editor shows at the knob: the shares follow the engine's weights and always add
// up to the whole blend, with the cross-syntheses taking over towards the middle of X.
TEST(Blend, SharesOfThePadSayWhatTheCornersAndMiddleGive) {
    const BlendShares origin = blendShares(0.0f, 0.0f);
    EXPECT_FLOAT_EQ(origin.a, 1.0f);
    EXPECT_FLOAT_EQ(origin.b + origin.aThroughB + origin.bThroughA, 0.0f);
    EXPECT_FLOAT_EQ(blendShares(0.0f, 1.0f).b, 1.0f);
    EXPECT_FLOAT_EQ(blendShares(1.0f, 0.0f).b, 1.0f);
    EXPECT_FLOAT_EQ(blendShares(1.0f, 1.0f).a, 1.0f);

    const BlendWeights middle = blendWeights(0.5f);
    EXPECT_NEAR(middle.a, 0.00012207, 1e-8);
    EXPECT_NEAR(middle.cross, 0.99988f, 1e-5f);
    const BlendShares bottom = blendShares(0.5f, 0.0f);
    EXPECT_NEAR(bottom.aThroughB, 0.99988f, 1e-5f);
    EXPECT_FLOAT_EQ(bottom.bThroughA, 0.0f);
    const BlendShares top = blendShares(0.5f, 1.0f);
    EXPECT_NEAR(top.bThroughA, 0.99988f, 1e-5f);
    // At X = 0.25 the cross-fade keeps only a trace: the plain sources live at the edges.
    const BlendShares quarter = blendShares(0.25f, 0.3f);
    EXPECT_NEAR(quarter.a + quarter.b, 0.024f, 0.001f);
    EXPECT_NEAR(quarter.aThroughB / quarter.bThroughA, 0.7f / 0.3f, 1e-4f);
}

TEST(Blend, MiddleOfXMovesEnergyWithoutExploding) {
    Instance inst = instanceWith({{kParamX, 0.5f}, {kParamY, 0.3f}});
    const Stereo out = blend(inst.get(), noise(kLength * 3, 1), sine(kLength * 3, 37.0, 0.5f));
    double energy = 0.0;
    for (size_t t = 4096; t < out.left.size(); ++t) {
        ASSERT_TRUE(std::isfinite(out.left[t]));
        energy += out.left[t] * out.left[t];
    }
    EXPECT_GT(energy, 1.0);
}

TEST(Blend, SolosPassTheClippedInputsWithoutDelay) {
    std::vector<float> a = {0.2f, 2.0f, -3.0f, 0.9985f, -0.5f};
    std::vector<float> b = {0.1f, 0.5f, 0.5f, 0.5f, -0.8f};
    Instance soloA = instanceWith({{kParamSoloA, 1.0f}, {kParamX, 0.3f}});
    const Stereo outA = blend(soloA.get(), a, b);
    const std::vector<float> expected = {0.201f, 0.999f, -1.0f, 0.999f, -0.499f};
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_FLOAT_EQ(outA.left[i], expected[i]) << i;
        EXPECT_EQ(outA.left[i], outA.right[i]);
    }

    Instance both = instanceWith({{kParamSoloA, 1.0f}, {kParamSoloB, 1.0f}});
    const Stereo outBoth = blend(both.get(), a, b);
    EXPECT_FLOAT_EQ(outBoth.left[0], 0.302f);
    EXPECT_FLOAT_EQ(outBoth.left[1], 0.999f); // 0.999 + 0.501, clipped
    EXPECT_FLOAT_EQ(outBoth.left[4], -1.0f);  // -0.499 - 0.799
}

TEST(Blend, AddModeAddsWithoutClippingTheSum) {
    Instance inst = instanceWith({{kParamSoloA, 1.0f}});
    std::vector<float> a(4, 0.9f), outL(4, 0.5f), outR(4, 0.5f);
    RTzembra(a.data(), a.data(), outL.data(), outR.data(), 4, inst.get(), 0);
    EXPECT_FLOAT_EQ(outL[0], 1.401f);
    EXPECT_FLOAT_EQ(outR[3], 1.401f);
}

TEST(Blend, BlockSizesDoNotChangeTheResult) {
    const auto a = noise(kLength, 11), b = noise(kLength, 12);
    Instance whole = instanceWith({{kParamX, 0.4f}, {kParamY, 0.6f}, {kParamMixB, 0.5f}});
    const Stereo reference = blend(whole.get(), a, b);

    Instance pieces = instanceWith({{kParamX, 0.4f}, {kParamY, 0.6f}, {kParamMixB, 0.5f}});
    Stereo out{std::vector<float>(kLength), std::vector<float>(kLength)};
    std::mt19937 rng(9);
    std::uniform_int_distribution<long> len(0, 700);
    for (long done = 0; done < static_cast<long>(kLength);) {
        const long n = std::min(len(rng), static_cast<long>(kLength) - done);
        RTzembra(a.data() + done, b.data() + done, out.left.data() + done, out.right.data() + done,
                 n, pieces.get(), 1);
        done += n;
    }
    EXPECT_EQ(out.left, reference.left);
    EXPECT_EQ(out.right, reference.right);
}

TEST(Blend, OutputsMayAliasTheInputs) {
    auto a = noise(kLength, 21), b = noise(kLength, 22);
    Instance one = instanceWith({{kParamX, 0.2f}, {kParamStereoMode, 1.0f}});
    const Stereo reference = blend(one.get(), a, b);
    Instance two = instanceWith({{kParamX, 0.2f}, {kParamStereoMode, 1.0f}});
    RTzembra(a.data(), b.data(), a.data(), b.data(), static_cast<long>(kLength), two.get(), 1);
    EXPECT_EQ(a, reference.left);
    EXPECT_EQ(b, reference.right);
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

TEST(Blend, ModWheelDrivesX) {
    // X from the wheel alone: at 0 the pad's left edge (A at Y = 0), at 127 its right edge (B).
    for (auto [wheel, expectA] : {std::pair{0L, true}, {127L, false}}) {
        Instance inst = instanceWith({{kParamX, 0.0f},
                                      {kParamY, 0.0f},
                                      {kParamXControl, static_cast<float>(kSourceModWheel)}});
        RTsetModWheel(wheel, inst.get());
        const Stereo out =
            blend(inst.get(), impulse(kLength, 100, 0.5f), impulse(kLength, 300, 0.5f));
        EXPECT_NEAR(out.left[expectA ? 2148 : 2348], 0.5f, 1e-3f) << wheel;
    }
    // The sum stays on the pad.
    Instance over = instanceWith(
        {{kParamX, 0.5f}, {kParamY, 0.0f}, {kParamXControl, static_cast<float>(kSourceModWheel)}});
    RTsetModWheel(127, over.get());
    const Stereo out = blend(over.get(), impulse(kLength, 100, 0.5f), impulse(kLength, 300, 0.5f));
    EXPECT_NEAR(out.left[2348], 0.5f, 1e-3f);
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

TEST(Blend, PortableAndWideBuildsGiveTheSameBits) {
    const auto a = noise(kLength, 41), b = noise(kLength, 42);
    auto run = [&](bool portable) {
        forcePortable(portable);
        Instance inst = instanceWith({{kParamX, 0.45f}, {kParamY, 0.3f}, {kParamStereoMode, 1.0f}});
        Stereo out = blend(inst.get(), a, b);
        forcePortable(false);
        return out;
    };
    const Stereo wide = run(false), portable = run(true);
    EXPECT_EQ(wide.left, portable.left);
    EXPECT_EQ(wide.right, portable.right);
}
