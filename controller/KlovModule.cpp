// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the controller when the module that links this file is loaded (the plug-in) and
// stops it when that module is unloaded or the process ends.
//
// KlovStaticInit touches only constant-initialised state and the preference reader, and the
// status registry is constant-initialised too, so it does not matter where this runs among
// the module's other static initialisers.
#include "controller/Klov.h"

#include "support/ControllerStatus.h"

namespace {

__attribute__((constructor)) void KlovModuleLoaded() {
    // The editor in this module reads the connection through the registry.
    zembra::registerControllerConnectedFlag(&gIsConnected);
    KlovStaticInit();
}

// KlovStaticInit also registers KlovExitCleanup with atexit(); whichever runs first does
// the work and the other finds no thread.
__attribute__((destructor)) void KlovModuleUnloaded() {
    KlovExitCleanup();
}

} // namespace
