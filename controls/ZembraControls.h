// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the editor's control classes known to interface descriptions by name.
#pragma once

// Registers ZembraXYView, VerticalSliderCell, CustomButtonCell and CustomToggleButtonCell.
// Idempotent; call before loading a description that names them.
void registerZembraControls();
