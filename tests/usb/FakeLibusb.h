// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libusb-1.0, linked instead of it into one test: one controller on the bus,
// transfers that end when the test says, cancels, detaches and claims that can be refused, and
// counts of what was taken and given back.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <functional>
#include <span>

namespace fake_libusb {

struct Counts {
    int attaches = 0; // a kernel driver given back
    int transfersAllocated = 0;
    int transfersFreed = 0;
    int submitted = 0;
    int opens = 0;
    int interfacesReleased = 0;
    int closes = 0;
    int exits = 0;
};

// How the device and the system answer.
struct Setup {
    // Cancels fail, as when the transfer already ended in the kernel and stays with libusb
    // until completeSubmitted().
    bool refuseCancels = false;
    bool kernelDriver = false; // a kernel driver holds the interface at the start
    int detachResult = 0;      // libusb's answer to detaching it
    int claimResult = 0;       // to claiming the interface (once no kernel driver holds it)
};
// Back to the start: nothing counted, the system answering as `setup` says. As Linux does, a
// claim fails as busy while a kernel driver holds the interface, and a kernel driver cannot
// be given back while the interface is claimed.
void reset(const Setup& setup);
// Whether a kernel driver holds the interface now.
bool kernelDriverAttached();
// The next event handling ends the transfer libusb holds with these bytes and `status`, as
// the kernel would: written into the transfer's buffer, then its callback called.
void completeSubmitted(std::span<const uint8_t> bytes,
                       libusb_transfer_status status = LIBUSB_TRANSFER_COMPLETED);
// Waits until `done` holds of the counts, checked after every change; false after 10 s.
bool waitFor(const std::function<bool(const Counts&)>& done);
Counts counts();

} // namespace fake_libusb
