// SPDX-License-Identifier: GPL-3.0-or-later
// What the controller's lifecycle (KlovLifecycle.cpp) and its report handling
// (KlovReports.cpp) share. Everything here runs on the controller thread unless noted.
#pragma once

#include "controller/KlovDecoder.h"
#include "platform/usb/Usb.h"

#include <memory>
#include <vector>

namespace klov {

// One controller that was opened. Each arrival gets a record of its own, with its own read
// buffer and decoder, so two controllers plugged in at once cannot overwrite or replay each
// other's reports.
struct Connection {
    std::shared_ptr<usb::Device> device;
    std::unique_ptr<usb::Interface> interface; // null once released
    uint8_t inPipe = 0;                        // 0: none
    uint8_t outPipe = 0;                       // 0: none
    KlovReport report{};                       // the buffer of the pending read
    KlovDecoder decoder = DecoderCarryingOnExportedState();
    bool readPending = false;
    int failedReads = 0;  // in a row
    bool removed = false; // the device is gone; the record goes once its read has ended
    bool lost = false;    // closed as gone, having stopped answering; removal still to come
};

// The records of the running controller thread, newest last; null when none runs.
extern std::vector<std::unique_ptr<Connection>>* gConnections;

// Lifecycle.
int SetupDevice(void* parameter);
void DeviceAdded(const std::shared_ptr<usb::Device>& device);
void DeviceRemoved(const std::shared_ptr<usb::Device>& device);
int ConfigureDevice(usb::Device& device);
usb::Status FindInterfaces(Connection& connection);
void SignalHandler(int signal);
// Drops the record once its device is gone and its read has ended.
void ForgetIfRemoved(Connection& connection);
// The controller stopped answering: closes it and says it is gone, as a removal does.
void LoseConnection(Connection& connection, usb::Status why);

// Reports and LEDs.
void ReadCompletion(void* refCon, usb::Status status, uint32_t count);
usb::Status ArmRead(Connection& connection);
// Makes the connection the one SetLed writes to.
void PublishLedTarget(const Connection& connection);
// Closes and releases the interface; SetLed no longer reaches it once this begins.
void ReleaseInterface(Connection& connection);

} // namespace klov
