// SPDX-License-Identifier: GPL-3.0-or-later
// Zembra in Ardour 7, headless: the LV2 and VST3 builds in exported sessions compared with
// zembra-render of what the plug-in heard, with the sources fed each way Ardour offers, bounces
// at several periods and start points, and Ardour's VST3 scanner on the bundle.
#include "ArdourSession.h"
#include "ZembraParameters.h"
#include "constants.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace zembra;
using namespace e2e;

namespace {

constexpr double kTolerance = 1e-5;
constexpr auto kLatencyFrames = static_cast<size_t>(kLatency);

// Away from the room, whose moving taps run from the instance's first block, long before the
// export.
const std::map<int, float> kSettings = {{kParamX, 0.3f},
                                        {kParamY, 0.8f},
                                        {kParamMixA, 10.0f},
                                        {kParamMixB, 5.0f},
                                        {kParamStereoMode, 1.0f}};

class Ardour : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        material = makeMaterial("ardour-" + name);
        env = ardourEnv(material.dir / "home");
        // Ardour finds a VST3 plug-in only in its scanner's index.
        scan = scanVst3(env);
    }

    // The sources from timeline frame `start` on, as the plug-in hears them (A from `a`), and a
    // latency of silence past their end, so that the raw reference covers the whole export.
    Material heardFrom(const fs::path& a, size_t start, const std::string& tag) const {
        Material heard = material;
        heard.dir = material.dir / ("heard-" + tag);
        fs::create_directories(heard.dir);
        for (auto [source, copy] : {std::pair{a, &heard.a}, std::pair{material.b, &heard.b}}) {
            Sound s = readSound(source);
            const auto channels = static_cast<size_t>(s.channels);
            s.samples.erase(s.samples.begin(), s.samples.begin() + start * channels);
            s.samples.resize(s.samples.size() + kLatencyFrames * channels, 0.0f);
            *copy = heard.dir / source.filename();
            writeSound(*copy, s);
        }
        return heard;
    }

    // Exports `job` and checks it against zembra-render over the whole export, B arriving
    // `delayB` samples after A. Ardour rolls the plug-in a latency ahead of the export, feeding
    // it the material from the export's start on, and the plug-in starts afresh there.
    void expectMatchesZembraRender(const ArdourJob& job, size_t delayB) {
        static const char* const kRoutings[] = {"track", "send", "direct"};
        const std::string tag = job.format + "-" + kRoutings[static_cast<int>(job.routing)] + "-" +
                                std::to_string(job.buffer) + "-from-" + std::to_string(job.from);
        SCOPED_TRACE(tag);
        const auto began = std::chrono::steady_clock::now();
        const ArdourExport e = exportWithArdour(material, job, env, tag);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        ASSERT_EQ(e.run.status, 0) << e.run.output;
        ASSERT_NE(e.run.output.find("exported"), std::string::npos) << e.run.output;
        const auto from = static_cast<size_t>(job.from);
        ASSERT_EQ(e.sound.frames(), readSound(material.a).frames() - from) << e.run.output;
        EXPECT_EQ(e.reportedLag, kLatency);
        EXPECT_GT(rms(e.sound), 0.01);
        const fs::path a = job.routing == Routing::Track ? material.a : material.both;
        const Sound reference =
            renderReference(heardFrom(a, from, tag), job.hostValues, 0, delayB, from);
        const double difference = differenceAtLag(e.sound, reference, kLatencyFrames);
        std::cout << "[ figure ] Ardour " << tag << ": " << seconds
                  << " s; max |difference| from zembra-render " << difference << "\n";
        EXPECT_LT(difference, kTolerance);
    }

    Material material;
    std::vector<std::string> env;
    Result scan;
};

} // namespace

// The scanner's output has nothing of ours beyond the controller's start-up line and DPF's note
// on the order the scanner releases the component in (handled by DPF). The side-chain is an aux
// bus of two channels beside the track's two.
TEST_F(Ardour, Vst3ScansCleanlyWithItsSideChainBus) {
    ASSERT_TRUE(scan.finished) << scan.output;
    ASSERT_EQ(scan.status, 0) << scan.output;
    EXPECT_NE(scan.output.find("Found Plugin: Zembra"), std::string::npos) << scan.output;
    EXPECT_NE(scan.output.find("n_inputs=\"2\" n_outputs=\"2\" n_aux_inputs=\"2\""),
              std::string::npos)
        << scan.output;
    std::istringstream lines(scan.output);
    for (std::string line; std::getline(lines, line);) {
        const bool expected =
            line.empty() || line.rfind("[Info]", 0) == 0 || line.rfind("\t", 0) == 0 ||
            line == "<KLOV> supported" ||
            line == "DPF warning: asked to delete component while audio processor still active "
                    "(refcount 1)";
        EXPECT_TRUE(expected) << line;
    }
}

// B from a track of its own into the side-chain, by a send or a direct connection, beside a
// stereo A heard whole. Ardour 7.3 does not compensate the plug-in's latency on the side-chain
// path: B arrives kLatency samples late there (the README says so).
TEST_F(Ardour, SideChainAndStereoTrackMatchZembraRender) {
    for (const char* format : {"LV2", "VST3"})
        for (Routing routing : {Routing::Send, Routing::DirectPort})
            expectMatchesZembraRender({format, routing, 256, kSettings, 0}, kLatencyFrames);
}

// A and B on one track's two channels, bounced from the session's start and from 1 s in, with
// 64-, 256- and 1024-sample periods: the hop grid follows the timeline from the first sample.
TEST_F(Ardour, BouncesMatchZembraRenderFromEachStartAtEveryPeriod) {
    for (const char* format : {"LV2", "VST3"})
        for (int buffer : {64, 256, 1024})
            for (int64_t from : {0, 48000})
                expectMatchesZembraRender({format, Routing::Track, buffer, kSettings, from}, 0);
}
