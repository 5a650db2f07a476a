// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libusb-1.0, linked instead of it into one test: one controller on the bus,
// transfers that end when the test says, cancels that can be refused, and counts of what
// was taken and given back.
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

// Back to the start: nothing counted, cancels accepted unless `refuseCancels`, as when the
// transfer already ended in the kernel and stays with libusb until completeSubmitted().
void reset(bool refuseCancels);
// The next event handling ends the transfer libusb holds with these bytes, as the kernel
// would: written into the transfer's buffer, then its callback called.
void completeSubmitted(std::span<const uint8_t> bytes);
// Waits until `done` holds of the counts, checked after every change; false after 10 s.
bool waitFor(const std::function<bool(const Counts&)>& done);
Counts counts();

} // namespace fake_libusb
