// SPDX-License-Identifier: GPL-3.0-or-later
// View geometry, hierarchy, invalidation and default event handling.
#include "platform/toolkit/View.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Window.h"

#include <algorithm>

namespace tk {

View::View(const Rect& frame) : frame_(frame) {}

View::View(const Coder& coder) {
    coder.markUsed("frame");
    frame_ = coder.rect("frame").value_or(Rect{});
    if (frame_.width() < 0.0 || frame_.height() < 0.0)
        throw DescriptionError("frame has a negative size");
    if (auto m = coder.integer("autoresizingMask")) {
        if (*m < 0 || *m > 63) throw DescriptionError("autoresizingMask must be 0 to 63");
        autoresizingMask_ = static_cast<unsigned>(*m);
    }
    hidden_ = coder.boolean("hidden").value_or(false);
    tag_ = coder.integer("tag").value_or(0);
}

View::~View() {
    for (auto& v : subviews_) {
        v->superview_ = nullptr;
        v->setWindow(nullptr);
    }
}

void View::setFrame(const Rect& frame) {
    const Size old = frame_.size;
    frame_ = frame;
    if (old != frame.size) resizeSubviewsWithOldSize(old);
    setNeedsDisplay();
    if (superview_) superview_->setNeedsDisplay();
}

void View::setFrameOrigin(Point origin) {
    setFrame({origin, frame_.size});
}
void View::setFrameSize(Size size) {
    setFrame({frame_.origin, size});
}

Point View::convertPointFromView(Point p, const View* from) const {
    const Point inWindow = from ? from->convertPointToView(p, nullptr) : p;
    Point local = inWindow;
    for (const View* v = this; v; v = v->superview_) {
        local.x -= v->frame_.x();
        local.y -= v->frame_.y();
    }
    return local;
}

Point View::convertPointToView(Point p, const View* to) const {
    Point inWindow = p;
    for (const View* v = this; v; v = v->superview_) {
        inWindow.x += v->frame_.x();
        inWindow.y += v->frame_.y();
    }
    return to ? to->convertPointFromView(inWindow, nullptr) : inWindow;
}

Rect View::convertRectToView(const Rect& r, const View* to) const {
    return {convertPointToView(r.origin, to), r.size};
}

void View::addSubview(std::shared_ptr<View> view) {
    if (!view || view.get() == this || isDescendantOf(view.get())) return;
    view->removeFromSuperview();
    view->superview_ = this;
    subviews_.push_back(view);
    view->setWindow(window_);
    view->setNeedsDisplay();
}

void View::removeFromSuperview() {
    View* sv = superview_;
    if (!sv) return;
    // Keep this view alive until it is fully detached.
    auto self = shared_from_this();
    setWindow(nullptr);
    superview_ = nullptr;
    auto& list = sv->subviews_;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    sv->setNeedsDisplay();
}

bool View::isDescendantOf(const View* ancestor) const {
    for (const View* v = this; v; v = v->superview_)
        if (v == ancestor) return true;
    return false;
}

void View::setWindow(Window* window) {
    if (window_ == window) return;
    if (window_) window_->viewDetaching(this);
    window_ = window;
    for (auto& v : subviews_)
        v->setWindow(window);
    if (window_) setNeedsDisplay();
}

void View::setNeedsDisplay(bool flag) {
    needsDisplay_ = flag;
    if (flag && window_) window_->viewNeedsDisplay(this);
}

void View::setNeedsDisplayInRect(const Rect& r) {
    if (!r.intersection(bounds()).isEmpty()) setNeedsDisplay(true);
}

void View::setHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    if (hidden && window_) window_->viewDetaching(this);
    if (superview_) superview_->setNeedsDisplay();
    setNeedsDisplay();
}

void View::drawRect(GraphicsContext&, const Rect&) {}

View* View::hitTest(Point pointInSuperview) {
    if (hidden_ || !frame_.contains(pointInSuperview)) return nullptr;
    const Point local{pointInSuperview.x - frame_.x(), pointInSuperview.y - frame_.y()};
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it)
        if (View* hit = (*it)->hitTest(local)) return hit;
    return this;
}

void View::mouseDown(const Event& e) {
    if (superview_) superview_->mouseDown(e);
}
void View::mouseDragged(const Event& e) {
    if (superview_) superview_->mouseDragged(e);
}
void View::mouseUp(const Event& e) {
    if (superview_) superview_->mouseUp(e);
}
void View::keyDown(const Event& e) {
    if (superview_) superview_->keyDown(e);
}
void View::keyUp(const Event& e) {
    if (superview_) superview_->keyUp(e);
}

void View::resizeSubviewsWithOldSize(Size oldSize) {
    if (!autoresizesSubviews_) return;
    for (auto& v : subviews_)
        v->resizeWithOldSuperviewSize(oldSize);
}

void View::resizeWithOldSuperviewSize(Size old) {
    if (!superview_ || autoresizingMask_ == kNotSizable) return;
    const Size now = superview_->frame_.size;
    // Share each axis's change among the flexible parts in proportion to their sizes.
    auto axis = [](double delta, double lo, double size, double hi, bool flexLo, bool flexSize,
                   bool flexHi, double& origin, double& length) {
        const double total = (flexLo ? lo : 0) + (flexSize ? size : 0) + (flexHi ? hi : 0);
        const int parts = flexLo + flexSize + flexHi;
        if (parts == 0) return;
        auto share = [&](bool flex, double part) {
            if (!flex) return 0.0;
            return total > 0.0 ? delta * part / total : delta / parts;
        };
        origin += share(flexLo, lo);
        length = std::max(0.0, length + share(flexSize, size));
    };
    Rect f = frame_;
    const unsigned m = autoresizingMask_;
    axis(now.width - old.width, f.x(), f.width(), old.width - f.maxX(), m & kMinXMargin,
         m & kWidthSizable, m & kMaxXMargin, f.origin.x, f.size.width);
    axis(now.height - old.height, f.y(), f.height(), old.height - f.maxY(), m & kMinYMargin,
         m & kHeightSizable, m & kMaxYMargin, f.origin.y, f.size.height);
    setFrame(f);
}

} // namespace tk
