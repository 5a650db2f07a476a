// SPDX-License-Identifier: GPL-3.0-or-later
// The glowing-bar toggle button cell.
#include "controls/CustomToggleButtonCell.h"

#include "controls/ControlNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/GraphicsContext.h"

#include <algorithm>

using namespace zembra;

CustomToggleButtonCell::CustomToggleButtonCell() {
    prepare();
}

CustomToggleButtonCell::CustomToggleButtonCell(const tk::Coder& c) : tk::ButtonCell(c) {
    prepare();
}

void CustomToggleButtonCell::awakeFromNib() {
    prepare();
}

void CustomToggleButtonCell::prepare() {
    mR = 0.0f, mG = 0.2f, mB = 0.6f, mA = 0.9f;
}

void CustomToggleButtonCell::setColorRed(float r, float g, float b, float a) {
    mR = r, mG = g, mB = b, mA = a;
    updateControlView();
}

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

void CustomToggleButtonCell::beginGesture() {
    fnd::NotificationCenter::defaultCenter().post(kBeginGestureNotification,
                                                  postingObject(controlView()));
}

void CustomToggleButtonCell::endGesture() {
    fnd::NotificationCenter::defaultCenter().post(kEndGestureNotification,
                                                  postingObject(controlView()));
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

void CustomToggleButtonCell::trackMouse(const tk::Event& e, const tk::Rect& cellFrame,
                                        tk::View& controlView, bool untilMouseUp,
                                        tk::TrackingCompletion done) {
    beginGesture();
    auto self = std::static_pointer_cast<CustomToggleButtonCell>(shared_from_this());
    tk::ButtonCell::trackMouse(e, cellFrame, controlView, untilMouseUp, [self, done](bool inside) {
        self->endGesture();
        if (done) done(inside);
    });
}
