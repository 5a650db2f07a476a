// SPDX-License-Identifier: GPL-3.0-or-later
// A toggle button cell that lights a glowing rounded bar in the button's colour behind the
// title while the button is on (or mixed). Each click is announced as a gesture.
#pragma once

#include "platform/toolkit/ButtonCell.h"
#include "platform/toolkit/Path.h"

class CustomToggleButtonCell : public tk::ButtonCell {
  public:
    CustomToggleButtonCell();                            // init
    explicit CustomToggleButtonCell(const tk::Coder& c); // initWithCoder

    void awakeFromNib() override;
    void drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                       tk::View& controlView) override;
    void trackMouse(const tk::Event& e, const tk::Rect& cellFrame, tk::View& controlView,
                    bool untilMouseUp, tk::TrackingCompletion done) override;

    // Colour (0, 0.2, 0.6, 0.9).
    void prepare();
    void setColorRed(float r, float g, float b, float a);
    // `r` with rounded corners of one radius: the smaller of rx and half the shorter side.
    static tk::Path roundRect(const tk::Rect& r, double rx, double ry);
    void beginGesture();
    void endGesture();

  protected:
    float mR = 0.0f;
    float mG = 0.2f;
    float mB = 0.6f;
    float mA = 0.9f;
};
