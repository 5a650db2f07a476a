// SPDX-License-Identifier: GPL-3.0-or-later
// The built plug-in in the clients people use (lv2info, lv2file, jalv under a JACK server of
// its own), the standalone, and the modules loaded as hosts load them.
#include "E2eSounds.h"
#include "E2eSupport.h"
#include "FactoryPresets.h"
#include "ZembraParameters.h"
#include "constants.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace zembra;
using namespace e2e;

const char* const kUri = "urn:zembra:zembra";

TEST(Lv2Info, ShowsThePortsRangesLatencyAndPresetsWeDeclare) {
    const Result r = run({"lv2info", kUri}, hostEnv());
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Has latency:       yes"), std::string::npos) << r.output;
    for (const char* port : {"Input Left", "Input Right", "Side-chain Left", "Side-chain Right",
                             "Output Left", "Output Right"})
        EXPECT_NE(r.output.find(std::string("Name:        ") + port), std::string::npos) << port;
    const size_t presets = r.output.find("Presets:");
    const std::string presetList = r.output.substr(presets, r.output.find("\tPort ") - presets);
    for (const auto& preset : plugin::kFactoryPresets)
        EXPECT_NE(presetList.find(std::string(" ") + preset.name + "\n"), std::string::npos)
            << preset.name;

    // Each "Port N:" block, by symbol.
    std::map<std::string, std::string> ports;
    for (size_t at = r.output.find("\tPort "); at != std::string::npos;) {
        const size_t next = r.output.find("\tPort ", at + 1);
        const std::string block = r.output.substr(at, next - at);
        const size_t s = block.find("Symbol:      ");
        if (s != std::string::npos)
            ports[block.substr(s + 13, block.find('\n', s) - s - 13)] = block;
        at = next;
    }
    auto number = [](const std::string& block, const std::string& key) {
        const size_t at = block.find(key + ":");
        return at == std::string::npos ? NAN
                                       : std::strtof(block.c_str() + at + key.size() + 1, nullptr);
    };
    for (const ParameterInfo& p : kControls) {
        SCOPED_TRACE(p.symbol);
        ASSERT_TRUE(ports.count(p.symbol));
        const std::string& block = ports[p.symbol];
        EXPECT_NE(block.find("InputPort"), std::string::npos);
        EXPECT_NE(block.find(std::string("Name:        ") + p.name + "\n"), std::string::npos);
        EXPECT_FLOAT_EQ(number(block, "Minimum"), p.min);
        EXPECT_FLOAT_EQ(number(block, "Maximum"), p.max);
        EXPECT_FLOAT_EQ(number(block, "Default"), p.def);
        if (p.kind == ParameterKind::Toggle) {
            EXPECT_NE(block.find("lv2core#toggled"), std::string::npos);
        }
        for (size_t i = 0; i < p.labels.size(); ++i)
            EXPECT_NE(block.find(std::to_string(i) + " = \"" + p.labels[i] + "\""),
                      std::string::npos);
    }
    for (const MeterInfo& m : kMeters) {
        ASSERT_TRUE(ports.count(m.symbol)) << m.symbol;
        EXPECT_NE(ports[m.symbol].find("OutputPort"), std::string::npos);
        EXPECT_FLOAT_EQ(number(ports[m.symbol], "Maximum"), 1.0f);
    }
    // The side-chain's pair is marked, the track's is not: DAWs route B through their side-chain
    // feature.
    for (const char* side : {"l", "r"}) {
        ASSERT_TRUE(ports.count(std::string("lv2_in_") + side) &&
                    ports.count(std::string("lv2_sc_") + side));
        EXPECT_EQ(ports[std::string("lv2_in_") + side].find("isSideChain"), std::string::npos);
        EXPECT_NE(ports[std::string("lv2_sc_") + side].find("lv2core#isSideChain"),
                  std::string::npos);
    }
    ASSERT_TRUE(ports.count("lv2_latency"));
    EXPECT_NE(ports["lv2_latency"].find("reportsLatency"), std::string::npos);
}

// With values given on the command line and with factory presets; the file's left channel goes
// to the track's left, its right to the track's right, taken as A and B.
TEST(Lv2File, RendersWhatZembraRenderRendersWithValuesAndWithPresets) {
    const Material m = makeMaterial("lv2file");
    const fs::path output = m.dir / "plugin.wav";
    auto expectRenders = [&](const std::string& name, std::vector<std::string> argv,
                             const std::map<int, float>& values) {
        SCOPED_TRACE(name);
        argv.insert(argv.begin(), {"lv2file", "-i", m.both.string(), "-o", output.string(), "-c",
                                   "1:lv2_in_l", "-c", "2:lv2_in_r", "-p", "routing:1"});
        argv.push_back(kUri);
        const Result r = run(argv, hostEnv());
        ASSERT_EQ(r.status, 0) << r.output;
        expectRendersLikeZembraRender("lv2file, " + name, readSound(output), m, values);
    };
    const std::map<int, float> settings = {{kParamX, 0.3f},     {kParamY, 0.8f},
                                           {kParamMixA, 10.0f}, {kParamWetDry, 20.0f},
                                           {kParamRoom, 70.0f}, {kParamStereoMode, 1.0f}};
    std::vector<std::string> options = {"-b", "1000"};
    for (auto [id, value] : settings)
        options.insert(options.end(),
                       {"-p", kParameters[id].symbol + (":" + std::to_string(value))});
    expectRenders("values", options, settings);
    for (const auto& preset : {plugin::kFactoryPresets[2], plugin::kFactoryPresets[4]}) {
        std::map<int, float> values;
        for (const ParameterInfo& p : kParameters)
            values[p.id] = preset.value(p.id);
        expectRenders(std::string("preset ") + preset.name, {"-P", preset.name}, values);
    }
}

class UnderJack : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        serverUp = jack.start("zembra-e2e-" + std::to_string(getpid()));
    }
    static void TearDownTestSuite() {
        if (!jack.stop()) ADD_FAILURE() << "jackd did not stop";
    }
    void SetUp() override { ASSERT_TRUE(serverUp) << "jackd did not start: " << jack.failure; }

    static inline JackServer jack;
    static inline bool serverUp = false;
};

TEST_F(UnderJack, JalvInstantiatesRunsAndQuitsCleanlyTwentyTimes) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string name = "zembra" + std::to_string(round);
        Child jalv = spawn({"jalv", "-x", "-n", name, kUri}, hostEnv(jack.env));
        ASSERT_GT(jalv.pid, 0);
        // Running: its ports are there.
        bool listed = false;
        eventually([&] {
            listed =
                jack.query({"jack_lsp"}).output.find(name + ":lv2_out_l\n") != std::string::npos;
            return listed || !running(jalv);
        });
        EXPECT_TRUE(listed);
        if (round == 0) {
            // jalv tells JACK the plug-in's latency: the outputs trail the inputs by kLatency.
            const Result lsp = jack.query({"jack_lsp", "-l", name + ":lv2_out_l"});
            EXPECT_NE(lsp.output.find("playback latency = [ " + std::to_string(kLatency)),
                      std::string::npos)
                << lsp.output;
        }
        endInput(jalv); // console jalv quits at the end of its input
        const Result r = finish(jalv, 30s);
        ASSERT_TRUE(r.finished) << "jalv hung\n" << r.output;
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("Block length: 256"), std::string::npos) << r.output;
    }
}

// The modules register their bundle when loaded, so the exported support functions find its
// Info.plist (zembra.lv2/Info.plist, zembra.vst3/Contents/Resources/Info.plist, and for the
// single-file CLAP module share/zembra/Info.plist beside bin/). (Ardour's VST3 scanner reads
// the VST3 module's factory.)
TEST(PluginModules, LoadAndExportTheSupportFunctionsAndTheirVersion) {
    std::vector<fs::path> modules = {
        fs::path(ZEMBRA_E2E_VST3_BUNDLE) / "Contents/x86_64-linux/zembra.so", ZEMBRA_E2E_CLAP_MODULE};
    for (const auto& file : fs::directory_iterator(fs::path(ZEMBRA_E2E_LV2_DIR) / "zembra.lv2"))
        if (file.path().extension() == ".so") modules.push_back(file.path());
    ASSERT_EQ(modules.size(), 3u);
    // Left loaded: what a module registers at load lives as long as the process.
    for (const fs::path& module : modules) {
        SCOPED_TRACE(module.string());
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        using GetVersionFn = std::optional<std::string> (*)();
        auto getVersion = reinterpret_cast<GetVersionFn>(dlsym(handle, "GetVersion"));
        ASSERT_NE(getVersion, nullptr) << "support functions are not exported";
        EXPECT_EQ(getVersion().value_or("none"), ZEMBRA_E2E_VERSION);
        EXPECT_NE(dlsym(handle, "RTzembraSetParameter"), nullptr);
    }
}
