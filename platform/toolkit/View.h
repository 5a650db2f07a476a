// SPDX-License-Identifier: GPL-3.0-or-later
// The view: a rectangle in its superview (y up, origin lower left), drawing itself in
// drawRect and receiving mouse and key events. Views are shared objects (make them with
// std::make_shared); a superview holds its subviews, a subview points back without owning.
#pragma once

#include "platform/toolkit/Connectable.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/Geometry.h"

#include <memory>
#include <vector>

namespace tk {

class Coder;
class GraphicsContext;
class Window;

class View : public Connectable, public std::enable_shared_from_this<View> {
  public:
    enum AutoresizingMask : unsigned {
        kNotSizable = 0,
        kMinXMargin = 1,
        kWidthSizable = 2,
        kMaxXMargin = 4,
        kMinYMargin = 8,
        kHeightSizable = 16,
        kMaxYMargin = 32,
    };

    explicit View(const Rect& frame = {});
    // Decoding from an interface description: frame, autoresizing mask, hidden, tag.
    explicit View(const Coder& coder);
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Geometry. Bounds always start at (0, 0).
    const Rect& frame() const { return frame_; }
    Rect bounds() const { return {0.0, 0.0, frame_.width(), frame_.height()}; }
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);
    void setFrameSize(Size size);
    Point convertPointFromView(Point p, const View* from) const; // from null: the window
    Point convertPointToView(Point p, const View* to) const;     // to null: the window
    Rect convertRectToView(const Rect& r, const View* to) const;

    // Hierarchy.
    View* superview() const { return superview_; }
    Window* window() const { return window_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<View> view);
    void removeFromSuperview();
    bool isDescendantOf(const View* ancestor) const;

    // Display.
    void setNeedsDisplay(bool flag = true);
    void setNeedsDisplayInRect(const Rect& r);
    bool needsDisplay() const { return needsDisplay_; }
    // `dirty` is the whole bounds whenever the window redraws the view.
    virtual void drawRect(GraphicsContext& g, const Rect& dirty);
    virtual bool isOpaque() const { return false; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);

    // Events. Unhandled mouse and key events go up to the superview.
    virtual View* hitTest(Point pointInSuperview);
    virtual void mouseDown(const Event& e);
    virtual void mouseDragged(const Event& e);
    virtual void mouseUp(const Event& e);
    virtual void keyDown(const Event& e);
    virtual void keyUp(const Event& e);
    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // Autoresizing when the superview's size changes.
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool flag) { autoresizesSubviews_ = flag; }
    virtual void resizeSubviewsWithOldSize(Size oldSize);
    virtual void resizeWithOldSuperviewSize(Size oldSuperviewSize);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Sent once, after an interface description has built and connected every object.
    virtual void awakeFromNib() {}

    // For the window: attaches a tree to it (or detaches with null).
    void setWindow(Window* window);
    void clearNeedsDisplay() { needsDisplay_ = false; }

  private:
    Rect frame_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    unsigned autoresizingMask_ = kNotSizable;
    bool autoresizesSubviews_ = true;
    bool needsDisplay_ = true;
    bool hidden_ = false;
    int tag_ = 0;
};

} // namespace tk
