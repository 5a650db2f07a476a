// SPDX-License-Identifier: GPL-3.0-or-later
// One window of each channel through the engine's transform, then the loudest bin of each
// band, in dB against a full-scale sine.
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

void SpectrumAnalyser::reduce(const float* spectrum, double sampleRate, Bands& out) const {
    // A full-scale sine through the Hann window peaks at n/4 in its bin.
    constexpr double kFullScale = kWindow / 4.0;
    constexpr long kLastBin = kWindow / 2;
    const double binHz = sampleRate / kWindow;
    auto power = [spectrum](long k) {
        const double re = spectrum[2 * k], im = spectrum[2 * k + 1];
        return re * re + im * im;
    };
    for (int band = 0; band < spectrum::kBands; ++band) {
        // The loudest bin whose centre lies in the band; a band narrower than a bin (the
        // lowest ones) reads between the two bins around its middle, so the low end is a
        // curve rather than steps.
        const double lo = spectrum::frequencyAt(static_cast<double>(band) / spectrum::kBands);
        const double hi = spectrum::frequencyAt(static_cast<double>(band + 1) / spectrum::kBands);
        const long first = std::clamp(static_cast<long>(std::ceil(lo / binHz)), 1L, kLastBin);
        const long last = std::clamp(static_cast<long>(std::ceil(hi / binHz)), 1L, kLastBin);
        double loudest = 0.0;
        for (long k = first; k < last; ++k)
            loudest = std::max(loudest, power(k));
        if (first >= last) {
            const double at = spectrum::frequencyAt(spectrum::bandCentre(band)) / binHz;
            const long k = std::clamp(static_cast<long>(at), 1L, kLastBin - 1);
            const double f = std::clamp(at - static_cast<double>(k), 0.0, 1.0);
            loudest = (1.0 - f) * power(k) + f * power(k + 1);
        }
        const double db = 10.0 * std::log10(loudest / (kFullScale * kFullScale) + 1e-30);
        out[static_cast<std::size_t>(band)] = spectrum::levelOfDb(db);
    }
}

} // namespace zembra
