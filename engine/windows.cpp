// SPDX-License-Identifier: GPL-3.0-or-later
// Window generators: the engine's own and the exported trapezoid and Welch windows.
#include "windows.h"

#include "RTzembra.h"

#include <cmath>

namespace zembra {

void makeHannSynthesisWindow(float* w, long n) {
    w[0] = 0.0f;
    for (long k = 1; k < n; ++k) {
        const auto angle =
            static_cast<float>(2.0 * M_PI * static_cast<double>(k) / static_cast<double>(n));
        w[k] = 0.5f - 0.5f * std::cos(angle);
    }
}

} // namespace zembra

extern "C" {

void makeTrapezoidWindow(float* w, long n, long ramp) {
    if (ramp == 0 || n < 1) return;
    const float f = 1.0f / static_cast<float>(ramp);
    for (long k = 0; k < n; ++k) {
        if (k < ramp)
            w[k] = static_cast<float>(k) * f;
        else if (k > n - ramp)
            w[k] = 1.0f - static_cast<float>(k - (n - ramp)) * f;
        else
            w[k] = 1.0f;
    }
}

// Computed afresh on every call: a shared cache would race between instances on different
// threads, and the window is cheap next to anything that uses it.
double makeWelchWindow(float* w, long n) {
    if (n > 8192 || n < 2) return 0.0;
    const double step = 1.0 / static_cast<double>(n - 1);
    double sum = 0.0;
    for (long k = 0; k < n; ++k) {
        const auto x = static_cast<float>(static_cast<double>(2 * k + 1 - n) * step);
        w[k] = 1.0f - x * x;
        sum += w[k];
    }
    return sum / static_cast<double>(n);
}

} // extern "C"
