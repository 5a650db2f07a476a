// SPDX-License-Identifier: GPL-3.0-or-later
// A toggle button cell that lights a glowing rounded bar in the button's colour behind the
// title while the button is on (or mixed). Each click is announced as a gesture.
#pragma once

#include "controls/GlowButtonCell.h"
#include "platform/toolkit/Path.h"

class CustomToggleButtonCell : public GlowButtonCell {
  public:
    using GlowButtonCell::GlowButtonCell; // init, initWithCoder

    void drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                       tk::View& controlView) override;

    // Colour (0, 0.2, 0.6, 0.9).
    void prepare() override { resetColor(); }
    // `r` with rounded corners of one radius: the smaller of rx and half the shorter side.
    static tk::Path roundRect(const tk::Rect& r, double rx, double ry);
};
