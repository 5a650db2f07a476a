// SPDX-License-Identifier: GPL-3.0-or-later
// The four things the blend is made of, in the words the editor shows them by, with their
// shares at a pad position from the engine's own formula.
#pragma once

#include "engine/blend_weights.h"

#include <array>

namespace zembra {

enum Ingredient {
    kIngredientA,
    kIngredientB,
    kIngredientAThroughB,
    kIngredientBThroughA,
    kIngredientCount
};

inline constexpr std::array<const char*, kIngredientCount> kIngredientNames = {
    "A", "B", "A through B's envelope", "B through A's envelope"};

inline std::array<float, kIngredientCount> ingredientShares(float x, float y) {
    const BlendShares s = blendShares(x, y);
    return {s.a, s.b, s.aThroughB, s.bThroughA};
}

} // namespace zembra
