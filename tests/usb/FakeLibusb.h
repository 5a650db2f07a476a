// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libusb-1.0, linked instead of it into one test: one controller on the
// bus, transfers that complete when the test says, cancels that can be made to fail, and
// counts of what was allocated, opened and freed. Only what the USB layer calls exists.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace fake_libusb {

struct Counts {
    int transfersAllocated = 0;
    int transfersFreed = 0;
    int submitted = 0;
    int opens = 0;
    int interfacesReleased = 0;
    int closes = 0;
    int exits = 0;
};

// Back to a controller on the bus, cancels that work and nothing counted.
void reset();
// Cancels are refused (as when the transfer already ended in the kernel) and the transfer
// stays with libusb until completeSubmitted().
void refuseCancels(bool refuse);
// The transfer libusb holds ends with these bytes, delivered from the next event handling
// as the kernel would: written into the transfer's buffer, then its callback called.
void completeSubmitted(std::span<const uint8_t> bytes);
Counts counts();
// Waits until `done` holds, checked after every change; false after 10 s.
bool waitFor(const std::function<bool(const Counts&)>& done);

} // namespace fake_libusb
