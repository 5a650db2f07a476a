// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a hardware controller is connected, for the parts of the module that sit beside
// the controller (the editor) and so cannot refer to it. A module that carries the
// controller registers the controller's flag when it is loaded.
#pragma once

#include <atomic>

namespace zembra {

// `connected` must stay valid for as long as the module is loaded; nullptr forgets it.
void registerControllerConnectedFlag(const std::atomic<bool>* connected);
// False while no controller is registered, as in a module without one.
bool controllerConnected();

} // namespace zembra
