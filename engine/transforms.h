// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra of two real signals from one complex transform, and the pieces the analyses
// beside the engine share: their plan and their reading of log-spaced bands.
#pragma once

#include "fft.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace zembra {

// On entry data holds signal a in its real parts and b in its imaginary parts; afterwards
// data holds the n-point spectrum of a and second that of b. The plan fixes n.
void fftTwoRealPlanned(float* data, float* second, const FftPlan& plan);

// A plan for 2^log2n points built from a cosine table of its own, for the analyses that run
// beside an engine instance (the editor's spectra, the renderer's spectrogram); null for a
// size the FFT does not support.
std::unique_ptr<FftPlan> makeFftPlan(long log2n);

// The power of one band of a spectrum, the band spanning bin positions lo to hi, with
// `power(bin)` giving a bin's power (and bounding the bin): the strongest bin inside, or,
// for a band narrower than a bin (the low end of a log axis), the power between the two bins
// around its middle, so such bands read as a curve rather than steps.
template <class Power> float bandPower(double lo, double hi, const Power& power) {
    if (hi - lo >= 1.0) {
        float strongest = 0.0f;
        for (long bin = static_cast<long>(std::ceil(lo)); bin <= static_cast<long>(std::floor(hi));
             ++bin)
            strongest = std::max(strongest, static_cast<float>(power(bin)));
        return strongest;
    }
    const double centre = 0.5 * (lo + hi);
    const auto below = static_cast<long>(std::floor(centre));
    const auto t = static_cast<float>(centre - static_cast<double>(below));
    return (1.0f - t) * static_cast<float>(power(below)) + t * static_cast<float>(power(below + 1));
}

} // namespace zembra
