// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters and their storage rules, instance set-up, the queries, controller inputs and
// the sanitisers.
#include "engine_test_support.h"
#include "instance.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

using namespace zembra;
using namespace zembra::test;

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
} // namespace

// A host may read before it ever sets: the defaults, without initialising the record.
// (The windows the first set builds are checked by the blend's pure tones.)
TEST(Parameters, FreshRecordReadsDefaultsWithoutInitialising) {
    Instance inst = freshInstance();
    for (auto [id, value] : {std::pair<int, float>{kParamWetDry, 0.0f},
                             {kParamVolume, 1.0f},
                             {kParamX, 0.5f},
                             {kParamRoom, 0.5f}})
        EXPECT_EQ(RTzembraGetParameter(id, inst.get()), value) << id;
    EXPECT_EQ(inst->initialised, 0u);
    RTzembraSetParameter(kParamX, 0.5f, inst.get()); // the first set initialises
    EXPECT_EQ(inst->initialised, 1u);
    EXPECT_EQ(inst->controllerValue[kSourcePitchWheel], 0.5f);
}

// Switches and sources are stored truncated, gains as given; a bad id or a non-finite value
// stores nothing, and a source outside the table drives nothing.
TEST(Parameters, StorageRules) {
    Instance inst = instanceWith({{kParamVolume, 0.25f}});
    struct Case {
        int id;
        float set, read;
    };
    for (Case c : {Case{kParamXControl, 3.9f, 3.0f}, Case{kParamSoloA, 0.99f, 0.0f},
                   Case{kParamStereoMode, -2.5f, -2.0f}, Case{kParamMixA, 0.37f, 0.37f},
                   Case{kParamYControl, -4.0f, -4.0f}, Case{kParamVolume, kNaN, 0.25f},
                   Case{kParamVolume, kInf, 0.25f}, Case{12, 7.0f, 0.0f}, Case{-3, 7.0f, 0.0f}}) {
        RTzembraSetParameter(c.id, c.set, inst.get());
        EXPECT_EQ(RTzembraGetParameter(c.id, inst.get()), c.read) << c.id << " " << c.set;
    }
    EXPECT_EQ(inst->ySource, kSourceNone);
    RTzembraSetParameter(kParamXControl, 9.0f, inst.get());
    EXPECT_EQ(inst->xSource, kSourceNone);
}

TEST(ControllerInputs, ScaleAndRanges) {
    Instance inst = instanceWith({});
    float* cv = inst->controllerValue;
    EXPECT_EQ(RTnoteOn(64, 0, inst.get()), 1);
    EXPECT_EQ(cv[kSourceNote], 0.5f);
    EXPECT_EQ(RTnoteOn(27, 100, inst.get()), 1); // outside the keyboard's range: ignored
    EXPECT_EQ(RTnoteOn(109, 100, inst.get()), 1);
    RTnoteOff(64, inst.get()); // the note's value stays
    EXPECT_EQ(cv[kSourceNote], 0.5f);

    RTsetSustainPedal(63, inst.get());
    EXPECT_EQ(cv[kSourceSustain], 0.0f);
    RTsetSustainPedal(64, inst.get());
    EXPECT_EQ(cv[kSourceSustain], 1.0f);
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

TEST(Sanitisers, NonFiniteAndDenormalBecomePositiveZero) {
    for (float bad : {std::numeric_limits<float>::denorm_min(), -0.0f, kInf, -kInf, kNaN}) {
        float v = bad;
        erase_NaN_Infinity_And_Denormal(&v);
        EXPECT_EQ(std::bit_cast<uint32_t>(v), 0u) << bad;
    }
    float buffer[4] = {kNaN, FLT_MIN, -kInf, kNaN};
    int three = 3, none = 0;
    erase_All_NaNs_Infinities_And_Denormals(buffer, &three);
    EXPECT_EQ(buffer[0], 0.0f);
    EXPECT_EQ(buffer[1], FLT_MIN); // the smallest normal stays
    EXPECT_EQ(buffer[2], 0.0f);
    EXPECT_TRUE(std::isnan(buffer[3])) << "beyond the count";
    buffer[0] = kNaN;
    erase_All_NaNs_Infinities_And_Denormals(buffer, &none);
    EXPECT_TRUE(std::isnan(buffer[0]));
}
