// SPDX-License-Identifier: GPL-3.0-or-later
// Placing and drawing the pad's words.
#include "controls/ZembraPadGuide.h"

#include "controls/ZembraColours.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Text.h"

#include <algorithm>
#include <cmath>
#include <string>

using namespace zembra;

namespace {

// Where a word sits: a corner or the middle of the top or bottom edge.
struct Placement {
    Ingredient ingredient;
    double x; // 0 left, 0.5 middle, 1 right
    double y; // 0 bottom, 1 top
};
constexpr Placement kPlacements[] = {
    {kIngredientA, 0.0, 0.0}, {kIngredientB, 0.0, 1.0},         {kIngredientB, 1.0, 0.0},
    {kIngredientA, 1.0, 1.0}, {kIngredientAThroughB, 0.5, 0.0}, {kIngredientBThroughA, 0.5, 1.0},
};
constexpr double kInset = 6.0;
constexpr double kLineHeight = 14.0;
constexpr double kCornerWidth = 60.0;

} // namespace

ZembraPadGuide::ZembraPadGuide(const tk::Coder& coder) : tk::View(coder) {}
ZembraPadGuide::ZembraPadGuide(const tk::Rect& frame) : tk::View(frame) {}

void ZembraPadGuide::setPosition(float x, float y) {
    const auto shares = ingredientShares(std::clamp(x, 0.0f, 1.0f), std::clamp(y, 0.0f, 1.0f));
    // Whole per cents are what the words show: a change below that is not worth a redraw.
    auto shown = [](const auto& s) {
        std::array<long, kIngredientCount> percent{};
        std::transform(s.begin(), s.end(), percent.begin(),
                       [](float v) { return std::lround(v * 100.0f); });
        return percent;
    };
    if (shown(shares) == shown(mShares)) return;
    mShares = shares;
    setNeedsDisplay(true);
}

std::string ZembraPadGuide::label(Ingredient ingredient, float share) {
    const long percent = std::lround(std::clamp(share, 0.0f, 1.0f) * 100.0f);
    return std::string(kIngredientNames[ingredient]) + " " + std::to_string(percent) + "%";
}

void ZembraPadGuide::drawRect(tk::GraphicsContext& g, const tk::Rect&) {
    const tk::Rect b = bounds().insetBy(kInset, kInset * 0.5);
    for (const Placement& p : kPlacements) {
        const double width = p.x == 0.5 ? b.width() - 2.0 * kCornerWidth : kCornerWidth;
        const float share = std::clamp(mShares[p.ingredient], 0.0f, 1.0f);
        const tk::Color colour = ingredientColour(p.ingredient);
        tk::TextAttributes attributes;
        attributes.font = tk::Font::boldSystemFont(p.x == 0.5 ? 8.5 : 10.5);
        attributes.foreground = colour.withAlpha(0.35 + 0.65 * share);
        attributes.paragraph.alignment = p.x == 0.0   ? tk::TextAlignment::Left
                                         : p.x == 1.0 ? tk::TextAlignment::Right
                                                      : tk::TextAlignment::Center;
        attributes.paragraph.lineBreak = tk::LineBreakMode::Clip;
        const double left = p.x == 0.0   ? b.minX()
                            : p.x == 1.0 ? b.maxX() - width
                                         : b.midX() - width / 2.0;
        const double bottom = p.y == 0.0 ? b.minY() : b.maxY() - kLineHeight;
        g.saveGraphicsState();
        // The glow grows with the share; a word the blend does not use stays plain.
        if (share > 0.02f)
            g.setShadow(tk::Shadow{{0, 0}, 2.0 + 6.0 * share, colour.withAlpha(share)});
        g.drawText(tk::AttributedString(label(p.ingredient, share), attributes),
                   {left, bottom, width, kLineHeight});
        g.restoreGraphicsState();
    }
}
