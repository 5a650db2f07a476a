// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated USB bus for tests and demonstrations: devices are plugged in and out by a
// script, their input reports reach the pending read as completions on the context's
// thread, what is written to them is kept, and any set-up step can be made to fail.
//
// The script runs on any thread. settle() waits until the context's thread has handled
// everything the script caused, so a test can check the results without timing anything.
#pragma once

#include "platform/usb/Usb.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace usb {

namespace detail {
struct SimCore;
}

// Set-up steps that can be made to fail, on every attempt, with SimDeviceSpec::failure.
enum class SimStep : uint8_t {
    None,
    Open,
    ConfigurationDescriptor,
    SetConfiguration,
    OpenInterface,
    NumEndpoints,
    ArmRead,
};

struct SimDeviceSpec {
    uint16_t vendorId = 0x14C7;
    uint16_t productId = 0x0001;
    uint8_t configurationCount = 1; // 0: a device that offers no configuration
    uint8_t configurationValue = 1;
    // The system selected that configuration when the device was enumerated, as Linux does
    // for a device with one configuration; false: the device is unconfigured.
    bool configured = true;
    // Another process has claimed the interface: claiming it fails as busy, and so does
    // selecting a configuration, as the system refuses both while an interface is held.
    bool heldByAnotherProcess = false;
    bool hasInterface = true;
    // Pipe 1 is an interrupt IN, pipe 2 an interrupt OUT, both of 8-byte packets.
    std::vector<PipeProperties> pipes = {
        {Direction::In, 1, TransferType::Interrupt, 8, 10},
        {Direction::Out, 2, TransferType::Interrupt, 8, 10},
    };
    SimStep failAt = SimStep::None;
    Status failure = kErrorIo;
};

// The script's hold on one simulated device. Copies refer to the same device.
class SimDevice {
  public:
    // The bytes reach the pending read, or the next one armed if none is pending. More
    // bytes than the read asked for end it with kErrorOverflow, the buffer filled, as on
    // a real bus.
    void sendReport(std::span<const uint8_t> bytes) const;
    // Ends the pending read (or the next one) with `status`, as a bus error would.
    void failRead(Status status) const;

    // Every write that reached the device, oldest first.
    std::vector<std::vector<uint8_t>> writes() const;
    bool isOpen() const; // some handle of it is open
    bool isInterfaceClaimed() const;
    bool isReadPending() const;    // armed and not yet completed
    int openCount() const;         // successful opens so far
    uint8_t configuration() const; // the selected configuration value, 0 before any
    // Every request that changed the device's state, oldest first (such as
    // "set configuration 1"): what another process using the device would notice.
    std::vector<std::string> requests() const;

  private:
    friend class SimContext;
    SimDevice(std::shared_ptr<detail::SimCore> core, int id) : mCore(std::move(core)), mId(id) {}
    std::shared_ptr<detail::SimCore> mCore;
    int mId;
};

class SimContext final : public Context {
  public:
    SimContext();
    ~SimContext() override;
    SimContext(const SimContext&) = delete;
    SimContext& operator=(const SimContext&) = delete;

    Status watch(uint16_t vendorId, uint16_t productId, Listener& listener) override;
    void unwatch() override;
    void run() override;
    void stop() override;

    // The next watch() fails with `status`.
    void failWatch(Status status);
    SimDevice plugIn(SimDeviceSpec spec = {});
    // The removal is reported, then the pending read ends with kErrorNoDevice.
    void unplug(const SimDevice& device);

    // Waits until run() has handled all queued events and waits for more, or has ended,
    // or watch() failed. False when that takes longer than 10 s: the code under test hangs.
    bool settle();

  private:
    struct Presence;
    void dispatchArrival(int id);
    void dispatchRemoval(int id);

    std::shared_ptr<detail::SimCore> mCore;
    std::unique_ptr<Presence> mPresence; // touched on the run() thread only
};

} // namespace usb
