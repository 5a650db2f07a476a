// SPDX-License-Identifier: GPL-3.0-or-later
// The glowing-oval push button cell.
#include "controls/CustomButtonCell.h"

#include "controls/ControlNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/GraphicsContext.h"

using namespace zembra;

CustomButtonCell::CustomButtonCell() {
    prepare();
}

CustomButtonCell::CustomButtonCell(const tk::Coder& c) : tk::ButtonCell(c) {
    prepare();
}

void CustomButtonCell::awakeFromNib() {
    prepare();
}

void CustomButtonCell::prepare() {
    mFlipOnly = false;
    mR = 0.0f, mG = 0.2f, mB = 0.6f, mA = 0.9f;
}

void CustomButtonCell::setColorRed(float r, float g, float b, float a) {
    mR = r, mG = g, mB = b, mA = a;
    updateControlView();
}

tk::TextAttributes CustomButtonCell::attributes() const {
    tk::TextAttributes a;
    a.foreground = tk::Color::calibratedWhite(1.0);
    a.font = font();
    return a;
}

tk::AttributedString CustomButtonCell::attributedTitle() const {
    tk::AttributedString s(title(), attributes());
    s.setParagraphStyle({tk::TextAlignment::Center, tk::LineBreakMode::TruncateTail});
    return s;
}

tk::AttributedString CustomButtonCell::attributedAlternateTitle() const {
    tk::AttributedString s(alternateTitle(), attributes());
    s.setParagraphStyle({tk::TextAlignment::Center, tk::LineBreakMode::TruncateTail});
    return s;
}

void CustomButtonCell::setHasShadow() {
    if (!mShadow) mShadow = tk::Shadow{{2.0, -3.0}, 6.0, tk::Color::calibratedWhite(0.5, 0.75)};
}

void CustomButtonCell::setFlipOnly() {
    mFlipOnly = true;
}

void CustomButtonCell::beginGesture() {
    fnd::NotificationCenter::defaultCenter().post(kBeginGestureNotification,
                                                  postingObject(controlView()));
}

void CustomButtonCell::endGesture() {
    fnd::NotificationCenter::defaultCenter().post(kEndGestureNotification,
                                                  postingObject(controlView()));
}

void CustomButtonCell::drawWithFrame(tk::GraphicsContext& g, const tk::Rect& F, tk::View& V) {
    g.saveGraphicsState();
    g.saveGraphicsState();
    if (mShadow) g.setShadow(mShadow);
    g.setCompositingOperation(tk::CompositingOperation::PlusLighter);
    const bool on = state() == tk::CellState::On;
    if (on) {
        g.setColor(tk::Color::calibratedRGBA(mR, mG, mB, mA));
        g.fillEllipse(F.insetBy(3.0, 2.0));
    } else {
        g.setColor(tk::Color::calibratedRGBA(mR / 3.0f, mG / 3.0f, mB / 3.0f, mA));
        g.strokeEllipse(F.insetBy(2.0, 1.0));
    }
    g.restoreGraphicsState();
    if (on && !title().empty()) drawTitle(g, attributedTitle(), F, V);
    if (!on && !alternateTitle().empty()) drawTitle(g, attributedAlternateTitle(), F, V);
    g.restoreGraphicsState();
}

void CustomButtonCell::trackMouse(const tk::Event& e, const tk::Rect& cellFrame,
                                  tk::View& controlView, bool untilMouseUp,
                                  tk::TrackingCompletion done) {
    beginGesture();
    auto self = std::static_pointer_cast<CustomButtonCell>(shared_from_this());
    tk::ButtonCell::trackMouse(e, cellFrame, controlView, untilMouseUp, [self, done](bool inside) {
        // The gesture ends however the click ended, inside, outside or cut short.
        self->endGesture();
        if (inside && self->mFlipOnly && self->state() == tk::CellState::On)
            self->setState(tk::CellState::Off);
        if (done) done(inside);
    });
}
