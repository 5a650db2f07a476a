// SPDX-License-Identifier: GPL-3.0-or-later
// A translucent rounded panel that groups controls over the editor's background, optionally
// ruled with a faint grid (behind the XY pad, which draws only its knob). Decoration only:
// it takes no events, and the controls it frames are its siblings, not its subviews.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/View.h"

class ZembraPanelView : public tk::View {
  public:
    // Decoding: "fillColor", "edgeColor", "cornerRadius", "gridDivisions".
    explicit ZembraPanelView(const tk::Coder& coder);

    void drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) override;
    View* hitTest(tk::Point) override { return nullptr; }

  private:
    tk::Color mFill = tk::Color::calibratedWhite(1.0, 0.035);
    tk::Color mEdge = tk::Color::calibratedWhite(1.0, 0.12);
    double mCornerRadius = 8.0;
    int mGridDivisions = 0;
};
