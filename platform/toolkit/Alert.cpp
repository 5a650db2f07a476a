// SPDX-License-Identifier: GPL-3.0-or-later
// The alert panel: a modal overlay with its own buttons, and the presenter that shows the
// support library's thread-safe alerts with it.
#include "platform/toolkit/Alert.h"

#include "platform/foundation/AlertPresenter.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Drawing.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Style.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace tk {

namespace {

constexpr const char* kButtonAction = "alertButtonPressed:";
constexpr double kTabInterval = 124.0; // lines up "label:\tvalue" texts in one column

TextAttributes titleAttributes() {
    TextAttributes a;
    a.font = Font::boldSystemFont(style::kTitleFontSize);
    a.paragraph = {TextAlignment::Left, LineBreakMode::WordWrap};
    return a;
}

TextAttributes bodyAttributes() {
    TextAttributes a;
    a.font = Font::systemFont(style::kSystemFontSize);
    a.foreground = style::kTextSecondary;
    a.paragraph = {TextAlignment::Left, LineBreakMode::WordWrap, kTabInterval};
    return a;
}

int answerForIndex(size_t index) {
    return index == 0   ? Alert::kDefaultReturn
           : index == 1 ? Alert::kAlternateReturn
                        : Alert::kOtherReturn;
}

// The default button stands out.
class DefaultButtonCell final : public ButtonCell {
  public:
    void drawBezelWithFrame(GraphicsContext& g, const Rect& frame, View&) override {
        drawing::drawButtonBezel(g, frame, isHighlighted(), true);
    }
};

} // namespace

class AlertPanelView final : public OverlayView {
  public:
    AlertPanelView(std::shared_ptr<Alert> alert, Size windowSize)
        : OverlayView(Rect{0, 0, windowSize.width, windowSize.height}), alert_(std::move(alert)) {}

    void layOut() {
        const Size win = frame().size;
        const double pad = style::kAlertPadding;
        const double w = std::max(120.0, std::min(style::kAlertWidth, win.width - 24.0));
        const double textW = w - 2.0 * pad;
        titleH_ =
            alert_->title_.empty()
                ? 0.0
                : measureText(AttributedString(alert_->title_, titleAttributes()), textW).height;
        bodyH_ = alert_->text_.empty()
                     ? 0.0
                     : measureText(AttributedString(alert_->text_, bodyAttributes()), textW).height;
        double h = pad + titleH_ + (bodyH_ > 0 ? 8.0 + bodyH_ : 0.0) + 18.0 +
                   style::kAlertButtonHeight + pad;
        h = std::min(h, std::max(80.0, win.height - 16.0));
        panel_ = Rect{std::round((win.width - w) * 0.5), std::round((win.height - h) * 0.55), w, h};

        // Default rightmost, alternate to its left, other at the far left.
        double right = panel_.maxX() - pad;
        const double y = panel_.y() + pad;
        for (size_t i = 0; i < alert_->buttons_.size(); ++i) {
            const std::string& t = alert_->buttons_[i];
            TextAttributes a;
            const double bw = std::max(style::kAlertButtonMinWidth,
                                       measureText(AttributedString(t, a)).width + 28.0);
            Rect r;
            if (i == 2) {
                r = {panel_.x() + pad, y, bw, style::kAlertButtonHeight};
            } else {
                r = {right - bw, y, bw, style::kAlertButtonHeight};
                right -= bw + 10.0;
            }
            auto cell =
                i == 0 ? std::make_shared<DefaultButtonCell>() : std::make_shared<ButtonCell>();
            auto b = std::make_shared<Button>(r, cell);
            b->setTitle(t);
            b->setTag(answerForIndex(i));
            b->setTarget(this);
            b->setAction(kButtonAction);
            addSubview(b);
        }
    }

    bool isModal() const override { return true; }
    void cancelOverlay() override { finish(Alert::kDismissedReturn); }

    View* hitTest(Point p) override {
        View* hit = OverlayView::hitTest(p);
        return hit ? hit : this; // modal: the whole window is the panel's
    }
    void mouseDown(const Event&) override {}
    void mouseUp(const Event&) override {}
    void mouseDragged(const Event&) override {}

    void keyDown(const Event& e) override {
        if (e.key == Key::Return || e.key == Key::Enter) {
            finish(Alert::kDefaultReturn);
        } else if (e.key == Key::Escape) {
            // Escape means Cancel where there is such a button.
            const auto& b = alert_->buttons_;
            for (size_t i = 0; i < b.size(); ++i)
                if (b[i] == "Cancel") return finish(answerForIndex(i));
        }
    }

    bool respondsToAction(std::string_view selector) const override {
        return selector == kButtonAction;
    }
    void performAction(std::string_view selector, Control& sender) override {
        if (selector == kButtonAction) finish(sender.tag());
    }

    void drawRect(GraphicsContext& g, const Rect&) override {
        g.saveGraphicsState();
        g.setColor(style::kModalScrim);
        g.fillRect(bounds());
        g.restoreGraphicsState();
        drawing::drawPanel(g, panel_, false);
        const double pad = style::kAlertPadding;
        const double textW = panel_.width() - 2.0 * pad;
        double top = panel_.maxY() - pad;
        if (titleH_ > 0) {
            g.drawText(AttributedString(alert_->title_, titleAttributes()),
                       {panel_.x() + pad, top - titleH_, textW, titleH_}, VerticalAlignment::Top);
            top -= titleH_ + 8.0;
        }
        const double bottom = panel_.y() + pad + style::kAlertButtonHeight + 12.0;
        if (bodyH_ > 0 && top > bottom)
            g.drawText(AttributedString(alert_->text_, bodyAttributes()),
                       {panel_.x() + pad, bottom, textW, top - bottom}, VerticalAlignment::Top);
    }

    void finish(int answer) {
        if (done_) return;
        done_ = true;
        auto self = shared_from_this(); // alive through the completion
        if (window()) window()->removeOverlay(this);
        // Break the cycle between the buttons' target and this view.
        for (const auto& s : subviews())
            if (auto* c = dynamic_cast<Control*>(s.get())) c->setTarget(nullptr);
        alert_->finished(answer);
    }

  private:
    std::shared_ptr<Alert> alert_;
    Rect panel_;
    double titleH_ = 0.0;
    double bodyH_ = 0.0;
    bool done_ = false;
};

std::shared_ptr<Alert> Alert::make(std::string title, std::string informativeText,
                                   std::string defaultButton, std::string alternateButton,
                                   std::string otherButton) {
    std::shared_ptr<Alert> a(new Alert());
    a->title_ = std::move(title);
    a->text_ = std::move(informativeText);
    for (auto* b : {&defaultButton, &alternateButton, &otherButton})
        if (!b->empty()) a->addButtonWithTitle(std::move(*b));
    return a;
}

bool Alert::addButtonWithTitle(std::string title) {
    if (buttons_.size() >= 3) return false;
    buttons_.push_back(std::move(title));
    return true;
}

bool Alert::beginModal(Window& window, std::function<void(int)> completion) {
    if (window.isClosed() || isShown()) return false;
    if (buttons_.empty()) buttons_.push_back("OK");
    completion_ = std::move(completion);
    auto panel = std::make_shared<AlertPanelView>(shared_from_this(), window.size());
    panel->layOut();
    panel_ = panel;
    // The panel takes the keyboard: a field being edited underneath ends its edit.
    window.makeFirstResponder(nullptr);
    window.cancelMouseTracking();
    window.addOverlay(panel);
    return true;
}

bool Alert::isShown() const {
    return panel_.lock() != nullptr;
}

void Alert::answer(int answer) {
    if (auto p = std::dynamic_pointer_cast<AlertPanelView>(panel_.lock())) p->finish(answer);
}

View* Alert::panelView() const {
    return panel_.lock().get();
}

void Alert::finished(int answer) {
    panel_.reset();
    if (auto c = std::move(completion_)) c(answer);
}

namespace {

class WindowAlertPresenter final : public fnd::AlertPresenter {
  public:
    void present(const fnd::AlertRequest& r,
                 std::function<void(fnd::AlertAnswer)> answer) override {
        Window* w = Window::keyWindow();
        auto alert =
            Alert::make(r.title, r.message, r.defaultButton, r.alternateButton, r.otherButton);
        auto reply = [answer](int a) {
            // A window closing under the alert answers as nobody answering does: default.
            answer(a == Alert::kAlternateReturn ? fnd::AlertAnswer::Alternate
                   : a == Alert::kOtherReturn   ? fnd::AlertAnswer::Other
                                                : fnd::AlertAnswer::Default);
        };
        if (!w || !alert->beginModal(*w, reply)) {
            fnd::log(fnd::LogLevel::Notice,
                     "alert with no window to show it: " + r.title + ": " + r.message);
            answer(fnd::AlertAnswer::Default);
        }
    }
};

} // namespace

void Alert::registerAsAlertPresenter() {
    fnd::setAlertPresenter(std::make_shared<WindowAlertPresenter>());
}

} // namespace tk
