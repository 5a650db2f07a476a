// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in pictures for the pad knob and the slider thumb, drawn in code for when the
// editor's generated images are not at hand.
#pragma once

#include <filesystem>
#include <string>

namespace gallery {

// Writes the knob and the thumb into `dir` under the editor's names; false with `error`
// set on failure.
bool writeStandInArt(const std::filesystem::path& dir, std::string* error);

} // namespace gallery
