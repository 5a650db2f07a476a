// SPDX-License-Identifier: GPL-3.0-or-later
// The spectra of two real signals from one complex transform.
#pragma once

#include "fft.h"

namespace zembra {

// On entry data holds signal a in its real parts and b in its imaginary parts; afterwards
// data holds the n-point spectrum of a and second that of b. The plan fixes n.
void fftTwoRealPlanned(float* data, float* second, const FftPlan& plan);

} // namespace zembra
