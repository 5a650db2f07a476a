// SPDX-License-Identifier: GPL-3.0-or-later
// The names of the pictures the editor loads from its bundle (all PNG files), declared once
// for the art generator that draws them, the editor and its controls that load them, and the
// build that copies them into the bundles (cmake/EditorPictures.cmake reads this file).
#pragma once

#include <string>

namespace zembra {

inline constexpr char kStillBackgroundPicture[] = "128";
inline constexpr char kPadKnobPicture[] = "131";
inline constexpr char kSliderThumbPicture[] = "133";
// The animated background's loop: frames 1 to kBackgroundFrameCount, named "bg-<n>".
inline constexpr int kBackgroundFrameCount = 130;
inline constexpr char kBackgroundFramePrefix[] = "bg-";

inline std::string backgroundFrameName(int frame) {
    return kBackgroundFramePrefix + std::to_string(frame);
}

} // namespace zembra
