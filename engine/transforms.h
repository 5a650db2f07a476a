// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra of two real signals from one complex transform.
#pragma once

#include "fft.h"

#include <memory>

namespace zembra {

// On entry data holds signal a in its real parts and b in its imaginary parts; afterwards
// data holds the n-point spectrum of a and second that of b. The plan fixes n.
void fftTwoRealPlanned(float* data, float* second, const FftPlan& plan);

// A plan for 2^log2n points built from a cosine table of its own, for the analyses that run
// beside an engine instance (the editor's spectra, the renderer's spectrogram); null for a
// size the FFT does not support.
std::unique_ptr<FftPlan> makeFftPlan(long log2n);

} // namespace zembra
