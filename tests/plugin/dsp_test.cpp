// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's audio side against a bare engine run: host values and presets, the audio and
// its latency, the meters at any rate, and the timeline.
#include "DspRun.h"
#include "FactoryPresets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using namespace zembra::plugin::test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void processSilence(Dsp& dsp, uint32_t frames = 16) {
    std::vector<float> l(frames), r(frames);
    dsp.process(nullptr, nullptr, l.data(), r.data(), frames, nullptr, 0);
}

} // namespace

TEST(DspParameters, HostValuesReachTheEngineScaledAtTheNextBlock) {
    const struct {
        uint32_t id;
        float host, engine;
    } cases[] = {{kParamRoom, 37.9f, 0.379f},
                 {kParamMixB, 150.0f, 1.0f},   // clamped to 100 %
                 {kParamX, kNaN, 0.5f},        // the default
                 {kParamXControl, 3.7f, 3.0f}, // Pedal
                 {kParamSoloA, 0.7f, 0.0f}};   // not on
    Dsp dsp;
    for (const auto& c : cases)
        dsp.setParameter(c.id, c.host);
    dsp.setParameter(kOutputPeakA, 0.9f); // an output: ignored
    EXPECT_FLOAT_EQ(dsp.engineParameter(kParamRoom), 0.5f) << "applied before the block";
    processSilence(dsp);
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(dsp.engineParameter(c.id), c.engine) << kParameters[c.id].name;
    EXPECT_FLOAT_EQ(dsp.parameter(kParamXControl), 3.0f);
    EXPECT_FLOAT_EQ(dsp.parameter(kOutputPeakA), 0.0f);
}

TEST(DspParameters, EveryPresetLoadAppliesAllTwelveValues) {
    ASSERT_GE(kFactoryPresets.size(), 6u);
    std::set<std::string> names;
    for (const ParameterInfo& p : kParameters)
        EXPECT_EQ(kFactoryPresets[0].value(p.id), p.def) << "Init is the defaults: " << p.name;
    for (uint32_t i = 0; i < kFactoryPresets.size(); ++i) {
        const FactoryPreset& preset = kFactoryPresets[i];
        names.insert(preset.name);
        Dsp dsp;
        // Every value away from the preset's, half of them applied and half only stored.
        for (const ParameterInfo& p : kParameters) {
            dsp.setParameter(p.id, preset.value(p.id) == p.min ? p.max : p.min);
            if (p.id == kParamY) processSilence(dsp);
        }
        dsp.loadPreset(i);
        processSilence(dsp);
        for (const ParameterInfo& p : kParameters) {
            SCOPED_TRACE(std::string(preset.name) + ": " + p.name);
            EXPECT_EQ(p.clamp(preset.value(p.id)), preset.value(p.id)) << "out of range";
            EXPECT_EQ(dsp.parameter(p.id), preset.value(p.id));
            EXPECT_FLOAT_EQ(dsp.engineParameter(p.id), p.toEngine(preset.value(p.id)));
        }
    }
    EXPECT_EQ(names.size(), kFactoryPresets.size());
}

TEST(DspParameters, StoresFromAnotherThreadAreNeverLost) {
    Dsp dsp;
    std::thread host([&] {
        for (int i = 0; i <= 2000; ++i)
            dsp.setParameter(kParamY, static_cast<float>(i) / 2000.0f);
    });
    for (int block = 0; block < 500; ++block)
        processSilence(dsp, 64);
    host.join();
    processSilence(dsp, 64);
    EXPECT_EQ(dsp.engineParameter(kParamY), 1.0f);
}

TEST(DspAudio, InputsAreSanitisedCopies) {
    Signals s = sources();
    const Output clean = runEngine({{kParamWetDry, 50.0f}}, s);
    s.a[100] = kNaN;
    s.b[200] = std::numeric_limits<float>::infinity();
    s.a[300] = std::numeric_limits<float>::denorm_min();
    const Signals dirty = s;
    Signals expectedIn = s;
    expectedIn.a[100] = expectedIn.b[200] = expectedIn.a[300] = 0.0f;
    const Output expected = runEngine({{kParamWetDry, 50.0f}}, expectedIn);
    EXPECT_FALSE(expected == clean);

    Dsp separate;
    separate.setParameter(kParamWetDry, 50.0f);
    EXPECT_TRUE(runDsp(separate, s, 256) == expected);
    EXPECT_EQ(std::memcmp(s.a.data(), dirty.a.data(), s.a.size() * sizeof(float)), 0)
        << "the host's input was written";
}

TEST(DspAudio, EveryPathLeavesWithTheReportedLatency) {
    Signals click{std::vector<float>(4096), std::vector<float>(4096)};
    click.a[100] = 0.8f;
    for (int path : {kParamMixA, kParamSoloA}) {
        Dsp dsp;
        dsp.setParameter(kParamVolume, 0.0f);
        dsp.setParameter(static_cast<uint32_t>(path), path == kParamSoloA ? 1.0f : 100.0f);
        const Output out = runDsp(dsp, click, 64);
        for (const std::vector<float>& side : {out.l, out.r})
            EXPECT_EQ(std::max_element(side.begin(), side.end()) - side.begin(), 100 + kLatency)
                << path;
    }
}

// The meters fall back by 1/e every 0.3 s whatever the host's rate, also when it changes
// mid-session; the rate reaches the editor's spectra with them.
TEST(DspMeters, PeaksOfEachInputFallBackGraduallyAtAnyRate) {
    // Silence with a NaN opening every block.
    const auto quiet = [](uint32_t frames) {
        Signals s{std::vector<float>(frames), std::vector<float>(frames)};
        for (uint32_t i = 0; i < frames; i += 256)
            s.a[i] = kNaN;
        return s;
    };
    Dsp dsp;
    for (double rate : {44100.0, 96000.0, 48000.0}) {
        SCOPED_TRACE(rate);
        dsp.setSampleRate(rate);
        EXPECT_EQ(dsp.signalTap()->sampleRate(), rate);
        Signals in{std::vector<float>(256), std::vector<float>(256)};
        in.a[10] = -0.5f;
        in.b[20] = 3.0f; // over full scale: the meter tops out
        runDsp(dsp, in, 256);
        EXPECT_FLOAT_EQ(dsp.parameter(kOutputPeakA), 0.5f);
        EXPECT_FLOAT_EQ(dsp.parameter(kOutputPeakB), 1.0f);
        runDsp(dsp, quiet(static_cast<uint32_t>(0.3 * rate)), 256);
        EXPECT_NEAR(dsp.parameter(kOutputPeakA), 0.5f / std::exp(1.0f), 0.01f);
    }
    runDsp(dsp, quiet(256000), 256);
    EXPECT_LT(dsp.parameter(kOutputPeakA), 1e-3f);
    Signals in{std::vector<float>(256), std::vector<float>(256)};
    in.a[5] = 0.25f;
    runDsp(dsp, in, 256);
    EXPECT_FLOAT_EQ(dsp.parameter(kOutputPeakA), 0.25f);
}

// The same material at the same place on a rolling timeline, bounced with other block sizes,
// after other jumps or from other start points (silence before the material).
TEST(DspTimeline, ARollingBounceDependsOnTheMaterialNotOnTheBlocksJumpsOrStartPoint) {
    const Signals material = sources(6000);
    constexpr uint64_t kAt = 50000 + 333; // where the material sits: not on a hop
    constexpr uint64_t kEnd = kAt + 6000 + 6000;
    // Rolls from `start` to kEnd in blocks of `block`; what it plays from kAt on.
    auto bounce = [&](const Settings& settings, uint64_t start, uint32_t block, bool rolling,
                      bool jumpedBefore) {
        Dsp dsp;
        setAll(dsp, settings);
        if (jumpedBefore) // something else played elsewhere on the timeline first
            runDsp(dsp, sources(5000), block, {}, Transport{rolling, 900000});
        Signals timeline{std::vector<float>(kEnd - start), std::vector<float>(kEnd - start)};
        std::copy(material.a.begin(), material.a.end(), timeline.a.begin() + (kAt - start));
        std::copy(material.b.begin(), material.b.end(), timeline.b.begin() + (kAt - start));
        return runDsp(dsp, timeline, block, {}, Transport{rolling, start}).from(kAt - start);
    };

    // From one start point: the same samples whatever the blocks and the jumps before.
    const Settings withRoom = {
        {kParamX, 0.3f}, {kParamWetDry, 40.0f}, {kParamStereoMode, 1.0f}, {kParamMixA, 20.0f}};
    const uint64_t start = kAt - 700;
    const Output reference = bounce(withRoom, start, 256, true, false);
    ASSERT_GT(*std::max_element(reference.l.begin(), reference.l.end()), 0.01f);
    EXPECT_TRUE(bounce(withRoom, start, 64, true, true) == reference);
    EXPECT_TRUE(bounce(withRoom, start, 1024, true, true) == reference);
    EXPECT_TRUE(bounce(withRoom, start, 333, true, false) == reference);
    // Stopped while the position moves on with the samples (a host pre-rolling a latency),
    // the hops follow the timeline all the same.
    EXPECT_TRUE(bounce(withRoom, start, 64, false, true) == reference);

    // From other start points: the engine hears its input offset in the silence too, so the
    // blend agrees once its frames reach no further back than the later start, three hops on
    // (the room's memory of that offset keeps a trace of the longer silence).
    const Settings dry = {{kParamX, 0.3f}, {kParamMixA, 20.0f}};
    constexpr size_t kSettled = 3 * kHop;
    const Output late = bounce(dry, kAt, 256, true, false).from(kSettled);
    for (uint64_t earlier : {kAt - 3, kAt - 700, kAt - 5000})
        EXPECT_TRUE(bounce(dry, earlier, 64, true, true).from(kSettled) == late) << kAt - earlier;
}
