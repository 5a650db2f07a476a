// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing, meter colours and gestures of the editor's vertical sliders.
#include "controls/VerticalSliderCell.h"

#include "platform/foundation/Log.h"
#include "platform/toolkit/GraphicsContext.h"

#include <cmath>

void VerticalSliderCell::prepare() {
    mRmsLevel = 0.0f;
    mImage.reset();
    mR1 = 0.0f, mG1 = 1.0f, mB1 = 1.0f;
    mR2 = 0.0f, mG2 = 0.2f, mB2 = 0.6f;
}

void VerticalSliderCell::setRmsLevel(float level) {
    mRmsLevel = level;
    updateControlView();
}

void VerticalSliderCell::setTrackRect(const tk::Rect& r) {
    trackRect_ = r;
}

void VerticalSliderCell::setThumbImage(const std::filesystem::path& path) {
    mImage.reset();
    mImage = tk::Image::fromPNG(path);
    if (!mImage) fnd::log(fnd::LogLevel::Error, "image not loaded!!");
    updateControlView();
}

void VerticalSliderCell::setLowLevelVolumeRed(float r, float g, float b) {
    mR1 = r, mG1 = g, mB1 = b;
}
void VerticalSliderCell::setHighLevelVolumeRed(float r, float g, float b) {
    mR2 = r, mG2 = g, mB2 = b;
}

bool VerticalSliderCell::startTrackingAt(tk::Point p, tk::View& controlView) {
    beginGesture();
    return tk::SliderCell::startTrackingAt(p, controlView);
}

void VerticalSliderCell::stopTracking(tk::Point last, tk::Point stop, tk::View& controlView,
                                      bool mouseIsUp) {
    // However the drag stops (released, or cut short by a lost release) its gesture ends,
    // or the editor would wait for it for good; it ends after the last value the drag sends.
    tk::SliderCell::stopTracking(last, stop, controlView, mouseIsUp);
    endGesture();
}

void VerticalSliderCell::drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                                       tk::View&) {
    g.saveGraphicsState();
    const tk::Rect r = drawingRectForBounds(cellFrame);
    setTrackRect(r); // the knob travels the whole drawing rectangle
    drawBarInside(g, r, false);

    g.saveGraphicsState();
    g.setShadow(mShadow);
    g.setCompositingOperation(tk::CompositingOperation::PlusLighter);
    const float L = mRmsLevel;
    if (L > 0.0f) {
        // The low-level colour fades with the cube of (1 − L), the high-level one grows
        // with L, and the whole brightens with the fourth root of L.
        const float q = 1.0f - L;
        const float c = q * q * q;
        float red = c * mR1 + L * mR2;
        float green = c * mG1 + L * mG2;
        float blue = c * mB1 + L * mB2;
        const float a = static_cast<float>(std::pow(static_cast<double>(L), 0.25));
        red *= a, green *= a, blue *= a;
        g.setColor(tk::Color::calibratedRGBA(red, green, blue, 0.9));
        const tk::Rect inner = r.insetBy(4.0, 2.0);
        g.fillEllipse(inner.insetBy(inner.width() * q / 2.0, 0.0));
    }
    g.restoreGraphicsState();

    drawKnob(g);
    g.restoreGraphicsState();
}

void VerticalSliderCell::drawKnob(tk::GraphicsContext& g, const tk::Rect& knobRect) {
    if (!mImage) return; // never the toolkit's knob
    const float t = static_cast<float>(knobThickness());
    const float w = static_cast<float>(mImage->size().width);
    const double x = knobRect.x() + (t * 0.5f - w * 0.5f);
    g.drawImage(*mImage, {x, knobRect.y()}, tk::CompositingOperation::SourceOver, 1.0);
}
