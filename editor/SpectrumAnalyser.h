// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra the editor draws: the newest window of A, B and the output from the signal tap,
// Hann-windowed through the engine's planned FFT and reduced to log-spaced frequency bands,
// on the scales of controls/SpectrumScale.h. UI thread only;
// everything is allocated when it is made.
#pragma once

#include "controls/SpectrumScale.h"
#include "engine/SignalTap.h"
#include "engine/constants.h"
#include "engine/fft.h"

#include <array>
#include <memory>
#include <vector>

namespace zembra {

class SpectrumAnalyser {
  public:
    static constexpr long kWindow = kFrameSize;
    using Bands = spectrum::Bands;

    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Takes the tap's newest window; false (the bands unchanged) when the tap had nothing new
    // or the window was torn.
    bool analyse(const SignalTap& tap);
    const Bands& bands(SignalTap::Channel channel) const { return mBands[channel]; }

  private:
    void reduce(const float* spectrum, double sampleRate, Bands& out);

    std::unique_ptr<FftPlan> mPlan;
    std::vector<float> mHann;
    std::vector<float> mSamples[SignalTap::kChannelCount];
    std::vector<float> mSpectrum;
    std::vector<float> mSecond;
    std::array<Bands, SignalTap::kChannelCount> mBands{};
    std::uint64_t mLastWritten = 0;
    std::array<double, spectrum::kBands + 1> mEdges{};
    double mEdgesRate = 0.0;
};

} // namespace zembra
