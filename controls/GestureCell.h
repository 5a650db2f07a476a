// SPDX-License-Identifier: GPL-3.0-or-later
// What every cell of the editor's own does alike: it goes back to its defaults when woken
// from the interface description, and announces the gestures made on its control, so that
// the host takes a drag or a click as one change.
#pragma once

#include "controls/ControlNotifications.h"
#include "platform/foundation/NotificationCenter.h"

template <class ToolkitCell> class GestureCell : public ToolkitCell {
  public:
    using ToolkitCell::ToolkitCell;

    void awakeFromNib() override { prepare(); }
    // The cell's defaults, which its members also start with.
    virtual void prepare() = 0;

    void beginGesture() { post(zembra::kBeginGestureNotification); }
    void endGesture() { post(zembra::kEndGestureNotification); }

  private:
    void post(const char* name) {
        fnd::NotificationCenter::defaultCenter().post(name,
                                                      zembra::postingObject(this->controlView()));
    }
};
