// SPDX-License-Identifier: GPL-3.0-or-later
// Notices the commonest mistake with a two-input effect: one source never reaches it. A source
// counts as missing once it has stayed silent for a few seconds while the other played; it is
// found again the moment it makes a sound. Pure state, advanced by the editor's frames.
#pragma once

namespace zembra {

class SourceSilence {
  public:
    static constexpr float kSilentPeak = 0.001f; // -60 dBFS
    static constexpr float kPlayingPeak = 0.01f; // -40 dBFS
    static constexpr double kSeconds = 3.0;

    enum class Missing { None, SourceA, SourceB };

    // The sources' peak levels (0..1) `seconds` after the last call.
    Missing advance(float peakA, float peakB, double seconds) {
        track(mSilentA, peakA, peakB, seconds);
        track(mSilentB, peakB, peakA, seconds);
        // While neither plays (a stopped transport) nothing is said, and nothing is forgotten.
        if (!(peakA >= kPlayingPeak || peakB >= kPlayingPeak)) return Missing::None;
        if (mSilentB >= kSeconds) return Missing::SourceB;
        if (mSilentA >= kSeconds) return Missing::SourceA;
        return Missing::None;
    }

  private:
    static void track(double& silent, float peak, float other, double seconds) {
        if (!(peak < kSilentPeak))
            silent = 0.0; // NaN counts as sound, never as silence
        else if (other >= kPlayingPeak)
            silent += seconds;
    }

    double mSilentA = 0.0;
    double mSilentB = 0.0;
};

} // namespace zembra
