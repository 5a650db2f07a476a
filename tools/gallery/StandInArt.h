// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in pictures for the pad knob ("131") and the slider thumb ("133"), drawn in code
// for when the editor's generated images are not at hand.
#pragma once

#include <filesystem>
#include <string>

namespace gallery {

// Writes 131.png and 133.png into `dir`; false with `error` set on failure.
bool writeStandInArt(const std::filesystem::path& dir, std::string* error);

} // namespace gallery
