// SPDX-License-Identifier: GPL-3.0-or-later
// Button drawing and click tracking.
#include "platform/toolkit/ButtonCell.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/Drawing.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/Style.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>

namespace tk {

namespace {

class ButtonTrackingSession final : public TrackingSession {
  public:
    ButtonTrackingSession(std::shared_ptr<ButtonCell> cell, std::shared_ptr<View> view, Rect frame,
                          TrackingCompletion done)
        : cell_(std::move(cell)), view_(std::move(view)), frame_(frame), done_(std::move(done)) {}

    void mouseDragged(const Event& e) override { cell_->setHighlighted(frame_.contains(local(e))); }
    void mouseUp(const Event& e) override {
        cell_->setHighlighted(false);
        const bool inside = frame_.contains(local(e));
        if (inside) {
            if (cell_->buttonType() == ButtonType::PushOnPushOff)
                cell_->setState(cell_->nextState());
            if (auto* c = dynamic_cast<Control*>(view_.get())) c->sendAction();
        }
        finish(inside);
    }
    void cancel() override {
        cell_->setHighlighted(false);
        finish(false);
    }

  private:
    Point local(const Event& e) const {
        return view_->convertPointFromView(e.locationInWindow, nullptr);
    }
    void finish(bool inside) {
        if (auto done = std::move(done_)) done(inside);
    }
    std::shared_ptr<ButtonCell> cell_;
    std::shared_ptr<View> view_;
    Rect frame_;
    TrackingCompletion done_;
};

} // namespace

ButtonCell::ButtonCell() = default;

ButtonCell::ButtonCell(const Coder& coder) : Cell(coder) {
    if (auto t = coder.choice("buttonType", {"push", "toggle"}))
        type_ = *t == 0 ? ButtonType::MomentaryPushIn : ButtonType::PushOnPushOff;
    bordered_ = coder.boolean("bordered").value_or(true);
}

void ButtonCell::setBordered(bool b) {
    bordered_ = b;
    updateControlView();
}

void ButtonCell::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    updateControlView();
}

void ButtonCell::setDoubleValue(double v) {
    if (std::isnan(v)) return;
    setState(static_cast<int>(std::trunc(std::clamp(v, -1.0, 1.0))));
}

AttributedString ButtonCell::attributedTitle() const {
    TextAttributes a;
    a.font = font();
    a.foreground = isEnabled() ? style::kText : style::kTextDisabled;
    a.paragraph = {TextAlignment::Center, LineBreakMode::TruncateTail};
    return AttributedString(title(), a);
}

AttributedString ButtonCell::attributedAlternateTitle() const {
    AttributedString s = attributedTitle();
    return AttributedString(alternateTitle(), s.attributes());
}

void ButtonCell::drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) {
    if (bordered_) drawBezelWithFrame(g, cellFrame, controlView);
    drawInteriorWithFrame(g, cellFrame, controlView);
}

void ButtonCell::drawBezelWithFrame(GraphicsContext& g, const Rect& frame, View&) {
    const bool pressed =
        isHighlighted() || (type_ == ButtonType::PushOnPushOff && state() != CellState::Off);
    drawing::drawButtonBezel(g, frame, pressed);
}

void ButtonCell::drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame,
                                       View& controlView) {
    if (image_) {
        const Size s = image_->size();
        g.drawImage(*image_,
                    {std::round(cellFrame.midX() - s.width * 0.5),
                     std::round(cellFrame.midY() - s.height * 0.5)},
                    CompositingOperation::SourceOver, isEnabled() ? 1.0 : 0.5);
    }
    const bool showAlternate =
        type_ == ButtonType::PushOnPushOff && state() == CellState::On && !alternateTitle().empty();
    const AttributedString t = showAlternate ? attributedAlternateTitle() : attributedTitle();
    if (!t.empty()) drawTitle(g, t, cellFrame, controlView);
}

Rect ButtonCell::drawTitle(GraphicsContext& g, const AttributedString& title, const Rect& frame,
                           View&) {
    // A little air at the sides so an ellipsis never touches the edge.
    return g.drawText(title, frame.insetBy(std::min(4.0, frame.width() * 0.1), 0.0));
}

void ButtonCell::trackMouse(const Event& e, const Rect& cellFrame, View& controlView, bool,
                            TrackingCompletion done) {
    auto self = std::static_pointer_cast<ButtonCell>(shared_from_this());
    auto session = std::make_unique<ButtonTrackingSession>(self, controlView.shared_from_this(),
                                                           cellFrame, std::move(done));
    Window* w = controlView.window();
    if (!w) {
        session->cancel();
        return;
    }
    setHighlighted(true);
    w->beginTrackingSession(std::move(session));
    (void)e;
}

} // namespace tk
