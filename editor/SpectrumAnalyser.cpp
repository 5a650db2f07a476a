// SPDX-License-Identifier: GPL-3.0-or-later
// One window of each channel through the engine's transform, then each band's power in dB
// against a full-scale sine.
#include "editor/SpectrumAnalyser.h"

#include "engine/transforms.h"
#include "engine/windows.h"

#include <algorithm>
#include <cmath>

namespace zembra {

SpectrumAnalyser::SpectrumAnalyser()
    : mPlan(makeFftPlan(kLog2FrameSize)), mHann(kWindow), mSpectrum(2 * kWindow),
      mSecond(2 * kWindow) {
    makeHannSynthesisWindow(mHann.data(), kWindow);
    for (auto& samples : mSamples)
        samples.resize(kWindow);
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

bool SpectrumAnalyser::analyse(const SignalTap& tap) {
    const std::uint64_t written = tap.written();
    if (written == mLastWritten) return false;
    if (!tap.readLatest(mSamples[0].data(), mSamples[1].data(), mSamples[2].data(), kWindow))
        return false;
    mLastWritten = written;
    // A host may feed NaN or infinity: drawn as silence, as the engine hears it.
    auto windowed = [&](const std::vector<float>& s, long k) {
        return std::isfinite(s[k]) ? s[k] * mHann[k] : 0.0f;
    };
    const double rate = tap.sampleRate();
    for (long k = 0; k < kWindow; ++k) {
        mSpectrum[2 * k] = windowed(mSamples[SignalTap::kSourceA], k);
        mSpectrum[2 * k + 1] = windowed(mSamples[SignalTap::kSourceB], k);
    }
    fftTwoRealPlanned(mSpectrum.data(), mSecond.data(), *mPlan);
    reduce(mSpectrum.data(), rate, mBands[SignalTap::kSourceA]);
    reduce(mSecond.data(), rate, mBands[SignalTap::kSourceB]);
    for (long k = 0; k < kWindow; ++k) {
        mSpectrum[2 * k] = windowed(mSamples[SignalTap::kOutput], k);
        mSpectrum[2 * k + 1] = 0.0f;
    }
    fftForwardPlanned(*mPlan, mSpectrum.data());
    reduce(mSpectrum.data(), rate, mBands[SignalTap::kOutput]);
    return true;
}

void SpectrumAnalyser::reduce(const float* spectrum, double sampleRate, Bands& out) {
    if (sampleRate != mEdgesRate) {
        // The bands' edges in bins, for the rate the host runs at.
        for (int edge = 0; edge <= spectrum::kBands; ++edge)
            mEdges[static_cast<std::size_t>(edge)] =
                spectrum::frequencyAt(static_cast<double>(edge) / spectrum::kBands) * kWindow /
                sampleRate;
        mEdgesRate = sampleRate;
    }
    // A full-scale sine through the Hann window peaks at n/4 in its bin.
    constexpr double kFullScale = kWindow / 4.0;
    auto power = [spectrum](long bin) {
        bin = std::clamp(bin, 0L, kWindow / 2);
        const double re = spectrum[2 * bin], im = spectrum[2 * bin + 1];
        return re * re + im * im;
    };
    for (std::size_t band = 0; band < out.size(); ++band) {
        const double p = bandPower(mEdges[band], mEdges[band + 1], power);
        out[band] = spectrum::levelOfDb(10.0 * std::log10(p / (kFullScale * kFullScale) + 1e-30));
    }
}

} // namespace zembra
