// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra an open editor shows of its instance: while it exists it listens to the
// instance's signal tap, and at each editor frame it analyses the newest sound and moves
// the traces towards it, calmly. UI thread only; nothing is allocated after construction.
#pragma once

#include "controls/SpectrumScale.h"
#include "editor/SpectrumAnalyser.h"
#include "editor/SpectrumBallistics.h"
#include "engine/SignalTap.h"

#include <array>
#include <memory>

namespace zembra {

class LiveSpectra {
  public:
    using Ballistics = SpectrumBallistics<spectrum::kBands>;
    // How long the tap may stay unchanged (a host between blocks) before the traces fall.
    static constexpr double kStaleSeconds = 0.25;

    explicit LiveSpectra(std::shared_ptr<SignalTap> tap);
    ~LiveSpectra();
    LiveSpectra(const LiveSpectra&) = delete;
    LiveSpectra& operator=(const LiveSpectra&) = delete;

    // One editor frame, `seconds` after the last.
    void advance(double seconds);
    // In the tap's order: source A, source B, output.
    std::array<spectrum::Bands, SignalTap::kChannelCount> levels() const;
    const spectrum::Bands& outputPeaks() const { return mTraces[SignalTap::kOutput].peaks(); }

  private:
    std::shared_ptr<SignalTap> mTap;
    SpectrumAnalyser mAnalyser;
    std::array<Ballistics, SignalTap::kChannelCount> mTraces{};
    double mStale = 0.0;
};

} // namespace zembra
