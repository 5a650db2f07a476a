// SPDX-License-Identifier: GPL-3.0-or-later
// The read loop and the LEDs: every completed read lands in ReadCompletion on the
// controller thread, which has the report decoded, switches the LEDs on a button event and
// re-arms the read, or ends the loop when told to stop or when the controller is gone.
#include "controller/Klov.h"
#include "controller/KlovPrivate.h"

#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <span>

namespace klov {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// An LED write may come from the interface thread: never hold it up for long.
constexpr std::chrono::milliseconds kLedWriteTimeout{250};
// Reads failing one after another, with no report between them, before the controller
// counts as gone: one failure is a glitch on the bus, a run of them a dead device.
constexpr int kFailedReadsForRemoval = 5;

// Where SetLed writes. The lock is held across the write, so an interface is never
// closed while a write to it is in progress, and never written once it is released.
std::mutex gLedLock;
usb::Interface* gInterface = nullptr;
uint8_t gOutPipe = 0;

void WriteLeds(usb::Interface& interface, uint8_t pipe, const KlovReport& report) {
    interface.writePipe(pipe, report, kLedWriteTimeout); // the device gives no useful answer
}

// The system has let go of the device, or it has been closed under us: no use retrying.
bool DeviceIsGone(usb::Status status) {
    return status == usb::kErrorNoDevice || status == usb::kErrorNotOpen;
}

} // namespace

usb::Status ArmRead(Connection& connection) {
    const usb::Status status = connection.interface->readPipeAsync(
        connection.inPipe, connection.report, ReadCompletion, &connection);
    connection.readPending = status == usb::kSuccess;
    return status;
}

void ReadCompletion(void* refCon, usb::Status status, uint32_t count) {
    Connection& connection = *static_cast<Connection*>(refCon);
    connection.readPending = false;
    if (!gActive.load(kRelaxed)) {
        // The orderly stop: checked before the status, so a stop is seen even on error.
        ReleaseInterface(connection);
        gReadyForQuit.store(true, kRelaxed);
        ForgetIfRemoved(connection);
        return;
    }
    if (connection.removed) {
        // The removal has been posted already; this read ended with the device.
        ReleaseInterface(connection);
        ForgetIfRemoved(connection);
        return;
    }
    if (status == usb::kSuccess) {
        connection.failedReads = 0;
        // Only the bytes that came count: a short report is never completed from the last.
        const std::span<const uint8_t> received(connection.report.data(),
                                                std::min<std::size_t>(count, kKlovReportSize));
        const std::optional<KlovReport> leds = DecodeReport(connection.decoder, received);
        if (leds && connection.interface && connection.outPipe)
            WriteLeds(*connection.interface, connection.outPipe, *leds);
    } else if (DeviceIsGone(status) || ++connection.failedReads >= kFailedReadsForRemoval) {
        LoseConnection(connection, status);
        return;
    }
    // Read again, after a report or a passing error (an oversized report among them).
    if (const usb::Status armed = ArmRead(connection); armed != usb::kSuccess)
        LoseConnection(connection, armed);
}

void PublishLedTarget(const Connection& connection) {
    std::lock_guard lock(gLedLock);
    gInterface = connection.interface.get();
    gOutPipe = connection.outPipe;
}

void ReleaseInterface(Connection& connection) {
    if (!connection.interface) return;
    {
        std::lock_guard lock(gLedLock);
        if (gInterface == connection.interface.get()) {
            gInterface = nullptr;
            gOutPipe = 0;
            // Another controller still open takes over the LEDs.
            if (gConnections)
                for (const auto& other : *gConnections)
                    if (other.get() != &connection && other->interface) {
                        gInterface = other->interface.get();
                        gOutPipe = other->outPipe;
                    }
        }
    }
    connection.interface->close();
    connection.interface.reset();
    connection.readPending = false;
}

} // namespace klov

void SetLed(bool first, bool second, bool third) {
    const klov::KlovReport report = klov::LedReport(first, second, third);
    {
        std::lock_guard lock(klov::gLedLock);
        if (klov::gInterface && klov::gOutPipe != 0)
            klov::WriteLeds(*klov::gInterface, klov::gOutPipe, report);
    }
    klov::RequestStickRecapture();
}

void NotifyZembraDisplay(float x, float y) {
    fnd::NotificationCenter::defaultCenter().post(
        klov::kSetValuesFromExternalUINotification, nullptr,
        {{klov::kXValueKey, fnd::Value(x)}, {klov::kYValueKey, fnd::Value(y)}});
}

void NotifyKlovConnected() {
    fnd::NotificationCenter::defaultCenter().post(klov::kKlovConnectNotification);
}

void NotifyKlovDisconnected() {
    fnd::NotificationCenter::defaultCenter().post(klov::kKlovDisconnectNotification);
}
