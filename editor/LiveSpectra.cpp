// SPDX-License-Identifier: GPL-3.0-or-later
// Listening for as long as the spectra are shown, and one analysis per editor frame.
#include "editor/LiveSpectra.h"

#include <utility>

namespace zembra {

LiveSpectra::LiveSpectra(std::shared_ptr<SignalTap> tap) : mTap(std::move(tap)) {
    mTap->startListening();
}

LiveSpectra::~LiveSpectra() {
    mTap->stopListening();
}

void LiveSpectra::advance(double seconds) {
    mStale = mAnalyser.analyse(*mTap) ? 0.0 : mStale + seconds;
    // Between the host's blocks the traces go on towards the last analysis; once the tap
    // stays unchanged (the host stopped processing), they fall to silence.
    static constexpr spectrum::Bands kSilence{};
    for (int c = 0; c < SignalTap::kChannelCount; ++c) {
        const auto channel = static_cast<SignalTap::Channel>(c);
        mTraces[c].advance(mStale < kStaleSeconds ? mAnalyser.bands(channel) : kSilence, seconds);
    }
}

std::array<spectrum::Bands, SignalTap::kChannelCount> LiveSpectra::levels() const {
    std::array<spectrum::Bands, SignalTap::kChannelCount> out;
    for (int c = 0; c < SignalTap::kChannelCount; ++c)
        out[c] = mTraces[c].levels();
    return out;
}

} // namespace zembra
