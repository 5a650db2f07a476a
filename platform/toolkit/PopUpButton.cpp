// SPDX-License-Identifier: GPL-3.0-or-later
// Pop-up buttons and their in-window menu.
#include "platform/toolkit/PopUpButton.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Drawing.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Style.h"

#include <algorithm>
#include <cmath>

namespace tk {

namespace {

// Room around the menu's panel for its drop shadow.
constexpr double kShadowMargin = 14.0;
// A press that moves this far (points) is a press-drag-release pick, not a click.
constexpr double kDragSlop = 3.0;

class PopUpTrackingSession final : public TrackingSession {
  public:
    PopUpTrackingSession(std::shared_ptr<PopUpButton> button, std::shared_ptr<PopUpMenuView> menu,
                         Point start)
        : button_(std::move(button)), menu_(std::move(menu)), start_(start) {}

    void mouseDragged(const Event& e) override {
        const Point p = e.locationInWindow;
        if (std::hypot(p.x - start_.x, p.y - start_.y) > kDragSlop) moved_ = true;
        menu_->highlightAt(p);
    }
    void mouseUp(const Event& e) override {
        const Point p = e.locationInWindow;
        if (std::hypot(p.x - start_.x, p.y - start_.y) > kDragSlop) moved_ = true;
        const int item = menu_->itemAt(p);
        if (moved_ && item >= 0) {
            menu_->finish(item);
        } else if (!moved_) {
            // A click: the menu stays open and takes the next click itself.
        } else {
            menu_->finish(-1);
        }
    }
    void cancel() override { menu_->finish(-1); }

  private:
    std::shared_ptr<PopUpButton> button_;
    std::shared_ptr<PopUpMenuView> menu_;
    Point start_;
    bool moved_ = false;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Cell

PopUpButtonCell::PopUpButtonCell() = default;

PopUpButtonCell::PopUpButtonCell(const Coder& coder) : ButtonCell(coder) {
    if (auto items = coder.strings("items")) items_ = *items;
    selected_ = items_.empty() ? -1 : 0;
    if (auto s = coder.integer("selectedIndex")) {
        if (*s < -1 || *s >= static_cast<int>(items_.size()))
            throw DescriptionError("selectedIndex is not an index of items");
        selected_ = *s;
    }
}

void PopUpButtonCell::addItemWithTitle(std::string title) {
    items_.push_back(std::move(title));
    if (selected_ < 0) selected_ = 0;
    updateControlView();
}

void PopUpButtonCell::addItemsWithTitles(const std::vector<std::string>& titles) {
    for (const auto& t : titles)
        items_.push_back(t);
    if (selected_ < 0 && !items_.empty()) selected_ = 0;
    updateControlView();
}

void PopUpButtonCell::removeAllItems() {
    items_.clear();
    selected_ = -1;
    updateControlView();
}

void PopUpButtonCell::selectItemAtIndex(int index) {
    if (index < -1 || index >= numberOfItems()) return;
    selected_ = index;
    updateControlView();
}

std::string PopUpButtonCell::titleOfSelectedItem() const {
    return selected_ >= 0 ? items_[static_cast<size_t>(selected_)] : std::string();
}

void PopUpButtonCell::setDoubleValue(double v) {
    if (!std::isfinite(v)) return;
    selectItemAtIndex(static_cast<int>(std::clamp(std::trunc(v), -2.0, 1e6)));
}

void PopUpButtonCell::drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View&) {
    drawing::drawPopUpFace(g, cellFrame, isHighlighted());
    const std::string t = titleOfSelectedItem();
    if (t.empty()) return;
    TextAttributes a;
    a.font = font();
    a.foreground = isEnabled() ? style::kText : style::kTextDisabled;
    a.paragraph = {TextAlignment::Left, LineBreakMode::TruncateTail};
    g.drawText(AttributedString(t, a),
               {cellFrame.x() + 8.0, cellFrame.y(), std::max(0.0, cellFrame.width() - 30.0),
                cellFrame.height()});
}

// ---------------------------------------------------------------------------------------
// Menu

PopUpMenuView::PopUpMenuView(const Rect& frame, std::vector<std::string> items, int selected,
                             Font font, std::function<void(int)> chosen)
    : OverlayView(frame), items_(std::move(items)), highlighted_(selected), font_(std::move(font)),
      chosen_(std::move(chosen)) {}

Rect PopUpMenuView::frameFor(const Rect& button, int count, int selected, double width,
                             Size windowSize) {
    const double h = count * style::kMenuItemHeight + 2.0 * style::kMenuPadding;
    const int sel = std::max(0, selected);
    // Item `sel`'s centre on the button's centre.
    const double itemCentreFromTop = style::kMenuPadding + (sel + 0.5) * style::kMenuItemHeight;
    double y = button.midY() + itemCentreFromTop - h;
    double x = button.x();
    y = std::clamp(y, 0.0, std::max(0.0, windowSize.height - h));
    x = std::clamp(x, 0.0, std::max(0.0, windowSize.width - width));
    return Rect{x, y, width, h}.insetBy(-kShadowMargin, -kShadowMargin);
}

Rect PopUpMenuView::itemRect(int index) const {
    const Rect panel = bounds().insetBy(kShadowMargin, kShadowMargin);
    return {panel.x(), panel.maxY() - style::kMenuPadding - (index + 1) * style::kMenuItemHeight,
            panel.width(), style::kMenuItemHeight};
}

int PopUpMenuView::itemAt(Point windowPoint) const {
    const Point p = convertPointFromView(windowPoint, nullptr);
    for (int i = 0; i < static_cast<int>(items_.size()); ++i)
        if (itemRect(i).contains(p)) return i;
    return -1;
}

void PopUpMenuView::highlightAt(Point windowPoint) {
    const int i = itemAt(windowPoint);
    if (i != highlighted_ &&
        (i >= 0 || !bounds()
                        .insetBy(kShadowMargin, kShadowMargin)
                        .contains(convertPointFromView(windowPoint, nullptr)))) {
        highlighted_ = i;
        setNeedsDisplay();
    }
}

void PopUpMenuView::finish(int index) {
    if (finished_) return;
    finished_ = true;
    auto self = shared_from_this(); // alive through the callback
    if (window()) window()->removeOverlay(this);
    if (auto chosen = std::move(chosen_)) chosen(index);
}

void PopUpMenuView::drawRect(GraphicsContext& g, const Rect&) {
    drawing::drawPanel(g, bounds().insetBy(kShadowMargin, kShadowMargin), true);
    TextAttributes a;
    a.font = font_;
    a.paragraph = {TextAlignment::Left, LineBreakMode::TruncateTail};
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        const Rect r = itemRect(i);
        if (i == highlighted_) {
            g.saveGraphicsState();
            g.setColor(style::kMenuHighlight);
            g.fillPath(Path::roundedRect(r.insetBy(3.0, 1.0), 3.0));
            g.restoreGraphicsState();
        }
        a.foreground = style::kText;
        g.drawText(AttributedString(items_[static_cast<size_t>(i)], a), r.insetBy(12.0, 0.0));
    }
}

void PopUpMenuView::mouseDown(const Event& e) {
    highlightAt(e.locationInWindow);
}
void PopUpMenuView::mouseDragged(const Event& e) {
    highlightAt(e.locationInWindow);
}
void PopUpMenuView::mouseUp(const Event& e) {
    const int i = itemAt(e.locationInWindow);
    if (i >= 0) finish(i);
}

void PopUpMenuView::keyDown(const Event& e) {
    const int n = static_cast<int>(items_.size());
    switch (e.key) {
    case Key::Up:
        highlighted_ = std::max(0, highlighted_ - 1);
        break;
    case Key::Down:
        highlighted_ = std::min(n - 1, highlighted_ + 1);
        break;
    case Key::Return:
    case Key::Enter:
        finish(highlighted_);
        return;
    case Key::Escape:
        finish(-1);
        return;
    default:
        return;
    }
    setNeedsDisplay();
}

// ---------------------------------------------------------------------------------------
// Control

PopUpButton::PopUpButton(const Rect& frame) : Control(frame, std::make_shared<PopUpButtonCell>()) {}

PopUpButton::PopUpButton(const Coder& coder) : Control(coder, "PopUpButtonCell") {
    if (!popUpCell()) throw DescriptionError("a PopUpButton needs a pop-up button cell");
}

void PopUpButton::addItemWithTitle(std::string title) {
    if (auto* c = popUpCell()) c->addItemWithTitle(std::move(title));
}
void PopUpButton::addItemsWithTitles(const std::vector<std::string>& titles) {
    if (auto* c = popUpCell()) c->addItemsWithTitles(titles);
}
void PopUpButton::removeAllItems() {
    if (auto* c = popUpCell()) c->removeAllItems();
}
int PopUpButton::numberOfItems() const {
    return popUpCell() ? popUpCell()->numberOfItems() : 0;
}
std::vector<std::string> PopUpButton::itemTitles() const {
    return popUpCell() ? popUpCell()->itemTitles() : std::vector<std::string>{};
}
void PopUpButton::selectItemAtIndex(int index) {
    if (auto* c = popUpCell()) c->selectItemAtIndex(index);
}
int PopUpButton::indexOfSelectedItem() const {
    return popUpCell() ? popUpCell()->indexOfSelectedItem() : -1;
}
std::string PopUpButton::titleOfSelectedItem() const {
    return popUpCell() ? popUpCell()->titleOfSelectedItem() : std::string();
}

std::shared_ptr<PopUpMenuView> PopUpButton::makeMenu() {
    auto* c = popUpCell();
    Window* w = window();
    if (!c || !w || c->numberOfItems() == 0 || isMenuOpen()) return nullptr;
    TextAttributes a;
    a.font = c->font();
    double width = frame().width();
    for (const auto& t : c->itemTitles())
        width = std::max(width, measureText(AttributedString(t, a)).width + 36.0);
    width = std::min(width, w->size().width);
    const Rect button = convertRectToView(bounds(), nullptr);
    const Rect f = PopUpMenuView::frameFor(button, c->numberOfItems(), c->indexOfSelectedItem(),
                                           width, w->size());
    std::weak_ptr<View> weakSelf = shared_from_this();
    auto menu = std::make_shared<PopUpMenuView>(
        f, c->itemTitles(), c->indexOfSelectedItem(), c->font(), [weakSelf](int index) {
            auto self = std::static_pointer_cast<PopUpButton>(weakSelf.lock());
            if (!self) return;
            if (auto* cell = self->popUpCell()) cell->setHighlighted(false);
            if (index >= 0) {
                self->selectItemAtIndex(index);
                self->sendAction();
            }
        });
    c->setHighlighted(true);
    w->addOverlay(menu);
    menu_ = menu;
    return menu;
}

void PopUpButton::openMenu() {
    if (isEnabled()) makeMenu();
}

void PopUpButton::mouseDown(const Event& e) {
    if (!isEnabled()) return;
    auto menu = makeMenu();
    if (!menu) return;
    window()->beginTrackingSession(std::make_unique<PopUpTrackingSession>(
        std::static_pointer_cast<PopUpButton>(shared_from_this()), menu, e.locationInWindow));
}

} // namespace tk
