// SPDX-License-Identifier: GPL-3.0-or-later
// The window a view tree lives in, independent of what shows it: event routing (hit
// testing, first responder, pointer tracking sessions), overlays drawn above the content
// (menus, modal panels), and drawing the tree into a graphics context. Backends derive
// from it: HeadlessWindow for tests and tools, the plug-in UI host for hosts.
#pragma once

#include "platform/toolkit/Event.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/View.h"

#include <memory>
#include <vector>

namespace tk {

// A press being followed until release. The window hands it every drag and the release;
// if the pointer grab ends first (grab lost, window closing) it calls cancel instead.
// Exactly one of mouseUp and cancel is called, after which the session is destroyed.
class TrackingSession {
  public:
    virtual ~TrackingSession() = default;
    virtual void mouseDragged(const Event& e) = 0;
    virtual void mouseUp(const Event& e) = 0;
    virtual void cancel() = 0;
};

// A view shown above the content view in window coordinates: a menu or a modal panel.
class OverlayView : public View {
  public:
    using View::View;
    // A modal overlay takes every event while it is up.
    virtual bool isModal() const { return false; }
    // A click outside a non-modal overlay, or the window closing: the overlay goes away.
    virtual void cancelOverlay();
};

class Window {
  public:
    explicit Window(Size size, double scale = 1.0);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    Size size() const { return size_; }
    double scale() const { return scale_; }
    // The content view follows the window's size through its autoresizing mask.
    void setSize(Size size);

    void setContentView(std::shared_ptr<View> view);
    View* contentView() const { return content_.get(); }

    void addOverlay(std::shared_ptr<OverlayView> overlay);
    void removeOverlay(OverlayView* overlay);
    const std::vector<std::shared_ptr<OverlayView>>& overlays() const { return overlays_; }
    bool hasModalOverlay() const;

    // Null makes the window itself first responder. False when the current one refused to
    // resign.
    bool makeFirstResponder(View* view);
    View* firstResponder() const;

    // Events in window coordinates (points, y up).
    void mouseDown(Point p, int clickCount = 1, unsigned modifiers = 0);
    void mouseDragged(Point p, unsigned modifiers = 0);
    void mouseUp(Point p, unsigned modifiers = 0);
    void keyDown(const Event& e);
    void keyUp(const Event& e);
    // The pointer grab ended without a release: a tracking session is cancelled, a view
    // that had the press gets a synthetic release at the last known position.
    void cancelMouseTracking();
    // Ends tracking, dismisses overlays and detaches the content; events are ignored after.
    void close();
    bool isClosed() const { return closed_; }

    void beginTrackingSession(std::unique_ptr<TrackingSession> session);
    bool isTracking() const { return session_ != nullptr; }

    // Drawing.
    bool needsDisplay() const { return needsDisplay_; }
    void viewNeedsDisplay(View* view);
    // Draws the content and overlays (each view with its whole bounds as the dirty rect)
    // and marks everything clean.
    void draw(GraphicsContext& g);
    ShadowCache& shadowCache() { return shadows_; }
    // Host pixels (y down, origin top left) to window points.
    Point pointFromDevice(double x, double y) const;

    // The open window that was created or used most recently, or null.
    static Window* keyWindow();

    // For views leaving the window: forget them as first responder or press target.
    void viewDetaching(View* view);

  protected:
    // A backend schedules a redraw here; the headless window draws on demand instead.
    virtual void displayRequested() {}

  private:
    void drawView(GraphicsContext& g, View& v);
    Event mouseEvent(EventType type, Point p, int clickCount, unsigned modifiers) const;

    Size size_;
    double scale_;
    std::shared_ptr<View> content_;
    std::vector<std::shared_ptr<OverlayView>> overlays_;
    std::weak_ptr<View> firstResponder_;
    std::shared_ptr<View> pressedView_; // had the press; receives drags and the release
    std::unique_ptr<TrackingSession> session_;
    Point lastMouse_;
    bool needsDisplay_ = true;
    bool closed_ = false;
    ShadowCache shadows_;
};

} // namespace tk
