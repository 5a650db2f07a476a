// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing the spectra: a faint frequency and level scale, B and A as filled curves, the
// output as a brighter line with its peak marks, and the legend.
#include "controls/ZembraSpectrumView.h"

#include "controls/ZembraColours.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Path.h"
#include "platform/toolkit/Text.h"

#include <algorithm>
#include <string>

using namespace zembra;

namespace {

constexpr double kScaleHeight = 12.0; // below the plot: the frequency labels
constexpr double kLegendWidth = 84.0; // right of the plot
constexpr tk::Color kScaleColour = tk::Color::calibratedRGBA(0.6, 0.85, 1.0, 0.14);
constexpr tk::Color kLabelColour = tk::Color::calibratedRGBA(0.55, 0.72, 0.82, 0.85);

struct Mark {
    double hz;
    const char* label; // null: a line only
};
constexpr Mark kMarks[] = {{50, nullptr}, {100, "100"},    {200, nullptr},  {500, nullptr},
                           {1000, "1k"},  {2000, nullptr}, {5000, nullptr}, {10000, "10k"}};
constexpr double kLevelLinesDb[] = {-24.0, -48.0, -72.0};

tk::TextAttributes small(const tk::Color& colour, tk::TextAlignment alignment) {
    tk::TextAttributes a;
    a.font = tk::Font::systemFont(8.0);
    a.foreground = colour;
    a.paragraph.alignment = alignment;
    a.paragraph.lineBreak = tk::LineBreakMode::Clip;
    return a;
}

tk::Color traceColour(ZembraSpectrumView::Trace t) {
    return t == ZembraSpectrumView::kTraceA   ? kSourceAColour
           : t == ZembraSpectrumView::kTraceB ? kSourceBColour
                                              : kOutputColour;
}

} // namespace

ZembraSpectrumView::ZembraSpectrumView(const tk::Coder& coder) : tk::View(coder) {}
ZembraSpectrumView::ZembraSpectrumView(const tk::Rect& frame) : tk::View(frame) {}

void ZembraSpectrumView::setTraces(const std::array<spectrum::Bands, kTraceCount>& levels,
                                   const spectrum::Bands& outputPeaks) {
    if (levels == mLevels && outputPeaks == mPeaks) return;
    mLevels = levels;
    mPeaks = outputPeaks;
    setNeedsDisplay(true);
}

tk::Rect ZembraSpectrumView::plotArea() const {
    const tk::Rect b = bounds();
    return {b.minX(), b.minY() + kScaleHeight, std::max(0.0, b.width() - kLegendWidth),
            std::max(0.0, b.height() - kScaleHeight)};
}

tk::Point ZembraSpectrumView::pointFor(double position, float level) const {
    const tk::Rect p = plotArea();
    return {p.minX() + p.width() * position,
            p.minY() + p.height() * static_cast<double>(std::clamp(level, 0.0f, 1.0f))};
}

void ZembraSpectrumView::drawRect(tk::GraphicsContext& g, const tk::Rect&) {
    g.saveGraphicsState();
    g.clipToRect(bounds());
    drawScale(g);
    drawTrace(g, kTraceB);
    drawTrace(g, kTraceA);
    drawTrace(g, kTraceOutput);
    drawLegend(g);
    g.restoreGraphicsState();
}

void ZembraSpectrumView::drawScale(tk::GraphicsContext& g) const {
    const tk::Rect p = plotArea();
    g.setColor(kScaleColour);
    for (const Mark& m : kMarks) {
        const double x = std::round(pointFor(spectrum::positionOf(m.hz), 0.0f).x);
        g.fillRect({x, p.minY(), 1.0, p.height()});
        if (m.label)
            g.drawText(
                tk::AttributedString(m.label, small(kLabelColour, tk::TextAlignment::Center)),
                {x - 20.0, 0.0, 40.0, kScaleHeight});
    }
    for (double db : kLevelLinesDb) {
        const double y = std::round(pointFor(0.0, spectrum::levelOfDb(db)).y);
        g.fillRect({p.minX(), y, p.width(), 1.0});
    }
}

void ZembraSpectrumView::drawTrace(tk::GraphicsContext& g, Trace t) const {
    const spectrum::Bands& levels = mLevels[t];
    if (std::all_of(levels.begin(), levels.end(), [](float v) { return v <= 0.0f; })) return;
    // Through the band centres, held flat to the plot's edges, with curves whose tangents
    // follow the neighbours (Catmull-Rom) so the trace reads as a spectrum, not a staircase.
    std::array<tk::Point, spectrum::kBands + 2> points;
    points.front() = pointFor(0.0, levels.front());
    for (int i = 0; i < spectrum::kBands; ++i)
        points[static_cast<std::size_t>(i + 1)] = pointFor(spectrum::bandCentre(i), levels[i]);
    points.back() = pointFor(1.0, levels.back());
    tk::Path line;
    line.moveTo(points[0]);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const tk::Point p0 = points[i == 0 ? 0 : i - 1], p1 = points[i], p2 = points[i + 1];
        const tk::Point p3 = points[std::min(i + 2, points.size() - 1)];
        line.curveTo({p1.x + (p2.x - p0.x) / 6.0, p1.y + (p2.y - p0.y) / 6.0},
                     {p2.x - (p3.x - p1.x) / 6.0, p2.y - (p3.y - p1.y) / 6.0}, p2);
    }
    const tk::Color colour = traceColour(t);
    const bool output = t == kTraceOutput;
    tk::Path area = line;
    const tk::Rect p = plotArea();
    area.lineTo({p.maxX(), p.minY()});
    area.lineTo({p.minX(), p.minY()});
    area.close();
    g.setColor(colour.withAlpha(output ? 0.10 : 0.16));
    g.fillPath(area);
    g.setColor(colour.withAlpha(output ? 0.95 : 0.75));
    g.setLineWidth(output ? 1.5 : 1.0);
    g.strokePath(line);
    if (!output) return;
    g.setColor(colour.withAlpha(0.7));
    for (int i = 0; i < spectrum::kBands; ++i) {
        if (mPeaks[i] <= levels[i] + 0.01f) continue;
        const tk::Point m = pointFor(spectrum::bandCentre(i), mPeaks[i]);
        g.fillRect({m.x - 1.5, m.y, 3.0, 1.0});
    }
}

void ZembraSpectrumView::drawLegend(tk::GraphicsContext& g) const {
    static constexpr const char* kNames[kTraceCount] = {"Source A", "Source B", "Output"};
    const tk::Rect b = bounds();
    const double left = b.maxX() - kLegendWidth + 12.0;
    for (int t = 0; t < kTraceCount; ++t) {
        const double y = b.maxY() - 18.0 - 16.0 * t;
        const tk::Color colour = traceColour(static_cast<Trace>(t));
        g.setColor(colour);
        g.fillRect({left, y + 5.0, 10.0, 2.0});
        g.drawText(tk::AttributedString(kNames[t], small(colour, tk::TextAlignment::Left)),
                   {left + 14.0, y, kLegendWidth - 26.0, 12.0});
    }
}
