// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the notifications the editor's controls post and observe, in one place for the
// controls and the editor alike (the position keys are shared with the controller's stick).
// A notification's object is the control as `const tk::View*` (postingObject below), so that
// observers compare like with like.
#pragma once

#include "platform/toolkit/View.h"
#include "support/ControllerNotifications.h"

namespace zembra {

inline constexpr char kBeginGestureNotification[] = "Veltrane_Zembra_BeginGesture";
inline constexpr char kEndGestureNotification[] = "Veltrane_Zembra_EndGesture";
inline constexpr char kSendUpdatedValuesToHostNotification[] =
    "Veltrane_Zembra_SendUpdatedValuesToHost";
inline constexpr char kSetValuesFromHostNotification[] = "Veltrane_Zembra_SetValuesFromHost";

inline const void* postingObject(const tk::View* view) {
    return static_cast<const void*>(view);
}

} // namespace zembra
