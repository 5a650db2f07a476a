// SPDX-License-Identifier: GPL-3.0-or-later
// Cells do a control's drawing and mouse tracking; the control view hosts one cell and
// forwards to it. Tracking is a state machine fed by the window, never a nested loop:
// trackMouse starts it and the completion says how it ended.
#pragma once

#include "platform/toolkit/Connectable.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/Geometry.h"
#include "platform/toolkit/Text.h"

#include <functional>
#include <memory>
#include <string>

namespace tk {

class Coder;
class GraphicsContext;
class View;

enum class CellState : int { Mixed = -1, Off = 0, On = 1 };

// Called once when tracking ends: true when it ended with the mouse up and the release
// counts (inside the cell, or anywhere for cells that track until the mouse goes up).
using TrackingCompletion = std::function<void(bool endedInside)>;

class Cell : public Connectable, public std::enable_shared_from_this<Cell> {
  public:
    Cell();
    // Decoding: "title", "alternateTitle", "state", "font", "enabled", "allowsMixedState".
    explicit Cell(const Coder& coder);
    ~Cell() override;
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;

    // Values. The base keeps one number; text cells keep a string instead.
    virtual double doubleValue() const { return value_; }
    virtual void setDoubleValue(double v);
    float floatValue() const { return static_cast<float>(doubleValue()); }
    // Truncated toward zero, saturating at the int range (NaN reads as 0).
    int intValue() const;
    void setFloatValue(float v) { setDoubleValue(v); }
    void setIntValue(int v) { setDoubleValue(v); }
    virtual std::string stringValue() const;
    virtual void setStringValue(const std::string& s);

    CellState state() const { return state_; }
    // Any positive value is on; a negative one is mixed if allowed, else on.
    void setState(CellState s);
    void setState(int s);
    bool allowsMixedState() const { return allowsMixedState_; }
    void setAllowsMixedState(bool flag) { allowsMixedState_ = flag; }
    CellState nextState() const;

    const std::string& title() const { return title_; }
    void setTitle(std::string t);
    const std::string& alternateTitle() const { return alternateTitle_; }
    void setAlternateTitle(std::string t);
    const Font& font() const { return font_; }
    void setFont(Font f);

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool c) { continuous_ = c; }

    // The view that hosts this cell; not owned.
    View* controlView() const { return controlView_; }
    void setControlView(View* v) { controlView_ = v; }
    // Redraws the whole control view.
    void updateControlView() const;

    // Drawing. The base draws the interior only; the interior draws the title.
    virtual void drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView);
    virtual void drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame,
                                       View& controlView);

    // Tracking steps, in the cell's control view coordinates. Continue answering false
    // ends tracking early.
    virtual bool startTrackingAt(Point p, View& controlView);
    virtual bool continueTracking(Point last, Point current, View& controlView);
    virtual void stopTracking(Point last, Point stop, View& controlView, bool mouseIsUp);
    virtual bool prefersTrackingUntilMouseUp() const { return false; }
    // Starts following the press `e`: the start step now, then each drag and the release
    // (or a lost grab, which stops with mouseIsUp false) as the window delivers them.
    // Without untilMouseUp, leaving cellFrame ends tracking. `done` receives the result.
    virtual void trackMouse(const Event& e, const Rect& cellFrame, View& controlView,
                            bool untilMouseUp, TrackingCompletion done);

    virtual void awakeFromNib() {}

  protected:
    // Sends the control view's action, if it is a control.
    void sendActionFromControlView() const;

  private:
    double value_ = 0.0;
    std::string string_;
    bool hasString_ = false;
    CellState state_ = CellState::Off;
    bool allowsMixedState_ = false;
    std::string title_;
    std::string alternateTitle_;
    Font font_;
    bool enabled_ = true;
    bool highlighted_ = false;
    bool continuous_ = false;
    View* controlView_ = nullptr;
};

} // namespace tk
