// SPDX-License-Identifier: GPL-3.0-or-later
// What the pad gives where, drawn just behind it: A and B at the corners where the plain
// cross-fades reach them, and the two cross-syntheses along the middle of X. Each word glows
// with its share of the blend at the knob's position and shows it in per cent, so the pad
// reads as a map of the sound. Decoration only: it takes no events.
#pragma once

#include "controls/BlendIngredients.h"
#include "platform/toolkit/View.h"

#include <array>

class ZembraPadGuide : public tk::View {
  public:
    explicit ZembraPadGuide(const tk::Coder& coder);
    explicit ZembraPadGuide(const tk::Rect& frame);

    // The knob's position, 0..1 on each axis; redraws when the shares it shows change.
    void setPosition(float x, float y);
    const std::array<float, zembra::kIngredientCount>& shares() const { return mShares; }
    // "A 62%": a word and its share, as drawn.
    static std::string label(zembra::Ingredient ingredient, float share);

    void drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) override;
    View* hitTest(tk::Point) override { return nullptr; }

  private:
    std::array<float, zembra::kIngredientCount> mShares = zembra::ingredientShares(0.5f, 0.5f);
};
