// SPDX-License-Identifier: GPL-3.0-or-later
// A button cell drawn as a glowing oval: filled in the button's colour when on, a dim
// outline when off, with a white centred title. Each click is announced as a gesture.
#pragma once

#include "platform/toolkit/ButtonCell.h"
#include "platform/toolkit/Shadow.h"

#include <optional>

class CustomButtonCell : public tk::ButtonCell {
  public:
    CustomButtonCell();                            // init
    explicit CustomButtonCell(const tk::Coder& c); // initWithCoder

    void awakeFromNib() override;
    void drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                       tk::View& controlView) override;
    tk::AttributedString attributedTitle() const override;
    tk::AttributedString attributedAlternateTitle() const override;
    void trackMouse(const tk::Event& e, const tk::Rect& cellFrame, tk::View& controlView,
                    bool untilMouseUp, tk::TrackingCompletion done) override;

    // Colour (0, 0.2, 0.6, 0.9) and flip-only off; the shadow is left as it is.
    void prepare();
    void setColorRed(float r, float g, float b, float a);
    tk::TextAttributes attributes() const;
    void setHasShadow();
    void setFlipOnly();
    void beginGesture();
    void endGesture();

    bool flipOnly() const { return mFlipOnly; }
    const std::optional<tk::Shadow>& shadow() const { return mShadow; }

  protected:
    float mR = 0.0f;
    float mG = 0.2f;
    float mB = 0.6f;
    float mA = 0.9f;
    std::optional<tk::Shadow> mShadow;
    bool mFlipOnly = false;
};
