// SPDX-License-Identifier: GPL-3.0-or-later
// Window shapes of the engine's analysis and resynthesis.
#pragma once

namespace zembra {

// Periodic Hann: w[0] = 0 and w[k] + w[k + n/2] = 1, so two windows a hop apart sum to one.
void makeHannSynthesisWindow(float* w, long n);

} // namespace zembra
