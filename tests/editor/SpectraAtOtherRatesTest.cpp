// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra's bands at the rates hosts run at: a tone lands in its own band at 44.1 and
// 96 kHz, and again after the rate changes mid-session under the same analyser.
#include "editor/SpectrumAnalyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace zembra;

TEST(SpectrumAnalysis, ToneLandsInItsBandAtAnyRateAndAfterTheRateChanges) {
    SignalTap tap;
    tap.startListening();
    SpectrumAnalyser analyser;
    for (double rate : {44100.0, 96000.0, 48000.0, 44100.0}) {
        SCOPED_TRACE(rate);
        tap.setSampleRate(rate);
        // A, B and the output each a tone in the middle of a band above 1 kHz, where the bands
        // are wider than the analysis' bins at any of these rates.
        constexpr int kBand[] = {40, 48, 56};
        std::vector<float> tones[3];
        for (int c = 0; c < 3; ++c)
            for (long i = 0; i < SpectrumAnalyser::kWindow; ++i)
                tones[c].push_back(static_cast<float>(
                    0.5 * std::sin(2.0 * std::numbers::pi *
                                   spectrum::frequencyAt(spectrum::bandCentre(kBand[c])) *
                                   static_cast<double>(i) / rate)));
        tap.writeSources(tones[0].data(), tones[1].data(), SpectrumAnalyser::kWindow);
        tap.writeOutput(tones[2].data(), tones[2].data(), SpectrumAnalyser::kWindow);
        ASSERT_TRUE(analyser.analyse(tap));
        for (int c = 0; c < 3; ++c) {
            const auto& bands = analyser.bands(static_cast<SignalTap::Channel>(c));
            EXPECT_EQ(std::max_element(bands.begin(), bands.end()) - bands.begin(), kBand[c]) << c;
        }
    }
}
