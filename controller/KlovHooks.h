// SPDX-License-Identifier: GPL-3.0-or-later
// Ways into the controller for tests and for the monitor's simulated session: another USB
// context, another clock, and a fresh start.
#pragma once

#include "platform/usb/MicrosecondClock.h"
#include "platform/usb/Usb.h"

#include <memory>

namespace klov {

using ContextFactory = std::shared_ptr<usb::Context> (*)();

// The USB context the next controller thread uses; nullptr (the default) means libusb.
void SetContextFactory(ContextFactory factory);

// The clock of the dial acceleration; nullptr (the default) means the monotonic clock.
// The clock must outlive every controller thread that may read it.
void SetMicrosecondClock(const usb::MicrosecondClock* clock);

// Puts the exported values and the decoder's state back to their values at load. Only
// while no controller thread runs.
void ResetControllerState();

} // namespace klov
