// SPDX-License-Identifier: GPL-3.0-or-later
// Event routing and drawing for a view tree, shared by every window backend.
#include "platform/toolkit/Window.h"

#include "platform/toolkit/Alert.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace tk {

namespace {
// Open windows, most recently used first. Interface thread only.
std::vector<Window*>& openWindows() {
    static std::vector<Window*> windows;
    return windows;
}
void bringToFront(Window* w) {
    auto& list = openWindows();
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    list.push_back(w);
    std::rotate(list.begin(), list.end() - 1, list.end());
}
void forget(Window* w) {
    auto& list = openWindows();
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}
} // namespace

Window* Window::keyWindow() {
    const auto& list = openWindows();
    return list.empty() ? nullptr : list.front();
}

void OverlayView::cancelOverlay() {
    if (window()) window()->removeOverlay(this);
}

Window::Window(Size size, double scale) : size_(size), scale_(scale > 0.0 ? scale : 1.0) {
    static std::once_flag presenter;
    std::call_once(presenter, [] { Alert::registerAsAlertPresenter(); });
    bringToFront(this);
}

Window::~Window() {
    close();
    forget(this);
}

void Window::setSize(Size size) {
    const Size old = size_;
    size_ = size;
    if (content_ && content_->autoresizingMask() != View::kNotSizable) {
        // The content view's superview is the window: resize it like a subview.
        Rect f = content_->frame();
        const unsigned m = content_->autoresizingMask();
        if (m & View::kWidthSizable)
            f.size.width = std::max(0.0, f.width() + size.width - old.width);
        if (m & View::kHeightSizable)
            f.size.height = std::max(0.0, f.height() + size.height - old.height);
        content_->setFrame(f);
    }
    viewNeedsDisplay(nullptr);
}

void Window::setContentView(std::shared_ptr<View> view) {
    if (content_) content_->setWindow(nullptr);
    content_ = std::move(view);
    if (content_) {
        content_->removeFromSuperview();
        content_->setWindow(this);
    }
    viewNeedsDisplay(nullptr);
}

void Window::addOverlay(std::shared_ptr<OverlayView> overlay) {
    if (!overlay || closed_) return;
    overlays_.push_back(overlay);
    overlay->setWindow(this);
    viewNeedsDisplay(nullptr);
}

void Window::removeOverlay(OverlayView* overlay) {
    auto it = std::find_if(overlays_.begin(), overlays_.end(),
                           [&](const auto& o) { return o.get() == overlay; });
    if (it == overlays_.end()) return;
    auto keep = *it; // alive until detached
    overlays_.erase(it);
    keep->setWindow(nullptr);
    viewNeedsDisplay(nullptr);
}

bool Window::hasModalOverlay() const {
    return std::any_of(overlays_.begin(), overlays_.end(),
                       [](const auto& o) { return o->isModal(); });
}

bool Window::makeFirstResponder(View* view) {
    auto current = firstResponder_.lock();
    if (current.get() == view) return true;
    if (current && !current->resignFirstResponder()) return false;
    firstResponder_.reset();
    if (view && view->window() == this && view->becomeFirstResponder())
        firstResponder_ = view->shared_from_this();
    return true;
}

View* Window::firstResponder() const {
    return firstResponder_.lock().get();
}

Event Window::mouseEvent(EventType type, Point p, int clickCount, unsigned modifiers) const {
    Event e;
    e.type = type;
    e.locationInWindow = p;
    e.clickCount = clickCount;
    e.modifierFlags = modifiers;
    return e;
}

void Window::mouseDown(Point p, int clickCount, unsigned modifiers) {
    if (closed_) return;
    bringToFront(this);
    // A press while another is still being followed: the backend lost a release.
    if (session_ || pressedView_) cancelMouseTracking();
    lastMouse_ = p;
    const Event e = mouseEvent(EventType::MouseDown, p, clickCount, modifiers);

    View* hit = nullptr;
    if (!overlays_.empty()) {
        auto top = overlays_.back();
        hit = top->hitTest(p);
        if (!hit) {
            if (!top->isModal()) top->cancelOverlay(); // a click outside closes a menu
            return;                                    // and goes no further
        }
    } else if (content_) {
        hit = content_->hitTest(p);
    }
    if (!hit) return;
    if (hit->acceptsFirstResponder()) makeFirstResponder(hit);
    pressedView_ = hit->shared_from_this();
    auto keep = pressedView_;
    keep->mouseDown(e);
}

void Window::mouseDragged(Point p, unsigned modifiers) {
    if (closed_) return;
    lastMouse_ = p;
    const Event e = mouseEvent(EventType::MouseDragged, p, 1, modifiers);
    if (session_) {
        session_->mouseDragged(e);
    } else if (pressedView_) {
        auto keep = pressedView_;
        keep->mouseDragged(e);
    }
}

void Window::mouseUp(Point p, unsigned modifiers) {
    if (closed_) return;
    lastMouse_ = p;
    const Event e = mouseEvent(EventType::MouseUp, p, 1, modifiers);
    auto view = std::exchange(pressedView_, nullptr);
    if (auto s = std::exchange(session_, nullptr)) {
        s->mouseUp(e);
    } else if (view) {
        view->mouseUp(e);
    }
}

void Window::cancelMouseTracking() {
    auto view = std::exchange(pressedView_, nullptr);
    if (auto s = std::exchange(session_, nullptr)) {
        s->cancel();
    } else if (view) {
        Event e = mouseEvent(EventType::MouseUp, lastMouse_, 1, 0);
        e.synthetic = true;
        view->mouseUp(e);
    }
}

void Window::keyDown(const Event& e) {
    if (closed_) return;
    bringToFront(this);
    if (!overlays_.empty()) {
        overlays_.back()->keyDown(e);
        return;
    }
    if (auto fr = firstResponder_.lock()) fr->keyDown(e);
}

void Window::keyUp(const Event& e) {
    if (closed_) return;
    if (!overlays_.empty()) {
        overlays_.back()->keyUp(e);
        return;
    }
    if (auto fr = firstResponder_.lock()) fr->keyUp(e);
}

void Window::close() {
    if (closed_) return;
    cancelMouseTracking();
    while (!overlays_.empty()) {
        const size_t before = overlays_.size();
        overlays_.back()->cancelOverlay();
        if (overlays_.size() == before) removeOverlay(overlays_.back().get());
    }
    makeFirstResponder(nullptr);
    closed_ = true;
    forget(this);
    if (content_) content_->setWindow(nullptr);
    content_.reset();
}

void Window::beginTrackingSession(std::unique_ptr<TrackingSession> session) {
    if (closed_) {
        if (session) session->cancel();
        return;
    }
    if (auto old = std::exchange(session_, nullptr)) old->cancel();
    session_ = std::move(session);
}

void Window::viewNeedsDisplay(View*) {
    const bool was = needsDisplay_;
    needsDisplay_ = true;
    if (!was) displayRequested();
}

void Window::viewDetaching(View* view) {
    if (auto fr = firstResponder_.lock(); fr && fr->isDescendantOf(view)) {
        fr->resignFirstResponder();
        firstResponder_.reset();
    }
    if (pressedView_ && pressedView_->isDescendantOf(view) && !session_) {
        // The view leaves mid-press: pair its press now rather than never.
        auto v = std::exchange(pressedView_, nullptr);
        Event e = mouseEvent(EventType::MouseUp, lastMouse_, 1, 0);
        e.synthetic = true;
        v->mouseUp(e);
    }
}

void Window::drawView(GraphicsContext& g, View& v) {
    v.clearNeedsDisplay();
    if (v.isHidden()) return;
    g.saveGraphicsState();
    g.translate(v.frame().x(), v.frame().y());
    g.clipToRect(v.bounds());
    const size_t fence = g.fence();
    v.drawRect(g, v.bounds());
    g.unfence(fence);
    // Copy: drawing may not change the hierarchy, but a subview list must not shift
    // under the loop if a view misbehaves.
    const auto subs = v.subviews();
    for (const auto& s : subs)
        drawView(g, *s);
    g.restoreGraphicsState();
}

void Window::draw(GraphicsContext& g) {
    needsDisplay_ = false;
    if (content_) drawView(g, *content_);
    const auto overlays = overlays_;
    for (const auto& o : overlays)
        drawView(g, *o);
}

Point Window::pointFromDevice(double x, double y) const {
    return {x / scale_, size_.height - y / scale_};
}

} // namespace tk
