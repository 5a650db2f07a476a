// SPDX-License-Identifier: GPL-3.0-or-later
// The packages scripts/package.sh writes into dist/, used without installing them: the .deb
// and the tarball as the suite unpacked them, with the plug-in in real clients (lv2ls,
// lv2info, lv2file, Ardour's VST3 scanner, our CLAP host, jalv.gtk3) and the editors on a
// display of xvfb-run's. package_checks.sh looks at the files themselves.
#include "ClapHost.h"
#include "E2eSounds.h"
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace e2e;
using testing_support::TestDirectory;

namespace {

const std::string kVersion = ZEMBRA_E2E_VERSION;
const fs::path kDeb = fs::path(ZEMBRA_E2E_UNPACKED) / "deb" / "usr";
const fs::path kTarball = fs::path(ZEMBRA_E2E_UNPACKED) / ("zembra-" + kVersion + "-linux-x86_64");

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Package, Lv2ClientsFindThePluginAndItRendersLikeThePackagedRenderer) {
    const fs::path bundle = kDeb / "lib/lv2/zembra.lv2";
    const auto env = hostEnv({"LV2_PATH=" + bundle.parent_path().string()});
    EXPECT_TRUE(contains(run({"lv2ls"}, env).output, "urn:zembra:zembra\n"));
    const Result info = run({"lv2info", "urn:zembra:zembra"}, env);
    EXPECT_TRUE(contains(info.output, "Bundle:            file://" + bundle.string() + "/"))
        << info.output;

    const Material m = makeMaterial("package");
    const Result lv2file =
        run({"lv2file", "-i", m.both, "-o", m.dir / "lv2file.wav", "-c", "1:lv2_in_l", "-c",
             "2:lv2_in_r", "-p", "routing:1", "-p", "x:0.3", "-p", "y:0.8", "urn:zembra:zembra"},
            env);
    ASSERT_EQ(lv2file.status, 0) << lv2file.output;
    const Result render = run({kDeb / "bin/zembra-render", m.a, m.b, "--raw", "-o",
                               m.dir / "render.wav", "--x", "0.3", "--y", "0.8"});
    ASSERT_EQ(render.status, 0) << render.output;
    const Sound reference = readSound(m.dir / "render.wav");
    EXPECT_GT(rms(reference), 0.01);
    EXPECT_LT(maxDifference(readSound(m.dir / "lv2file.wav"), reference), 1e-6);
}

TEST(Package, ArdoursVst3ScannerAndOurClapHostLoadThePlugin) {
    TestDirectory home;
    const Result scan = run(
        {"/usr/lib/ardour7/ardour-vst3-scanner", "-f", "-v", kDeb / "lib/vst3/zembra.vst3"},
        {"HOME=" + home.path().string(), "XDG_CACHE_HOME=" + (home / "cache").string(),
         "LD_LIBRARY_PATH=/usr/lib/ardour7"});
    EXPECT_EQ(scan.status, 0) << scan.output;
    EXPECT_TRUE(contains(scan.output, "Found Plugin: Zembra")) << scan.output;
    EXPECT_TRUE(contains(scan.output, "version=\"" + kVersion + "\"")) << scan.output;

    std::string error;
    const auto* factory = clapFactory((kDeb / "lib/clap/zembra.clap").c_str(), error);
    ASSERT_NE(factory, nullptr) << error;
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    EXPECT_STREQ(factory->get_plugin_descriptor(factory, 0)->id, "org.zembra.zembra");
}

// Each editor opens with its pictures: the single-file CLAP module and the standalone find
// them in share/zembra, the LV2 bundle through its link into it. With them the screen shows
// over 6000 colours; with the controls alone about 2100, with no interface description 2.
TEST(Package, EveryEditorShowsItsPicturesFromTheDebAndTheTarball) {
    constexpr int kPictureColours = 4000;
    JackServer jack;
    ASSERT_TRUE(jack.start("zembra-package-" + std::to_string(getpid()))) << jack.failure;
    TestDirectory home;
    auto env = jack.env;
    for (const char* dir : {"HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME="})
        env.push_back(dir + home.path().string());
    env.insert(env.end(), {"GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1",
                           "LV2_PATH=" + (kDeb / "lib/lv2").string()});
    const std::vector<std::pair<std::string, std::vector<std::string>>> programs = {
        {"clap-deb", {ZEMBRA_E2E_CLAP_EDITOR_HOST, kDeb / "lib/clap/zembra.clap"}},
        {"clap-tarball", {ZEMBRA_E2E_CLAP_EDITOR_HOST, kTarball / "clap/zembra.clap"}},
        {"lv2-deb-in-jalv", {"jalv.gtk3", "urn:zembra:zembra"}},
        {"standalone-deb", {kDeb / "bin/zembra"}}};
    for (const auto& [name, argv] : programs) {
        SCOPED_TRACE(name);
        Child program = spawn(argv, hostEnv(env));
        const fs::path shot = fs::path(ZEMBRA_E2E_WORK_DIR) / ("package-" + name + ".png");
        int colours = 0;
        eventually([&] {
            run({"import", "-window", "root", shot});
            colours = std::atoi(run({"identify", "-format", "%k", shot}).output.c_str());
            return colours > kPictureColours || !running(program);
        });
        // Our CLAP host ends with its input, the others as on Ctrl-C.
        if (name.rfind("clap", 0) == 0)
            endInput(program);
        else
            kill(program.pid, SIGINT);
        const Result r = finish(program, 30s);
        std::cout << "[ figure ] " << name << ": " << colours << " colours on the screen\n";
        EXPECT_GT(colours, kPictureColours) << shot << "\n" << r.output;
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_FALSE(contains(r.output, "not loaded") || contains(r.output, "Unable to load"))
            << r.output;
    }
    EXPECT_TRUE(jack.stop());
}

} // namespace
