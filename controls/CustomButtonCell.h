// SPDX-License-Identifier: GPL-3.0-or-later
// A button cell drawn as a glowing oval: filled in the button's colour when on, a dim
// outline when off, with a white centred title. Each click is announced as a gesture.
#pragma once

#include "controls/GlowButtonCell.h"
#include "platform/toolkit/Shadow.h"

#include <optional>

class CustomButtonCell : public GlowButtonCell {
  public:
    using GlowButtonCell::GlowButtonCell; // init, initWithCoder

    void drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                       tk::View& controlView) override;
    tk::AttributedString attributedTitle() const override;
    tk::AttributedString attributedAlternateTitle() const override;

    // Colour (0, 0.2, 0.6, 0.9) and flip-only off; the shadow is left as it is.
    void prepare() override;
    tk::TextAttributes attributes() const;
    void setHasShadow();
    void setFlipOnly();

    bool flipOnly() const { return mFlipOnly; }
    const std::optional<tk::Shadow>& shadow() const { return mShadow; }

  protected:
    void clickEnded(bool inside) override;

    std::optional<tk::Shadow> mShadow;
    bool mFlipOnly = false;

  private:
    tk::AttributedString centred(const std::string& text) const;
};
