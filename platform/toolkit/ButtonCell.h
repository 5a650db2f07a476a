// SPDX-License-Identifier: GPL-3.0-or-later
// The button's cell: push (momentary) and toggle (on/off) types, bezel, image and title
// drawing, and click tracking that reports whether the release was inside the button.
#pragma once

#include "platform/toolkit/Cell.h"

#include <memory>

namespace tk {

class Image;

enum class ButtonType { MomentaryPushIn, PushOnPushOff };

class ButtonCell : public Cell {
  public:
    ButtonCell();
    // Decoding: "buttonType" ("push" or "toggle"), "bordered".
    explicit ButtonCell(const Coder& coder);

    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType t) { type_ = t; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool b);
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);

    // The button's integer value is its state.
    double doubleValue() const override { return static_cast<int>(state()); }
    void setDoubleValue(double v) override;

    // Title (or alternate title) in white-on-dark, centred, truncated at the tail.
    virtual AttributedString attributedTitle() const;
    virtual AttributedString attributedAlternateTitle() const;

    void drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) override;
    virtual void drawBezelWithFrame(GraphicsContext& g, const Rect& frame, View& controlView);
    // Image centred, then the title: the alternate title while a toggle is on, if it has one.
    void drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame,
                               View& controlView) override;
    // Draws `title` in `frame`; returns the rectangle the text took.
    virtual Rect drawTitle(GraphicsContext& g, const AttributedString& title, const Rect& frame,
                           View& controlView);

    // Highlights while the pointer is inside; a release inside moves a toggle to its next
    // state and sends the action, then answers true. Outside, or a lost grab: false.
    void trackMouse(const Event& e, const Rect& cellFrame, View& controlView, bool untilMouseUp,
                    TrackingCompletion done) override;

  private:
    ButtonType type_ = ButtonType::MomentaryPushIn;
    bool bordered_ = true;
    std::shared_ptr<Image> image_;
};

} // namespace tk
