// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of the editor's panels.
#include "editor/ZembraPanelView.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Path.h"

#include <algorithm>
#include <cmath>

ZembraPanelView::ZembraPanelView(const tk::Coder& coder) : tk::View(coder) {
    mFill = coder.color("fillColor").value_or(mFill);
    mEdge = coder.color("edgeColor").value_or(mEdge);
    mCornerRadius = std::max(0.0, coder.number("cornerRadius").value_or(mCornerRadius));
    mGridDivisions = std::clamp(coder.integer("gridDivisions").value_or(0), 0, 64);
}

void ZembraPanelView::drawRect(tk::GraphicsContext& g, const tk::Rect&) {
    // Half a point in, so the one-point edge lies on whole pixels.
    const tk::Rect r = bounds().insetBy(0.5, 0.5);
    g.saveGraphicsState();
    g.setColor(mFill);
    g.fillPath(tk::Path::roundedRect(r, mCornerRadius));
    if (mGridDivisions > 1) {
        g.setColor(mEdge.withAlpha(mEdge.alpha * 0.35));
        for (int i = 1; i < mGridDivisions; ++i) {
            const double x = std::round(r.minX() + r.width() * i / mGridDivisions);
            const double y = std::round(r.minY() + r.height() * i / mGridDivisions);
            g.fillRect({x, r.minY() + 1.0, 1.0, r.height() - 2.0});
            g.fillRect({r.minX() + 1.0, y, r.width() - 2.0, 1.0});
        }
    }
    g.setColor(mEdge);
    g.strokePath(tk::Path::roundedRect(r, mCornerRadius));
    g.restoreGraphicsState();
}
