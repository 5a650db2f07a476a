// SPDX-License-Identifier: GPL-3.0-or-later
// The scales the editor's spectra are measured and drawn on: log-spaced frequency bands from
// 30 Hz to 18 kHz, and levels from the floor (0) to a full-scale sine (1). The analysis that
// fills the bands and the view that draws them both read them here.
#pragma once

#include <array>
#include <cmath>

namespace zembra::spectrum {

inline constexpr int kBands = 64;
inline constexpr double kLowestHz = 30.0;
inline constexpr double kHighestHz = 18000.0;
inline constexpr double kFloorDb = -84.0;

using Bands = std::array<float, kBands>;

// The frequency at a position 0 (kLowestHz) to 1 (kHighestHz) across the view.
inline double frequencyAt(double position) {
    return kLowestHz * std::pow(kHighestHz / kLowestHz, position);
}
inline double positionOf(double hz) {
    return std::log(hz / kLowestHz) / std::log(kHighestHz / kLowestHz);
}
// Band `band` spans positions band / kBands to (band + 1) / kBands; it is drawn at its middle.
inline double bandCentre(int band) {
    return (band + 0.5) / kBands;
}
// A level in dB against a full-scale sine, as 0 (the floor or below) to 1.
inline float levelOfDb(double db) {
    const double level = (db - kFloorDb) / -kFloorDb;
    return static_cast<float>(level < 0.0 ? 0.0 : level > 1.0 ? 1.0 : level);
}

} // namespace zembra::spectrum
