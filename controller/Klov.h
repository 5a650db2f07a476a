// SPDX-License-Identifier: GPL-3.0-or-later
// The Kallnor KLOV hardware controller as the rest of the product sees it: the exported
// flags and control state, the LED switch, and the notifications the controller posts.
//
// The controller thread writes the shared values; any thread reads them. Each is a
// lock-free atomic read and written with relaxed order: a reader may see a value one
// update old, and nothing is ordered against anything else.
#pragma once

#include "support/ControllerNotifications.h"

#include "platform/usb/Usb.h"

#include <atomic>
#include <cstdint>

#define KLOV_EXPORT extern "C" __attribute__((visibility("default")))

// The controller task: `task` is nonzero while a controller thread has been started and
// not yet joined.
struct KlovTaskRecord {
    std::atomic<uint64_t> task;
};

KLOV_EXPORT KlovTaskRecord gKlov;

// Reading is enabled; clear it to make the next read completion end the read loop.
KLOV_EXPORT std::atomic<bool> gActive;
// False while a read loop runs; true again once a loop has been stopped through gActive.
KLOV_EXPORT std::atomic<bool> gReadyForQuit;
// A controller is set up completely and still there: not removed, its reads answered.
KLOV_EXPORT std::atomic<bool> gIsConnected;
// 1001 after any failure of device or interface set-up; never cleared.
KLOV_EXPORT std::atomic<int16_t> gError;
// The controller thread's event loop while it runs, else nullptr.
KLOV_EXPORT std::atomic<usb::Context*> gRunLoop;

// Raw knob positions: the knob's accumulated steps since load, unbounded.
KLOV_EXPORT std::atomic<float> gKnob1ControlValue;
KLOV_EXPORT std::atomic<float> gKnob2ControlValue;
KLOV_EXPORT std::atomic<float> gKnob3ControlValue;
KLOV_EXPORT std::atomic<float> gKnob4ControlValue;
// Accelerated dial values, one per knob in knob order, always within 0..127.
KLOV_EXPORT std::atomic<int64_t> gDialValues[4];
// Microsecond time of each dial's last change; in memory the low 32-bit half comes first.
KLOV_EXPORT std::atomic<uint64_t> gDialTimestamp[4];
// Last stick output, integral values 0..127.
KLOV_EXPORT std::atomic<float> gRulerX;
KLOV_EXPORT std::atomic<float> gRulerY;
// Raised to 1.0 and true on any activity; only readers lower them.
KLOV_EXPORT std::atomic<float> gTraffic;
KLOV_EXPORT std::atomic<bool> gUpdate;

// Run when the module is loaded and unloaded (KlovModule.cpp). KlovStaticInit reads the
// preference "userEnableKlovSupport", says what it chose on standard output and starts
// the controller thread unless support is off. KlovExitCleanup stops event handling and
// joins the thread; it does nothing when no thread runs.
KLOV_EXPORT void KlovStaticInit();
KLOV_EXPORT void KlovExitCleanup();

// Switches the three LEDs; from any thread. Reaches the device only while an interface
// with an OUT pipe is open. The next decoded report captures the stick's rest again.
KLOV_EXPORT void SetLed(bool first, bool second, bool third);

// Post on the default notification centre with no object, on the calling thread (the
// controller posts them on its own thread).
KLOV_EXPORT void NotifyZembraDisplay(float x, float y);
KLOV_EXPORT void NotifyKlovConnected();
KLOV_EXPORT void NotifyKlovDisconnected();

// From any thread. DestroyDevice stops reading at the next completion; CleanUpForQuit
// does that and also stops reporting arrivals and removals.
void DestroyDevice();
void CleanUpForQuit();

namespace klov {

inline constexpr uint16_t kKlovVendorId = 0x14C7; // 5319
inline constexpr uint16_t kKlovProductId = 0x0001;
inline constexpr int16_t kKlovSetupError = 1001;

using zembra::kKlovConnectNotification;
using zembra::kKlovDisconnectNotification;
using zembra::kSetValuesFromExternalUINotification;
using zembra::kXValueKey;
using zembra::kYValueKey;

} // namespace klov
