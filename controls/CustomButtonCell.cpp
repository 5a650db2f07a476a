// SPDX-License-Identifier: GPL-3.0-or-later
// The glowing-oval push button cell.
#include "controls/CustomButtonCell.h"

#include "platform/toolkit/GraphicsContext.h"

void CustomButtonCell::prepare() {
    mFlipOnly = false;
    resetColor();
}

tk::TextAttributes CustomButtonCell::attributes() const {
    tk::TextAttributes a;
    a.foreground = tk::Color::calibratedWhite(1.0);
    a.font = font();
    return a;
}

tk::AttributedString CustomButtonCell::centred(const std::string& text) const {
    tk::AttributedString s(text, attributes());
    s.setParagraphStyle({tk::TextAlignment::Center, tk::LineBreakMode::TruncateTail});
    return s;
}

tk::AttributedString CustomButtonCell::attributedTitle() const {
    return centred(title());
}

tk::AttributedString CustomButtonCell::attributedAlternateTitle() const {
    return centred(alternateTitle());
}

void CustomButtonCell::setHasShadow() {
    if (!mShadow) mShadow = tk::Shadow{{2.0, -3.0}, 6.0, tk::Color::calibratedWhite(0.5, 0.75)};
}

void CustomButtonCell::setFlipOnly() {
    mFlipOnly = true;
}

void CustomButtonCell::clickEnded(bool inside) {
    if (inside && mFlipOnly && state() == tk::CellState::On) setState(tk::CellState::Off);
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
