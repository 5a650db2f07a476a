// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the notifications the hardware controller posts, shared by the controller that
// posts them and the editor and plug-in UI that observe them.
#pragma once

namespace zembra {

// Posted on the controller thread when a controller comes and goes.
inline constexpr char kKlovConnectNotification[] = "KLOV_connect";
inline constexpr char kKlovDisconnectNotification[] = "KLOV_disconnect";
// Posted on the controller thread with the stick position ("X-Value", "Y-Value").
inline constexpr char kSetValuesFromExternalUINotification[] =
    "Veltrane_Zembra_SetValuesFromExternalUI";

} // namespace zembra
