// SPDX-License-Identifier: GPL-3.0-or-later
// Slider geometry and tracking.
#include "platform/toolkit/SliderCell.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Drawing.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Style.h"
#include "platform/toolkit/View.h"

#include <algorithm>
#include <cmath>

namespace tk {

SliderCell::SliderCell() {
    setContinuous(true);
}

SliderCell::SliderCell(const Coder& coder) : Cell(coder) {
    setContinuous(coder.boolean("continuous").value_or(true));
    min_ = coder.number("minValue").value_or(0.0);
    max_ = coder.number("maxValue").value_or(1.0);
    if (!(max_ >= min_)) throw DescriptionError("maxValue is below minValue");
    value_ = std::clamp(coder.number("value").value_or(min_), min_, max_);
    vertical_ = coder.boolean("vertical");
}

void SliderCell::setMinValue(double v) {
    if (std::isnan(v)) return;
    min_ = v;
    if (max_ < min_) max_ = min_;
    setDoubleValue(value_);
}

void SliderCell::setMaxValue(double v) {
    if (std::isnan(v)) return;
    max_ = v;
    if (min_ > max_) min_ = max_;
    setDoubleValue(value_);
}

void SliderCell::setDoubleValue(double v) {
    if (std::isnan(v)) return;
    value_ = std::clamp(v, min_, max_);
    updateControlView();
}

bool SliderCell::isVertical() const {
    if (vertical_) return *vertical_;
    if (const View* v = controlView()) return v->frame().height() > v->frame().width();
    return false;
}

Rect SliderCell::trackRect() const {
    if (!trackRect_.isEmpty() || !controlView()) return trackRect_;
    return drawingRectForBounds(controlView()->bounds());
}

double SliderCell::knobThickness() const {
    return style::kKnobThickness;
}

Rect SliderCell::knobRect() const {
    const Rect track = trackRect();
    const double t = knobThickness();
    const double span = max_ - min_;
    const double f = span > 0.0 ? (value_ - min_) / span : 0.0;
    if (isVertical())
        return {track.midX() - t * 0.5, track.minY() + f * std::max(0.0, track.height() - t), t, t};
    return {track.minX() + f * std::max(0.0, track.width() - t), track.midY() - t * 0.5, t, t};
}

void SliderCell::drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View&) {
    trackRect_ = drawingRectForBounds(cellFrame);
    drawBarInside(g, trackRect_, false);
    drawKnob(g);
}

void SliderCell::drawBarInside(GraphicsContext& g, const Rect& r, bool) {
    drawing::drawSliderBar(g, r, isVertical());
}

void SliderCell::drawKnob(GraphicsContext& g) {
    drawKnob(g, knobRect());
}

void SliderCell::drawKnob(GraphicsContext& g, const Rect& knob) {
    drawing::drawSliderKnob(g, knob);
}

double SliderCell::valueAt(Point p) const {
    const Rect track = trackRect();
    const double t = knobThickness();
    const bool v = isVertical();
    const double usable = (v ? track.height() : track.width()) - t;
    if (!(usable > 0.0)) return min_;
    const double pos = (v ? p.y - track.minY() : p.x - track.minX()) - t * 0.5;
    return min_ + std::clamp(pos / usable, 0.0, 1.0) * (max_ - min_);
}

void SliderCell::trackTo(Point p) {
    const double before = value_;
    setDoubleValue(valueAt(p));
    if (isContinuous() && value_ != before) sendActionFromControlView();
}

bool SliderCell::startTrackingAt(Point p, View&) {
    setHighlighted(true);
    trackTo(p);
    return true;
}

bool SliderCell::continueTracking(Point, Point current, View&) {
    trackTo(current);
    return true;
}

void SliderCell::stopTracking(Point, Point, View&, bool mouseIsUp) {
    setHighlighted(false);
    // A continuous slider has already reported every step.
    if (mouseIsUp && !isContinuous()) sendActionFromControlView();
}

} // namespace tk
