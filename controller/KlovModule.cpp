// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the controller when the module that links this file is loaded (the plug-in) and
// stops it when that module is unloaded or the process ends.
//
// KlovStaticInit touches only constant-initialised state and the preference reader, so
// it does not matter where this runs among the module's other static initialisers.
#include "controller/Klov.h"

namespace {

__attribute__((constructor)) void KlovModuleLoaded() {
    KlovStaticInit();
}

// KlovStaticInit also registers KlovExitCleanup with atexit(); whichever runs first does
// the work and the other finds no thread.
__attribute__((destructor)) void KlovModuleUnloaded() {
    KlovExitCleanup();
}

} // namespace
