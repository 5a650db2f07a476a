// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor shows of the blend: spectra of the sound, calm traces, the tap listened to
// only while an editor is open, the pad's words, and the hint about a missing source.
#include "EditorTestSupport.h"

#include "controls/ZembraPadGuide.h"
#include "controls/ZembraSpectrumView.h"
#include "editor/LiveSpectra.h"
#include "editor/SignalTapProperty.h"
#include "editor/SourceSilence.h"
#include "editor/ZembraNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/TextField.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using namespace editor_test;
using namespace zembra;

namespace {

constexpr double kRate = 48000.0;

std::vector<float> sine(double hz, double amplitude, long frames) {
    std::vector<float> s(static_cast<std::size_t>(frames));
    for (long i = 0; i < frames; ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    return s;
}

// Writes one block as the plug-in's audio side does: A and B, then the output pair.
void play(SignalTap& tap, const std::vector<float>& a, const std::vector<float>& b,
          const std::vector<float>& out) {
    const auto frames = static_cast<long>(a.size());
    tap.writeSources(a.data(), b.data(), frames);
    tap.writeOutput(out.data(), out.data(), frames);
}

int loudestBand(const spectrum::Bands& bands) {
    return static_cast<int>(std::max_element(bands.begin(), bands.end()) - bands.begin());
}

int bandOf(double hz) {
    return static_cast<int>(spectrum::positionOf(hz) * spectrum::kBands);
}

// Below a few hundred hertz a band is narrower than the analysis' bins: there a sine may
// show its peak in a neighbouring band.
void expectPeakAt(const spectrum::Bands& bands, double hz) {
    EXPECT_NEAR(loudestBand(bands), bandOf(hz), hz < 500.0 ? 1 : 0) << hz << " Hz";
}

} // namespace

// Output peaks are held for a second; a stalled editor (seconds between frames) settles
// instead of overshooting.
TEST(SpectrumBallistics, TracesFallSlowlyPeaksAreHeldForASecondAndAStallSettles) {
    SpectrumBallistics<1> trace;
    trace.advance({1.0f}, 0.06);
    trace.advance({0.0f}, 0.06);
    const float peak = trace.peaks()[0];
    EXPECT_GT(trace.levels()[0], 0.7f);
    EXPECT_LT(trace.levels()[0], peak);
    for (int i = 0; i < 15; ++i)
        trace.advance({0.0f}, 0.06);
    EXPECT_EQ(trace.peaks()[0], peak) << "held for 0.9 s";
    for (int i = 0; i < 10; ++i)
        trace.advance({0.0f}, 0.06);
    EXPECT_LT(trace.peaks()[0], peak);
    trace.advance({0.5f}, 1e6);
    EXPECT_NEAR(trace.levels()[0], 0.5f, 1e-6);
}

TEST(SourceSilence, AMissingSourceIsNamedAfterThreeSecondsOfTheOtherPlaying) {
    using Missing = SourceSilence::Missing;
    SourceSilence s;
    EXPECT_EQ(s.advance(0.5f, 0.0f, 3.0), Missing::SourceB); // the editor counts the seconds
    // A stopped transport says nothing and forgets nothing.
    EXPECT_EQ(s.advance(0.0f, 0.0f, 5.0), Missing::None);
    EXPECT_EQ(s.advance(0.5f, 0.0f, 0.0), Missing::SourceB);
    // One sound of B, even a quiet one or a NaN from a broken host, and it is found.
    EXPECT_EQ(s.advance(0.5f, 0.002f, 0.1), Missing::None);
    EXPECT_EQ(s.advance(0.5f, 0.0f, 2.9), Missing::None);
    EXPECT_EQ(s.advance(0.5f, std::numeric_limits<float>::quiet_NaN(), 0.1), Missing::None);
    EXPECT_EQ(s.advance(0.0f, 0.3f, 3.0), Missing::SourceA);
}

TEST(PadGuide, TheWordsShowTheEnginesSharesAtTheKnob) {
    ZembraPadGuide guide(tk::Rect{0, 0, 316, 228});
    const struct {
        float x, y;
        Ingredient whole;
    } corners[] = {
        {0, 1, kIngredientB}, {0.5f, 0, kIngredientAThroughB}, {0.5f, 1, kIngredientBThroughA}};
    for (const auto& c : corners) {
        guide.setPosition(c.x, c.y);
        for (int i = 0; i < kIngredientCount; ++i)
            EXPECT_NEAR(guide.shares()[i], i == c.whole ? 1.0f : 0.0f, 1e-3)
                << kIngredientNames[i] << " at " << c.x << ", " << c.y;
    }
    guide.setPosition(-3.0f, 7.0f); // beyond the pad: its nearest corner
    EXPECT_NEAR(guide.shares()[kIngredientB], 1.0f, 1e-6);
    EXPECT_EQ(ZembraPadGuide::label(kIngredientAThroughB, 0.624f), "A through B's envelope 62%");
}

class Blend : public EditorTest {};

TEST_F(Blend, TheSpectraShowEachSoundAtItsLevelOnlyWhileAnEditorListens) {
    auto tap = std::make_shared<SignalTap>();
    {
        Editor e([tap](au::TestHost& host) { // the sound offered as the plug-in offers it
            host.setProperty(kSignalTapProperty, [tap](void* out, std::uint32_t size) {
                return copySignalTap(tap, out, size);
            });
        });
        ASSERT_TRUE(e.view().showsSpectra());
        EXPECT_TRUE(tap->listening());
        // A: a full-scale 1 kHz sine; B: 200 Hz; output: 3 kHz at -40 dBFS.
        play(*tap, sine(1000.0, 1.0, 4096), sine(200.0, 0.5, 4096), sine(3000.0, 0.01, 4096));
        for (int i = 0; i < 3; ++i)
            e.view().update();
        auto& view = e.outlet<ZembraSpectrumView>("uiSpectrumView");
        const auto& a = view.trace(ZembraSpectrumView::kTraceA);
        expectPeakAt(a, 1000.0);
        EXPECT_NEAR(a[bandOf(1000.0)], 1.0f, 0.03f);
        EXPECT_LT(a[bandOf(200.0)], 0.2f) << "a Hann window keeps the sine to its neighbourhood";
        expectPeakAt(view.trace(ZembraSpectrumView::kTraceB), 200.0);
        const auto& out = view.trace(ZembraSpectrumView::kTraceOutput);
        expectPeakAt(out, 3000.0);
        EXPECT_NEAR(out[bandOf(3000.0)], spectrum::levelOfDb(-40.0), 0.03f);
        // A host's NaN or infinity reads as silence, and once the tap stops moving (the host
        // stopped processing) the traces fall.
        std::vector<float> broken(4096, std::numeric_limits<float>::quiet_NaN());
        broken[7] = std::numeric_limits<float>::infinity();
        play(*tap, broken, broken, broken);
        for (int i = 0; i < 40; ++i)
            e.view().update();
        for (auto t : {ZembraSpectrumView::kTraceA, ZembraSpectrumView::kTraceB,
                       ZembraSpectrumView::kTraceOutput})
            for (float v : view.trace(t))
                ASSERT_LT(v, 0.05f);
        e.view().setAU(0);
        EXPECT_FALSE(tap->listening()) << "unbound";
        e.view().setAU(e.unit());
        EXPECT_TRUE(tap->listening());
    }
    EXPECT_FALSE(tap->listening()) << "closed";
    // A host that gives no access to the sound: no spectra, everything else as before.
    Editor plain;
    EXPECT_FALSE(plain.view().showsSpectra());
    plain.view().update();
    EXPECT_EQ(plain.outlet<ZembraSpectrumView>("uiSpectrumView").trace(ZembraSpectrumView::kTraceA),
              spectrum::Bands{});
}

TEST_F(Blend, ThePadsWordsFollowTheKnobAndASilentSourceIsExplainedInAFieldOfItsOwn) {
    Editor e;
    e.hostChange(kParamX, 0.0f);
    e.hostChange(kParamY, 1.0f);
    ASSERT_TRUE(pumpUntil([&] {
        e.view().update();
        return e.outlet<ZembraPadGuide>("uiPadGuide").shares()[kIngredientB] > 0.99f;
    }));

    auto& hint = e.outlet<tk::TextField>("uiRoutingHint");
    auto& status = e.outlet<tk::TextField>("uiKlovStatus");
    const std::string statusText = status.stringValue();
    postLevels(static_cast<std::int32_t>(e.unit()), 0.5f, 0.0f);
    pump();
    for (int tick = 0; tick < 49; ++tick) // 49 frames of 60 ms: not yet three seconds
        e.view().update();
    EXPECT_EQ(hint.stringValue(), "");
    e.view().update();
    EXPECT_EQ(hint.stringValue(),
              "Source B is silent: feed a second source to Zembra's side-chain input");
    e.hostChange(zembra::kParamSourceRouting, zembra::kRoutingLeftAndRight);
    pumpUntil([&] {
        e.view().update();
        return hint.stringValue() != "Source B is silent: feed a second source to Zembra's "
                                     "side-chain input";
    });
    EXPECT_EQ(hint.stringValue(),
              "Source B is silent: feed a second source to the right channel of Zembra's track");
    EXPECT_EQ(status.stringValue(), statusText);
    postLevels(static_cast<std::int32_t>(e.unit()), 0.5f, 0.2f);
    pump();
    e.view().update();
    EXPECT_EQ(hint.stringValue(), "");
}
