// SPDX-License-Identifier: GPL-3.0-or-later
// The slider's cell: a value in a range, a bar, and a knob that moves along the track with
// the value. Dragging anywhere on the slider puts the knob's centre under the pointer.
#pragma once

#include "platform/toolkit/Cell.h"

#include <optional>

namespace tk {

class SliderCell : public Cell {
  public:
    SliderCell();
    // Decoding: "minValue", "maxValue", "value", "vertical".
    explicit SliderCell(const Coder& coder);

    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    void setMinValue(double v);
    void setMaxValue(double v);
    double doubleValue() const override { return value_; }
    // Clamped to the range; NaN is ignored.
    void setDoubleValue(double v) override;

    // Unless set, a slider is vertical when its control view is taller than wide.
    bool isVertical() const;
    void setVertical(std::optional<bool> v) { vertical_ = v; }

    // The rectangle the knob travels, as last set by drawing (or derived from the control
    // view's bounds before the first drawing).
    Rect trackRect() const;
    virtual Rect drawingRectForBounds(const Rect& bounds) const { return bounds; }
    // The knob's extent along the track (and across it: the knob is square).
    virtual double knobThickness() const;
    Rect knobRect() const;

    void drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) override;
    virtual void drawBarInside(GraphicsContext& g, const Rect& r, bool flipped);
    // Computes the knob rectangle and draws the knob there.
    void drawKnob(GraphicsContext& g);
    virtual void drawKnob(GraphicsContext& g, const Rect& knobRect);

    bool startTrackingAt(Point p, View& controlView) override;
    bool continueTracking(Point last, Point current, View& controlView) override;
    void stopTracking(Point last, Point stop, View& controlView, bool mouseIsUp) override;
    bool prefersTrackingUntilMouseUp() const override { return true; }

  protected:
    Rect trackRect_;

  private:
    double valueAt(Point p) const;
    void trackTo(Point p);

    double min_ = 0.0;
    double max_ = 1.0;
    double value_ = 0.0;
    std::optional<bool> vertical_;
};

} // namespace tk
