// SPDX-License-Identifier: GPL-3.0-or-later
// Names and keys of the notifications the hardware controller posts, shared by the controller
// that posts them and the editor and plug-in UI that observe them.
#pragma once

namespace zembra {

// Posted on the controller thread when a controller comes and goes.
inline constexpr char kKlovConnectNotification[] = "KLOV_connect";
inline constexpr char kKlovDisconnectNotification[] = "KLOV_disconnect";
// Posted on the controller thread with the stick position under the two keys below.
inline constexpr char kSetValuesFromExternalUINotification[] =
    "Veltrane_Zembra_SetValuesFromExternalUI";
// A position's two axes, 0..1: the stick's here, the pad's and the host's in the editor.
inline constexpr char kXValueKey[] = "X-Value";
inline constexpr char kYValueKey[] = "Y-Value";

} // namespace zembra
