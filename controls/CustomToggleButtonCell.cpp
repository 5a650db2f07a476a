// SPDX-License-Identifier: GPL-3.0-or-later
// The glowing-bar toggle button cell.
#include "controls/CustomToggleButtonCell.h"

#include "platform/toolkit/GraphicsContext.h"

#include <algorithm>

tk::Path CustomToggleButtonCell::roundRect(const tk::Rect& R, double rx, double ry) {
    // The toolkit's paths have one corner radius, so the bar is built from arcs: one
    // radius for all four corners, ry unused.
    (void)ry;
    const double r = std::min(rx, std::min(R.width(), R.height()) * 0.5);
    if (!(r > 0.0)) return tk::Path::rect(R);
    const tk::Rect I = R.insetBy(r, r);
    tk::Path p;
    p.moveTo({I.minX() - r, I.minY()});
    p.arc({I.minX(), I.minY()}, r, 180.0, 270.0);
    p.arc({I.maxX(), I.minY()}, r, 270.0, 360.0);
    p.arc({I.maxX(), I.maxY()}, r, 0.0, 90.0);
    p.arc({I.minX(), I.maxY()}, r, 90.0, 180.0);
    p.close();
    return p;
}

void CustomToggleButtonCell::drawWithFrame(tk::GraphicsContext& g, const tk::Rect& F, tk::View& V) {
    g.saveGraphicsState();
    g.saveGraphicsState();
    g.setCompositingOperation(tk::CompositingOperation::PlusLighter);
    // A glow of the button's own colour on every side; it belongs to this drawing only.
    g.setShadow(tk::Shadow{{0.0, 0.0}, 4.0, tk::Color::calibratedRGBA(mR, mG, mB, 1.0)});
    if (state() != tk::CellState::Off) {
        g.setColor(tk::Color::calibratedRGBA(mR, mG, mB, mA));
        g.fillPath(roundRect(F.insetBy(4.0, 10.0), 8.0, 8.0));
    }
    g.restoreGraphicsState();
    drawInteriorWithFrame(g, F, V);
    g.restoreGraphicsState();
}
