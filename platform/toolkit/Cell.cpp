// SPDX-License-Identifier: GPL-3.0-or-later
// Cell values, state and the tracking state machine that replaces the platform's nested
// mouse-tracking loop.
#include "platform/toolkit/Cell.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Style.h"
#include "platform/toolkit/Window.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tk {

namespace {

// Reads the number a string starts with, like the platform's text-to-number: leading
// blanks and a plus sign are skipped, trailing text is ignored, no number reads as 0.
double parseLeadingNumber(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i < s.size() && s[i] == '+') ++i;
    double v = 0.0;
    const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (r.ec != std::errc()) return 0.0;
    return v;
}

std::string formatNumber(double v) {
    char buf[64];
    if (std::isfinite(v) && v == std::trunc(v) && std::abs(v) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", v == 0.0 ? 0.0 : v);
    else
        std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// Follows one press for Cell::trackMouse.
class CellTrackingSession final : public TrackingSession {
  public:
    CellTrackingSession(std::shared_ptr<Cell> cell, std::shared_ptr<View> view, Rect frame,
                        bool untilMouseUp, bool continuing, Point start, TrackingCompletion done)
        : cell_(std::move(cell)), view_(std::move(view)), frame_(frame),
          untilMouseUp_(untilMouseUp), continuing_(continuing), last_(start),
          done_(std::move(done)) {}

    void mouseDragged(const Event& e) override {
        if (finished_) return;
        const Point p = view_->convertPointFromView(e.locationInWindow, nullptr);
        if (!untilMouseUp_ && !frame_.contains(p)) {
            finish(p, false, false);
            return;
        }
        if (continuing_ && !cell_->continueTracking(last_, p, *view_)) {
            finish(p, false, false);
            return;
        }
        last_ = p;
    }
    void mouseUp(const Event& e) override {
        if (finished_) return;
        const Point p = view_->convertPointFromView(e.locationInWindow, nullptr);
        finish(p, true, untilMouseUp_ || frame_.contains(p));
    }
    void cancel() override {
        if (!finished_) finish(last_, false, false);
    }

  private:
    void finish(Point p, bool mouseIsUp, bool inside) {
        finished_ = true;
        cell_->stopTracking(last_, p, *view_, mouseIsUp);
        if (auto done = std::move(done_)) done(inside);
    }

    std::shared_ptr<Cell> cell_;
    std::shared_ptr<View> view_;
    Rect frame_;
    bool untilMouseUp_;
    bool continuing_;
    Point last_;
    TrackingCompletion done_;
    bool finished_ = false;
};

} // namespace

Cell::Cell() = default;

Cell::Cell(const Coder& coder) {
    title_ = coder.string("title").value_or("");
    alternateTitle_ = coder.string("alternateTitle").value_or("");
    if (auto f = coder.font("font")) font_ = *f;
    enabled_ = coder.boolean("enabled").value_or(true);
    continuous_ = coder.boolean("continuous").value_or(false);
    allowsMixedState_ = coder.boolean("allowsMixedState").value_or(false);
    if (coder.isString("state")) {
        if (auto s = coder.choice("state", {"off", "on", "mixed"}))
            state_ = *s == 0 ? CellState::Off : *s == 1 ? CellState::On : CellState::Mixed;
    } else if (auto s = coder.integer("state")) {
        state_ = *s > 0 ? CellState::On : *s == 0 ? CellState::Off : CellState::Mixed;
    }
    if (state_ == CellState::Mixed && !allowsMixedState_) state_ = CellState::On;
}

Cell::~Cell() = default;

void Cell::setDoubleValue(double v) {
    value_ = v;
    hasString_ = false;
    updateControlView();
}

int Cell::intValue() const {
    const double v = doubleValue();
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(std::trunc(v));
}

std::string Cell::stringValue() const {
    return hasString_ ? string_ : formatNumber(value_);
}

void Cell::setStringValue(const std::string& s) {
    string_ = s;
    hasString_ = true;
    value_ = parseLeadingNumber(s);
    updateControlView();
}

void Cell::setState(CellState s) {
    if (s == CellState::Mixed && !allowsMixedState_) s = CellState::On;
    if (s == state_) return;
    state_ = s;
    updateControlView();
}

void Cell::setState(int s) {
    setState(s > 0 ? CellState::On : s == 0 ? CellState::Off : CellState::Mixed);
}

CellState Cell::nextState() const {
    switch (state_) {
    case CellState::Off:
        return CellState::On;
    case CellState::On:
        return allowsMixedState_ ? CellState::Mixed : CellState::Off;
    case CellState::Mixed:
        break;
    }
    return CellState::Off;
}

void Cell::setTitle(std::string t) {
    title_ = std::move(t);
    updateControlView();
}
void Cell::setAlternateTitle(std::string t) {
    alternateTitle_ = std::move(t);
    updateControlView();
}
void Cell::setFont(Font f) {
    font_ = std::move(f);
    updateControlView();
}
void Cell::setEnabled(bool e) {
    enabled_ = e;
    updateControlView();
}
void Cell::setHighlighted(bool h) {
    if (highlighted_ == h) return;
    highlighted_ = h;
    updateControlView();
}

void Cell::updateControlView() const {
    if (controlView_) controlView_->setNeedsDisplay(true);
}

void Cell::drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) {
    drawInteriorWithFrame(g, cellFrame, controlView);
}

void Cell::drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame, View&) {
    if (title_.empty()) return;
    TextAttributes a;
    a.font = font_;
    a.foreground = enabled_ ? style::kText : style::kTextDisabled;
    a.paragraph = {TextAlignment::Center, LineBreakMode::TruncateTail};
    g.drawText(AttributedString(title_, a), cellFrame);
}

bool Cell::startTrackingAt(Point, View&) {
    return continuous_;
}
bool Cell::continueTracking(Point, Point, View&) {
    return true;
}
void Cell::stopTracking(Point, Point, View&, bool) {}

void Cell::trackMouse(const Event& e, const Rect& cellFrame, View& controlView, bool untilMouseUp,
                      TrackingCompletion done) {
    const Point p = controlView.convertPointFromView(e.locationInWindow, nullptr);
    const bool continuing = startTrackingAt(p, controlView);
    Window* w = controlView.window();
    auto session = std::make_unique<CellTrackingSession>(
        shared_from_this(), controlView.shared_from_this(), cellFrame, untilMouseUp, continuing, p,
        std::move(done));
    if (!w) {
        // Nothing will deliver a release to a view outside a window.
        session->cancel();
        return;
    }
    w->beginTrackingSession(std::move(session));
}

void Cell::sendActionFromControlView() const {
    if (auto* c = dynamic_cast<Control*>(controlView_)) c->sendAction();
}

} // namespace tk
