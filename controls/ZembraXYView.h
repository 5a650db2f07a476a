// SPDX-License-Identifier: GPL-3.0-or-later
// The XY pad: a knob dragged over the pad sets the blend position X, Y in 0 to 1. It talks
// to the rest of the editor only through notifications: it announces gestures and values,
// and follows the host's values posted by its superview (the editor view). Its knob picture
// is "131.png" of the bundle its creator names.
#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/Image.h"

#include <memory>
#include <string>

class ZembraXYView : public tk::Control {
  public:
    // `resourceBundle`: the identifier of the bundle that holds the knob picture.
    ZembraXYView(const tk::Rect& frame, std::string resourceBundle);  // initWithFrame
    ZembraXYView(const tk::Coder& coder, std::string resourceBundle); // initWithCoder
    ~ZembraXYView() override; // releases the knob, leaves the centre

    void awakeFromNib() override;
    bool acceptsFirstResponder() const override { return true; }
    void keyDown(const tk::Event& e) override;
    void keyUp(const tk::Event& e) override;
    void mouseDown(const tk::Event& e) override;
    void mouseDragged(const tk::Event& e) override;
    void mouseUp(const tk::Event& e) override;
    void drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) override;

    // Defaults: values 0.5, knob image loaded and host values observed once.
    void prepare();
    // Stores the values as given (no clamping) and moves the knob to them.
    void setFloatValuesX(float x, float y);
    void updateDisplayFromParams();
    // The value at the knob, clamped to 0..1; also stored in mX (mY).
    float floatValueX();
    float floatValueY();
    tk::Point clipPointToFrame(tk::Point p) const;
    void notifyHost();
    void beginGesture();
    void endGesture();
    void setValuesFromHost(const fnd::Notification& n);

    const tk::Point& knobPoint() const { return currentPoint; }
    const std::shared_ptr<tk::Image>& knobImage() const { return mKnobImage; }
    float storedX() const { return mX; }
    float storedY() const { return mY; }

  protected:
    tk::Point currentPoint;
    std::shared_ptr<tk::Image> mKnobImage;
    float mX = 0.5f;
    float mY = 0.5f;

  private:
    struct KnobGeometry {
        int hw, hh, kw, kh;
        float spanX, spanY; // W − kw − hw and H − kh − hh
    };
    KnobGeometry geometry() const;
    void trackTo(const tk::Event& e);
    std::string mResourceBundle;
    bool mObserving = false;
};
