// SPDX-License-Identifier: GPL-3.0-or-later
// The registered controller flag; constant-initialised, so registering from a module's
// load-time constructor needs no ordering among static initialisers.
#include "support/ControllerStatus.h"

namespace zembra {
namespace {

std::atomic<const std::atomic<bool>*> gConnectedFlag{nullptr};

} // namespace

void registerControllerConnectedFlag(const std::atomic<bool>* connected) {
    gConnectedFlag.store(connected, std::memory_order_release);
}

bool controllerConnected() {
    const std::atomic<bool>* flag = gConnectedFlag.load(std::memory_order_acquire);
    return flag && flag->load(std::memory_order_relaxed);
}

} // namespace zembra
