// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-snapshot OUT.png: opens the editor as a host would, on a headless window, bound to
// a test instance holding sensible values, with the KLOV attached and the built-in demo
// sources (a sung voice as A, a saw chord as B) playing through the engine at those values,
// so the levels and spectra move as in a host, and saves what a user would see.
//
//   --scale N          pixels per point (default 1)
//   --resources DIR    the bundle's resources (default: this build's)
//   --no-animation     the still background, as with "userEnableAnimatedBackground" 0
//   --ticks N          editor frames (60 ms of sound each) before the picture (default 70)
//   --silent           no sound: the sources stay silent
//   --memory           prints the resident memory of one and of two open editors
#include "demo_material.h"
#include "editor/GraphicsThread.h"
#include "editor/SignalTapProperty.h"
#include "editor/ZembraNotifications.h"
#include "editor/zembra_CocoaViewFactory.h"
#include "engine/SignalTap.h"
#include "engine/ZembraProcessor.h"
#include "platform/audiounit/TestHost.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/TextField.h"
#include "support/BundleIdentity.h"
#include "support/Preferences.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path out;
    fs::path resources = ZEMBRA_RESOURCE_DIR;
    double scale = 1.0;
    bool animation = true;
    int ticks = 70;
    bool memory = false;
    bool sound = true;
};

constexpr char kUsage[] = "usage: zembra-snapshot OUT.png [--scale N] [--resources DIR] "
                          "[--no-animation] [--ticks N] [--silent] [--memory]\n";

// A session in the host's units: percentages for the levels, 0..1 for the position.
std::vector<AudioUnitParameterValue> sessionValues() {
    // The routing stays at its default.
    std::vector<AudioUnitParameterValue> v(zembra::kControlCount, 0.0f);
    v[kParamMixA] = 35;
    v[kParamMixB] = 20;
    v[kParamVolume] = 80;
    v[kParamX] = 0.62f;
    v[kParamY] = 0.36f;
    v[kParamWetDry] = 25;
    v[kParamRoom] = 60;
    v[kParamXControl] = 1; // modulation wheel
    v[kParamYControl] = 0;
    v[kParamStereoMode] = 1;
    return v;
}

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The demo played through the engine at the session's values, into the instance's tap and
// its input meters, one editor frame at a time.
class DemoPlayer {
  public:
    static constexpr long kFramesPerTick = 2880; // 60 ms at 48 kHz
    // Into the demo, where the voice sings over the chord.
    static constexpr long kStartFrame = 96000;

    DemoPlayer() {
        mTap->setSampleRate(zembra::render::DemoSources::kSampleRate);
        const auto values = sessionValues();
        for (const auto& p : zembra::kParameters)
            mEngine.setParameter(p.id, p.toEngine(values[static_cast<std::size_t>(p.id)]));
        for (long skipped = 0; skipped < kStartFrame; skipped += kFramesPerTick)
            mDemo.read(mA.data(), mB.data(), kFramesPerTick);
    }
    const std::shared_ptr<zembra::SignalTap>& tap() const { return mTap; }

    // One tick of sound; returns the peaks of A and B in it.
    std::pair<float, float> play() {
        const long n = mDemo.read(mA.data(), mB.data(), kFramesPerTick);
        std::fill(mA.begin() + n, mA.end(), 0.0f);
        std::fill(mB.begin() + n, mB.end(), 0.0f);
        mTap->writeSources(mA.data(), mB.data(), kFramesPerTick);
        float peakA = 0.0f, peakB = 0.0f;
        for (long i = 0; i < kFramesPerTick; ++i) {
            peakA = std::max(peakA, std::abs(mA[i]));
            peakB = std::max(peakB, std::abs(mB[i]));
        }
        mEngine.process(mA.data(), mB.data(), mLeft.data(), mRight.data(), kFramesPerTick);
        mTap->writeOutput(mLeft.data(), mRight.data(), kFramesPerTick);
        return {peakA, peakB};
    }

  private:
    zembra::render::DemoSources mDemo;
    zembra::Processor mEngine;
    std::shared_ptr<zembra::SignalTap> mTap = std::make_shared<zembra::SignalTap>();
    std::vector<float> mA = std::vector<float>(kFramesPerTick);
    std::vector<float> mB = std::vector<float>(kFramesPerTick);
    std::vector<float> mLeft = std::vector<float>(kFramesPerTick);
    std::vector<float> mRight = std::vector<float>(kFramesPerTick);
};

struct OpenEditor {
    std::unique_ptr<DemoPlayer> demo;
    std::shared_ptr<au::TestHost> host;
    std::unique_ptr<au::InstanceRegistration> registration;
    std::unique_ptr<tk::HeadlessWindow> window;
    std::shared_ptr<tk::View> view;
};

bool open(OpenEditor& e, const Options& o) {
    e.host = std::make_shared<au::TestHost>(sessionValues());
    if (o.sound) {
        e.demo = std::make_unique<DemoPlayer>();
        e.host->setProperty(zembra::kSignalTapProperty,
                            [tap = e.demo->tap()](void* out, std::uint32_t size) {
                                return zembra::copySignalTap(tap, out, size);
                            });
    }
    e.registration = std::make_unique<au::InstanceRegistration>(e.host);
    zembra_CocoaViewFactory factory;
    e.view = factory.uiViewForAudioUnit(e.registration->unit(), {});
    if (!e.view) return false;
    e.window = std::make_unique<tk::HeadlessWindow>(e.view->frame().size, o.scale);
    e.window->setContentView(e.view);
    // The listener shows the bound values on the next turn of the main loop.
    fnd::RunLoop::main().runUntilIdle();
    auto& centre = fnd::NotificationCenter::defaultCenter();
    auto postLevels = [&](float a, float b) {
        centre.post(zembra::kSetPeakInputLevelsNotification, nullptr,
                    {{zembra::kRefConKey, static_cast<int32_t>(e.registration->unit())},
                     {zembra::kInAPeakKey, a},
                     {zembra::kInBPeakKey, b}});
    };
    if (!e.demo) postLevels(0.62f, 0.34f);
    centre.post(zembra::kKlovConnectNotification);
    auto* editor = static_cast<zembra_CocoaView*>(e.view.get());
    for (int i = 0; i < o.ticks; ++i) {
        if (e.demo) {
            const auto [a, b] = e.demo->play();
            postLevels(a, b);
        }
        editor->update();
    }
    e.window->render();
    return true;
}

void close(OpenEditor& e) {
    if (e.window) e.window->close();
    e.view.reset();
    e.window.reset();
    e.registration.reset();
    e.host.reset();
    e.demo.reset();
}

int measure(const Options& o) {
    // Fonts and the toolkit's own caches come with the first window: count them as the
    // host's, not the editor's.
    {
        tk::HeadlessWindow warm({200, 60}, o.scale);
        auto label = std::make_shared<tk::TextField>(tk::Rect{10, 10, 180, 40});
        label->setStringValue("Zembra 0123456789");
        warm.setContentView(label);
        warm.render();
    }
    malloc_trim(0);
    const double base = residentMiB();
    OpenEditor first, second;
    if (!open(first, o)) return 1;
    malloc_trim(0);
    const double one = residentMiB();
    if (!open(second, o)) return 1;
    malloc_trim(0);
    const double two = residentMiB();
    const tk::Size size = first.view->frame().size;
    const double surface = size.width * size.height * 4.0 * o.scale * o.scale / (1024.0 * 1024.0);
    close(second);
    close(first);
    zembra::joinStoppedGraphicsThreads();
    malloc_trim(0);
    const double after = residentMiB();
    std::printf("animation:        %s\n", o.animation ? "on" : "off");
    std::printf("before:           %7.1f MiB resident\n", base);
    std::printf("first editor:     %+7.1f MiB (of which its window's surface %.1f MiB)\n",
                one - base, surface);
    std::printf("second editor:    %+7.1f MiB (of which its window's surface %.1f MiB)\n",
                two - one, surface);
    std::printf("both closed:      %+7.1f MiB against before\n", after - base);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--scale") {
            const char* v = next();
            o.scale = v ? std::atof(v) : 0.0;
        } else if (a == "--resources") {
            const char* v = next();
            if (!v) return std::fputs(kUsage, stderr), 2;
            o.resources = v;
        } else if (a == "--ticks") {
            const char* v = next();
            o.ticks = v ? std::atoi(v) : -1;
        } else if (a == "--no-animation") {
            o.animation = false;
        } else if (a == "--silent") {
            o.sound = false;
        } else if (a == "--memory") {
            o.memory = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (o.out.empty() && !a.starts_with("-")) {
            o.out = a;
        } else {
            std::fprintf(stderr, "zembra-snapshot: unexpected argument '%s'\n", a.c_str());
            return 2;
        }
    }
    if ((o.out.empty() && !o.memory) || !(o.scale > 0.0 && o.scale <= 8.0) || o.ticks < 0 ||
        o.ticks > 100000) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    fs::path sandbox;
    if (!o.animation) {
        // The preference, set in a configuration directory of our own: the user's stays
        // untouched.
        sandbox = fs::temp_directory_path() / ("zembra-snapshot-" + std::to_string(::getpid()));
        fs::create_directories(sandbox);
        ::setenv("XDG_CONFIG_HOME", sandbox.c_str(), 1);
        SaveValueToPrefsPosInt(zembra::kPrefEnableAnimatedBackground, 0);
    }
    fnd::RunLoop::main().bindToCurrentThread();
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, o.resources);

    int status = 0;
    if (o.memory) {
        status = measure(o);
    } else {
        OpenEditor e;
        if (!open(e, o)) {
            std::fprintf(stderr, "zembra-snapshot: the editor could not be loaded from %s\n",
                         o.resources.c_str());
            status = 1;
        } else {
            std::string error;
            if (!e.window->savePNG(o.out, &error)) {
                std::fprintf(stderr, "zembra-snapshot: %s\n", error.c_str());
                status = 1;
            } else {
                std::printf("%s\n", o.out.c_str());
            }
        }
        close(e);
    }
    zembra::joinStoppedGraphicsThreads();
    if (!sandbox.empty()) {
        std::error_code ec;
        fs::remove_all(sandbox, ec);
    }
    return status;
}
