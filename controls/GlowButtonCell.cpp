// SPDX-License-Identifier: GPL-3.0-or-later
// The colour and the click gesture of the editor's button cells.
#include "controls/GlowButtonCell.h"

void GlowButtonCell::resetColor() {
    mR = 0.0f, mG = 0.2f, mB = 0.6f, mA = 0.9f;
}

void GlowButtonCell::setColorRed(float r, float g, float b, float a) {
    mR = r, mG = g, mB = b, mA = a;
    updateControlView();
}

void GlowButtonCell::trackMouse(const tk::Event& e, const tk::Rect& cellFrame,
                                tk::View& controlView, bool untilMouseUp,
                                tk::TrackingCompletion done) {
    beginGesture();
    auto self = std::static_pointer_cast<GlowButtonCell>(shared_from_this());
    tk::ButtonCell::trackMouse(e, cellFrame, controlView, untilMouseUp, [self, done](bool inside) {
        // The gesture ends however the click ended, inside, outside or cut short.
        self->endGesture();
        self->clickEnded(inside);
        if (done) done(inside);
    });
}
