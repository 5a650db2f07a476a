// SPDX-License-Identifier: GPL-3.0-or-later
// Every notification name and userInfo key that the editor, its controls, the hardware
// controller and the plug-in's audio side exchange on the default notification centre.
// The controls' own four names live in ControlNotifications.h, the two position keys and
// the hardware controller's three names in ControllerNotifications.h.
#pragma once

#include "controls/ControlNotifications.h"
#include "support/ControllerNotifications.h"

namespace zembra {

// Posted by the audio side; the editor answers with value-change events for every parameter.
inline constexpr char kParameterValueChangedNotification[] =
    "Veltrane_Zembra_ParameterValueChanged";
// Posted by the audio side with the instance's handle and the two input levels.
inline constexpr char kSetPeakInputLevelsNotification[] = "Veltrane_Zembra_SetPeakInputLevels";
// Posted by an editor view once when it wakes; no object, no userInfo.
inline constexpr char kRunningCocoaUINotification[] = "Veltrane_Zembra_RunningCocoaUI";

// Keys of the level notification: the instance handle (a 32-bit integer) and the levels.
inline constexpr char kRefConKey[] = "Veltrane_Zembra_RefCon";
inline constexpr char kInAPeakKey[] = "Veltrane_Zembra_In_A_Peak";
inline constexpr char kInBPeakKey[] = "Veltrane_Zembra_In_B_Peak";

} // namespace zembra
