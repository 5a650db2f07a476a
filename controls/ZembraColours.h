// SPDX-License-Identifier: GPL-3.0-or-later
// The colours that stand for the sources and the result wherever the editor shows them: the
// pad's words and the spectra agree, so amber is A and violet is B everywhere.
#pragma once

#include "controls/BlendIngredients.h"
#include "platform/toolkit/Color.h"

namespace zembra {

inline constexpr tk::Color kSourceAColour = tk::Color::calibratedRGBA(1.0, 0.74, 0.36);
inline constexpr tk::Color kSourceBColour = tk::Color::calibratedRGBA(0.80, 0.58, 1.0);
inline constexpr tk::Color kOutputColour = tk::Color::calibratedRGBA(0.62, 0.96, 1.0);

// A cross-synthesis takes the colour of the source whose fine structure it keeps.
inline constexpr tk::Color ingredientColour(Ingredient ingredient) {
    return ingredient == kIngredientA || ingredient == kIngredientAThroughB ? kSourceAColour
                                                                            : kSourceBColour;
}

} // namespace zembra
