// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the editor's control classes known to interface descriptions by name.
#pragma once

#include <string>

// Registers ZembraXYView, VerticalSliderCell, CustomButtonCell and CustomToggleButtonCell;
// the pads made from descriptions take their pictures from the bundle `resourceBundle`.
// Idempotent; call before loading a description that names them.
void registerZembraControls(const std::string& resourceBundle);
