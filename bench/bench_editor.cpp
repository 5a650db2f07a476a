// SPDX-License-Identifier: GPL-3.0-or-later
// The UI thread's cost per editor frame: the whole frame as the graphics tick has it run (the
// editor's update, then drawing the window) with the spectra fed by a signal tap and without a
// tap (the editor as it was before it drew spectra), and the spectra's analysis alone.
#include "editor/LiveSpectra.h"
#include "editor/SignalTapProperty.h"
#include "editor/zembra_CocoaView.h"
#include "editor/zembra_CocoaViewFactory.h"
#include "engine/SignalTap.h"
#include "engine/ZembraParameters.h"
#include "platform/audiounit/TestHost.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "support/BundleIdentity.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr long kFramesPerTick = 2880; // one 60 ms editor frame of sound at 48 kHz

// What the audio thread writes into the tap while an editor listens: a rising sweep as A, a
// chord as B and their mean as the output, one editor frame of it per call, always new.
class TapFeeder {
  public:
    explicit TapFeeder(std::shared_ptr<zembra::SignalTap> tap) : mTap(std::move(tap)) {
        mTap->setSampleRate(kRate);
    }
    void play() {
        for (long i = 0; i < kFramesPerTick; ++i, ++mFrame) {
            const double t = static_cast<double>(mFrame) / kRate;
            mPhase += 2.0 * M_PI * 150.0 * std::exp2(4.0 * std::fmod(t / 3.0, 1.0)) / kRate;
            double chord = 0.0;
            for (double hz : {110.0, 138.6, 164.8})
                chord += std::fmod(hz * t, 1.0) - 0.5;
            mA[i] = static_cast<float>(0.3 * std::sin(mPhase));
            mB[i] = static_cast<float>(0.2 * chord);
            mOut[i] = 0.5f * (mA[i] + mB[i]);
        }
        mTap->writeSources(mA.data(), mB.data(), kFramesPerTick);
        mTap->writeOutput(mOut.data(), mOut.data(), kFramesPerTick);
    }
    const std::shared_ptr<zembra::SignalTap>& tap() const { return mTap; }

  private:
    std::shared_ptr<zembra::SignalTap> mTap;
    std::array<float, kFramesPerTick> mA{}, mB{}, mOut{};
    double mPhase = 0.0;
    long mFrame = 0;
};

// The editor bound to an instance at its default values, in a window of no screen at `scale`;
// fed from `feeder`'s tap, or with no tap to reach when it is null.
class OpenEditor {
  public:
    OpenEditor(double scale, const TapFeeder* feeder) {
        static const bool ready = [] {
            fnd::RunLoop::main().bindToCurrentThread();
            fnd::Bundle::registerBundle(zembra::kBundleIdentifier, ZEMBRA_RESOURCE_DIR);
            return true;
        }();
        (void)ready;
        std::vector<AudioUnitParameterValue> values;
        for (const auto& p : zembra::kParameters)
            values.push_back(p.def);
        mHost = std::make_shared<au::TestHost>(values);
        if (feeder)
            mHost->setProperty(zembra::kSignalTapProperty,
                               [tap = feeder->tap()](void* out, std::uint32_t size) {
                                   return zembra::copySignalTap(tap, out, size);
                               });
        mRegistration = std::make_unique<au::InstanceRegistration>(mHost);
        mView = zembra_CocoaViewFactory().uiViewForAudioUnit(mRegistration->unit(), {});
        if (!mView) return;
        mWindow = std::make_unique<tk::HeadlessWindow>(mView->frame().size, scale);
        mWindow->setContentView(mView);
        fnd::RunLoop::main().runUntilIdle();
    }
    ~OpenEditor() {
        if (mWindow) mWindow->close();
        mView.reset();
        mWindow.reset();
        mRegistration.reset();
        zembra::joinStoppedGraphicsThreads();
    }
    bool loaded() const { return mWindow != nullptr; }
    bool showsSpectra() const { return editor().showsSpectra(); }
    void frame() {
        editor().update();
        mWindow->render();
    }

  private:
    zembra_CocoaView& editor() const { return static_cast<zembra_CocoaView&>(*mView); }

    std::shared_ptr<au::TestHost> mHost;
    std::unique_ptr<au::InstanceRegistration> mRegistration;
    std::shared_ptr<tk::View> mView;
    std::unique_ptr<tk::HeadlessWindow> mWindow;
};

// Arg 0: the window's pixels per point; arg 1: whether the editor reaches a fed tap.
void editorFrame(benchmark::State& state) {
    const bool fed = state.range(1) != 0;
    TapFeeder feeder(std::make_shared<zembra::SignalTap>());
    OpenEditor editor(static_cast<double>(state.range(0)), fed ? &feeder : nullptr);
    if (!editor.loaded() || editor.showsSpectra() != fed) {
        state.SkipWithError("the editor did not open as asked (resources built?)");
        return;
    }
    // Traces up and moving before the frames are counted.
    for (int warm = 0; warm < 30; ++warm) {
        feeder.play();
        editor.frame();
    }
    for (auto _ : state) {
        // The audio thread's share of the frame is not the UI thread's cost.
        state.PauseTiming();
        feeder.play();
        state.ResumeTiming();
        editor.frame();
    }
}

void liveSpectraAdvance(benchmark::State& state) {
    TapFeeder feeder(std::make_shared<zembra::SignalTap>());
    zembra::LiveSpectra spectra(feeder.tap());
    const double seconds = static_cast<double>(kFramesPerTick) / kRate;
    for (auto _ : state) {
        state.PauseTiming();
        feeder.play();
        state.ResumeTiming();
        spectra.advance(seconds);
        benchmark::DoNotOptimize(spectra.outputPeaks().data());
    }
}

} // namespace

BENCHMARK(editorFrame)
    ->Name("BM_EditorFrame")
    ->ArgNames({"scale", "spectra"})
    ->ArgsProduct({{1, 2}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(liveSpectraAdvance)->Name("BM_EditorLiveSpectraAdvance")->Unit(benchmark::kMicrosecond);
