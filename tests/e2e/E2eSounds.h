// SPDX-License-Identifier: GPL-3.0-or-later
// The A and B material every host test plays, and zembra-render's reference of it to compare
// a host's output with.
#pragma once

#include "SoundFile.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

using testing_support::readSound;
using testing_support::Sound;
using testing_support::writeSound;

// A voice-like buzz as A and a detuned saw chord as B, 1.5 s at 48 kHz, as one file (A left,
// B right) and two mono ones, in a fresh folder `name` of the work directory.
struct Material {
    std::filesystem::path dir, both, a, b;
};
Material makeMaterial(const std::string& name);

// The largest difference over both channels, or infinity when the shapes differ.
double maxDifference(const Sound& x, const Sound& y);
double rms(const Sound& s);

// zembra-render --raw of the material with host values by parameter id: stereo, the engine's
// delay kept.
// The sources may be preceded by silence: `leadA` samples before A, `leadB` before B (the
// output grows by the larger), and start at frame `startOffset` of a host's timeline.
Sound renderReference(const Material& m, const std::map<int, float>& hostValues, size_t leadA = 0,
                      size_t leadB = 0, size_t startOffset = 0);
// Checks that a host's output (the engine's delay kept) matches zembra-render's to float
// rounding, and prints the difference under `host`'s name.
void expectRendersLikeZembraRender(const std::string& host, const Sound& output, const Material& m,
                                   const std::map<int, float>& hostValues);

} // namespace e2e
