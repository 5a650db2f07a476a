// SPDX-License-Identifier: GPL-3.0-or-later
// What makes the spectra calm to look at: each band rises quickly and falls back slowly, and
// a peak mark holds the highest level for a second before it sinks. Pure state, advanced by
// the time between frames.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

namespace zembra {

template <int Bands> class SpectrumBallistics {
  public:
    static constexpr double kAttackSeconds = 0.02;
    static constexpr double kReleaseSeconds = 0.3;
    static constexpr double kPeakHoldSeconds = 1.0;
    static constexpr float kPeakFallPerSecond = 0.3f; // of the whole scale

    // A new analysis `levels` (0..1 per band) seen `seconds` after the last one.
    void advance(const std::array<float, Bands>& levels, double seconds);
    const std::array<float, Bands>& levels() const { return mLevels; }
    const std::array<float, Bands>& peaks() const { return mPeaks; }

  private:
    std::array<float, Bands> mLevels{};
    std::array<float, Bands> mPeaks{};
    std::array<double, Bands> mHeld{};
};

template <int Bands>
void SpectrumBallistics<Bands>::advance(const std::array<float, Bands>& levels, double seconds) {
    const double dt = std::clamp(seconds, 0.0, 1.0);
    const auto attack = static_cast<float>(1.0 - std::exp(-dt / kAttackSeconds));
    const auto release = static_cast<float>(1.0 - std::exp(-dt / kReleaseSeconds));
    for (int i = 0; i < Bands; ++i) {
        const float target = std::clamp(levels[i], 0.0f, 1.0f);
        float& level = mLevels[i];
        level += (target - level) * (target > level ? attack : release);
        if (level >= mPeaks[i]) {
            mPeaks[i] = level;
            mHeld[i] = 0.0;
        } else if ((mHeld[i] += dt) > kPeakHoldSeconds) {
            mPeaks[i] = std::max(level, mPeaks[i] - kPeakFallPerSecond * static_cast<float>(dt));
        }
    }
}

} // namespace zembra
