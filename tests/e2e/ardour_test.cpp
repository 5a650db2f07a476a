// SPDX-License-Identifier: GPL-3.0-or-later
// Zembra in Ardour 7, headless: the LV2 and VST3 builds in exported sessions compared with
// zembra-render, Ardour's VST3 scanner on the bundle, and bounces at several buffer sizes.
#include "ArdourSession.h"
#include "ZembraParameters.h"
#include "constants.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <sstream>

using namespace zembra;
using namespace e2e;

namespace {

constexpr double kTolerance = 1e-5;

// Away from the room, whose moving taps run from the instance's first block, long before the
// export.
const std::map<int, float> kSettings = {{kParamX, 0.3f},
                                        {kParamY, 0.8f},
                                        {kParamMixA, 10.0f},
                                        {kParamMixB, 5.0f},
                                        {kParamStereoMode, 1.0f}};

// How an export relates to zembra-render: the lag Ardour left after its compensation (full
// compensation shows as kLatency, the reference keeping the engine's delay), and the phase of
// the hop grid against the timeline.
struct Match {
    Alignment alignment;
    size_t phase = 0;
};

// B arriving `delayB` samples after A, for the grid phases the buffer size allows. The first
// kLatency frames are left out: what the plug-in processed before the export shows there.
Match matchReference(const Material& m, const Sound& exported, int buffer, size_t delayB) {
    for (size_t phase = 0; phase < static_cast<size_t>(kHop);
         phase += static_cast<size_t>(buffer)) {
        const Sound reference = renderReference(m, kSettings, phase, phase + delayB);
        Alignment a = align(exported, reference, static_cast<int>(2 * kLatency + long(phase)),
                            kTolerance, static_cast<size_t>(kLatency));
        if (a.lag >= 0) {
            a.lag -= static_cast<int>(phase);
            return {a, phase};
        }
    }
    return Match{};
}

class Ardour : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        material = makeMaterial("ardour-" + name);
        env = ardourEnv(material.dir / "home");
    }

    // Exports `routing` in `format` and checks it against zembra-render, B `delayB` late.
    void expectMatchesZembraRender(const std::string& format, Routing routing, size_t delayB) {
        ArdourJob job;
        job.format = format;
        job.routing = routing;
        job.hostValues = kSettings;
        const std::string tag = format + "-" + routingName(routing);
        SCOPED_TRACE(tag);
        const auto start = std::chrono::steady_clock::now();
        const ArdourExport e = exportWithArdour(material, job, env, tag);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(e.run.status, 0) << e.run.output;
        ASSERT_NE(e.run.output.find("exported"), std::string::npos) << e.run.output;
        ASSERT_EQ(e.sound.frames(), readSound(material.a).frames()) << e.run.output;
        EXPECT_EQ(e.reportedLag, kLatency);
        EXPECT_GT(rms(e.sound), 0.01);
        const Match match = matchReference(material, e.sound, job.buffer, delayB);
        std::cout << "[ figure ] Ardour " << tag << ": " << seconds << " s; B " << delayB
                  << " samples late matches zembra-render at lag " << match.alignment.lag
                  << ", max |difference| " << match.alignment.error << ", grid phase "
                  << match.phase << "\n";
        EXPECT_EQ(match.alignment.lag, kLatency) << "no alignment matches to " << kTolerance;
    }

    Material material;
    std::vector<std::string> env;
};

} // namespace

// A and B on one stereo track, and B from a track of its own into the side-chain input, by a
// send or a direct connection. Ardour 7.3 does not compensate the plug-in's latency on the
// side-chain path: B arrives kLatency samples late there (the README says so).
TEST_F(Ardour, Lv2MatchesZembraRenderOnEachRouting) {
    expectMatchesZembraRender("LV2", Routing::Pins, 0);
    for (Routing routing : {Routing::Send, Routing::DirectPort})
        expectMatchesZembraRender("LV2", routing, static_cast<size_t>(kLatency));
}

// The scanner's output has nothing of ours beyond the controller's start-up line and DPF's
// note on the order the scanner releases the component in (handled by DPF).
TEST_F(Ardour, Vst3ScansCleanlyAndOnAStereoTrackMatchesZembraRender) {
    const Result scan = scanVst3(env);
    ASSERT_TRUE(scan.finished) << scan.output;
    ASSERT_EQ(scan.status, 0) << scan.output;
    EXPECT_NE(scan.output.find("Found Plugin: Zembra"), std::string::npos) << scan.output;
    EXPECT_NE(scan.output.find("n_inputs=\"2\" n_outputs=\"2\""), std::string::npos) << scan.output;
    std::istringstream lines(scan.output);
    for (std::string line; std::getline(lines, line);) {
        const bool expected =
            line.empty() || line.rfind("[Info]", 0) == 0 || line.rfind("\t", 0) == 0 ||
            line == "<KLOV> supported" ||
            line == "DPF warning: asked to delete component while audio processor still active "
                    "(refcount 1)";
        EXPECT_TRUE(expected) << line;
    }
    expectMatchesZembraRender("VST3", Routing::Pins, 0);
}

// Bounces with 64-, 256- and 1024-sample periods and from two start points agree over the
// range they share: the hop grid follows the timeline, not the moment the plug-in started.
TEST_F(Ardour, BouncesAgreeAcrossBufferSizesAndStartPoints) {
    constexpr int64_t kAt = 48000;    // the material sits 1 s into the timeline
    constexpr int64_t kLater = 30000; // the second start point, inside the material
    const size_t frames = readSound(material.a).frames();
    std::vector<std::pair<std::string, Sound>> bounces;
    for (int buffer : {64, 256, 1024}) {
        for (int64_t from : {kAt, kAt + kLater}) {
            ArdourJob job;
            job.hostValues = kSettings;
            job.buffer = buffer;
            job.at = kAt;
            job.from = from;
            job.to = kAt + static_cast<int64_t>(frames);
            const std::string tag =
                "bounce-" + std::to_string(buffer) + "-from-" + std::to_string(from);
            ArdourExport e = exportWithArdour(material, job, env, tag);
            ASSERT_EQ(e.run.status, 0) << e.run.output;
            ASSERT_EQ(e.sound.frames(), static_cast<size_t>(job.to - from)) << tag;
            // Keep the range every bounce has: from the later start to the end.
            e.sound.samples.erase(e.sound.samples.begin(),
                                  e.sound.samples.begin() + 2 * (kAt + kLater - from));
            bounces.emplace_back(tag, std::move(e.sound));
        }
    }
    for (size_t i = 1; i < bounces.size(); ++i) {
        const double difference = maxDifference(bounces[0].second, bounces[i].second);
        std::cout << "[ figure ] " << bounces[i].first << " vs " << bounces[0].first
                  << ": max |difference| " << difference << "\n";
        EXPECT_LT(difference, kTolerance) << bounces[i].first;
    }
}
