// SPDX-License-Identifier: GPL-3.0-or-later
// The USB layer on libusb-1.0: hot-plug by vendor and product id (devices present at start
// included), configuration, interface claiming with kernel-driver detach and re-attach,
// interrupt reads and writes.
#pragma once

#include "platform/usb/Usb.h"

#include <memory>

namespace usb {

// A new libusb context; nullptr (with the reason in `status`, when given) when libusb
// cannot start or cannot report hot-plug events on this system.
std::shared_ptr<Context> createLibusbContext(Status* status = nullptr);

// libusb's error and transfer codes in our terms (exposed for tests).
Status statusFromLibusbError(int error);
Status statusFromTransferStatus(int transferStatus);

} // namespace usb
