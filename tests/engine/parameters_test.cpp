// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters, instance set-up, controller inputs and sanitisers.
#include "engine_test_support.h"
#include "instance.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

using namespace zembra;
using namespace zembra::test;

TEST(Parameters, FreshRecordReadsDefaultsWithoutInitialising) {
    Instance inst = freshInstance();
    EXPECT_EQ(RTzembraGetParameter(kParamWetDry, inst.get()), 0.0f);
    EXPECT_EQ(RTzembraGetParameter(kParamVolume, inst.get()), 1.0f);
    EXPECT_EQ(RTzembraGetParameter(kParamX, inst.get()), 0.5f);
    EXPECT_EQ(RTzembraGetParameter(kParamRoom, inst.get()), 0.5f);
    EXPECT_EQ(RTzembraGetParameter(12, inst.get()), 0.0f);
    EXPECT_EQ(RTzembraGetParameter(-1, inst.get()), 0.0f);
    EXPECT_EQ(inst->initialised, 0u);
}

TEST(Parameters, SwitchesAndSourcesAreStoredTruncated) {
    Instance inst = instanceWith({});
    RTzembraSetParameter(kParamXControl, 3.9f, inst.get());
    EXPECT_EQ(RTzembraGetParameter(kParamXControl, inst.get()), 3.0f);
    EXPECT_EQ(inst->xSource, 3);

    RTzembraSetParameter(kParamSoloA, 0.99f, inst.get());
    EXPECT_EQ(RTzembraGetParameter(kParamSoloA, inst.get()), 0.0f);
    EXPECT_EQ(inst->soloA, 0u);
    RTzembraSetParameter(kParamSoloA, 1.0f, inst.get());
    EXPECT_EQ(inst->soloA, 1u);

    RTzembraSetParameter(kParamStereoMode, -2.5f, inst.get());
    EXPECT_EQ(RTzembraGetParameter(kParamStereoMode, inst.get()), -2.0f);
    EXPECT_EQ(inst->stereoMode, 0u);

    RTzembraSetParameter(kParamMixA, 0.37f, inst.get()); // gains are stored as given
    EXPECT_EQ(RTzembraGetParameter(kParamMixA, inst.get()), 0.37f);
}

TEST(Parameters, InvalidIdsAndValuesStoreNothing) {
    Instance inst = instanceWith({{kParamVolume, 0.25f}});
    RTzembraSetParameter(12, 7.0f, inst.get());
    RTzembraSetParameter(-3, 7.0f, inst.get());
    RTzembraSetParameter(kParamVolume, std::numeric_limits<float>::quiet_NaN(), inst.get());
    RTzembraSetParameter(kParamVolume, std::numeric_limits<float>::infinity(), inst.get());
    EXPECT_EQ(RTzembraGetParameter(kParamVolume, inst.get()), 0.25f);
    EXPECT_EQ(inst->volume, 0.25f);
}

TEST(Parameters, SourceIndexOutsideTheTableReadsAsNone) {
    Instance inst = instanceWith({{kParamXControl, 9.0f}, {kParamYControl, -4.0f}});
    EXPECT_EQ(RTzembraGetParameter(kParamXControl, inst.get()), 9.0f);
    EXPECT_EQ(inst->xSource, kSourceNone);
    EXPECT_EQ(inst->ySource, kSourceNone);
}

TEST(Parameters, FirstSetBuildsTheTables) {
    Instance inst = instanceWith({});
    EXPECT_EQ(inst->initialised, 1u);
    EXPECT_EQ(1L << inst->log2FrameSize, kFrameSize);

    // Overlap-add at half a frame: the windows of neighbouring frames sum to one.
    const float* aw = inst->analysisWindow;
    const float* sw = inst->synthesisWindow;
    for (int k = 0; k < kHop; ++k) {
        EXPECT_NEAR(sw[k] + sw[k + kHop], 1.0f, 1e-6f) << k;
        EXPECT_TRUE(aw[k] >= 0.0f && aw[k] <= 1.0f && aw[kFrameSize - 1 - k] <= 1.0f) << k;
    }

    EXPECT_EQ(inst->controllerValue[kSourcePitchWheel], 0.5f);
}

TEST(Parameters, Queries) {
    EXPECT_EQ(RTzembraGetStructSize(), static_cast<long>(sizeof(RTzembraInstance)));
    EXPECT_EQ(RTzembraGetProcessingLatency(), kHop);
}

TEST(ControllerInputs, ScaleAndRanges) {
    Instance inst = instanceWith({});
    float* cv = inst->controllerValue;

    EXPECT_EQ(RTnoteOn(64, 0, inst.get()), 1);
    EXPECT_EQ(cv[kSourceNote], 0.5f);
    EXPECT_EQ(RTnoteOn(27, 100, inst.get()), 1);
    EXPECT_EQ(RTnoteOn(109, 100, inst.get()), 1);
    EXPECT_EQ(cv[kSourceNote], 0.5f);
    RTnoteOff(64, inst.get());
    EXPECT_EQ(cv[kSourceNote], 0.5f);

    RTsetSustainPedal(63, inst.get());
    EXPECT_EQ(cv[kSourceSustain], 0.0f);
    RTsetSustainPedal(64, inst.get());
    EXPECT_EQ(cv[kSourceSustain], 1.0f);

    RTsetModWheel(127, inst.get());
    EXPECT_EQ(cv[kSourceModWheel], 1.0f);
    RTsetPedal(64, inst.get());
    EXPECT_EQ(cv[kSourcePedal], static_cast<float>(64.0 * (1.0 / 127.0)));
    RTsetChannelAfterTouch(254, inst.get()); // not range-checked: clamped later
    EXPECT_EQ(cv[kSourceAftertouch], 2.0f);
    RTsetPitchWheel(0, inst.get());
    EXPECT_EQ(cv[kSourcePitchWheel], 0.0f);

    RTallNotesOff(inst.get());
    for (int i = 0; i < kSourceCount; ++i)
        EXPECT_EQ(cv[i], i == kSourcePitchWheel ? 0.5f : 0.0f) << i;
}

namespace {
uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
} // namespace

TEST(Sanitisers, NonFiniteAndDenormalBecomePositiveZero) {
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {std::numeric_limits<float>::denorm_min(), -0.0f, inf, -inf,
                      std::numeric_limits<float>::quiet_NaN()}) {
        float v = bad;
        erase_NaN_Infinity_And_Denormal(&v);
        EXPECT_EQ(bitsOf(v), 0u) << bad;
    }
    for (float good : {1.0f, -1.0f, FLT_MIN}) {
        float v = good;
        erase_NaN_Infinity_And_Denormal(&v);
        EXPECT_EQ(v, good);
    }

    float buffer[4] = {std::nanf(""), 0.5f, -inf, 2.0f};
    int three = 3;
    erase_All_NaNs_Infinities_And_Denormals(buffer, &three);
    EXPECT_EQ(buffer[0], 0.0f);
    EXPECT_EQ(buffer[1], 0.5f);
    EXPECT_EQ(buffer[2], 0.0f);
    int none = 0;
    buffer[0] = std::nanf("");
    erase_All_NaNs_Infinities_And_Denormals(buffer, &none);
    EXPECT_TRUE(std::isnan(buffer[0]));
}
