// SPDX-License-Identifier: GPL-3.0-or-later
// A button cell that glows in a colour of its own and announces each click as a gesture: the
// part the editor's push and toggle button cells share.
#pragma once

#include "controls/GestureCell.h"
#include "platform/toolkit/ButtonCell.h"

class GlowButtonCell : public GestureCell<tk::ButtonCell> {
  public:
    using GestureCell::GestureCell;

    void setColorRed(float r, float g, float b, float a);
    void trackMouse(const tk::Event& e, const tk::Rect& cellFrame, tk::View& controlView,
                    bool untilMouseUp, tk::TrackingCompletion done) override;

  protected:
    // Back to the default colour (0, 0.2, 0.6, 0.9).
    void resetColor();
    // After the click's gesture has ended, before the caller hears how the click ended.
    virtual void clickEnded(bool /*inside*/) {}

    float mR = 0.0f;
    float mG = 0.2f;
    float mB = 0.6f;
    float mA = 0.9f;
};
