// SPDX-License-Identifier: GPL-3.0-or-later
// USB device services for the hardware controller: watch for a device by vendor and product
// id, open it, select a configuration, claim its first interface, read its endpoints, read
// asynchronously and write synchronously. Two backends implement it: libusb-1.0
// (LibusbContext.h) and a scripted device for tests (SimContext.h).
//
// Threads: a Context's events are handled by the one thread that calls run(). Every call
// into a Listener and every read completion happens on that thread, never from inside
// another call of this interface, so handlers may call back in (close, re-arm, write).
// Device and Interface methods are meant for that thread too, except Interface::writePipe,
// which any thread may call, and Context::stop and Context::unwatch.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

namespace usb {

// 0 on success; the failures are negative.
using Status = int32_t;
inline constexpr Status kSuccess = 0;
inline constexpr Status kErrorIo = -1;
inline constexpr Status kErrorInvalidParam = -2;
inline constexpr Status kErrorAccess = -3;
inline constexpr Status kErrorNoDevice = -4;
inline constexpr Status kErrorNotFound = -5;
inline constexpr Status kErrorBusy = -6;
inline constexpr Status kErrorTimeout = -7;
inline constexpr Status kErrorOverflow = -8;
inline constexpr Status kErrorPipe = -9;
inline constexpr Status kErrorInterrupted = -10;
inline constexpr Status kErrorNoMemory = -11;
inline constexpr Status kErrorNotSupported = -12;
inline constexpr Status kErrorAborted = -13; // a read cancelled by close or stop
inline constexpr Status kErrorNotOpen = -14; // the interface was already closed
inline constexpr Status kErrorOther = -99;

// A short English name for log lines, such as "no device".
const char* statusText(Status status);

// Numbered as in the endpoint descriptor.
enum class Direction : uint8_t { Out = 0, In = 1 };
enum class TransferType : uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

struct PipeProperties {
    Direction direction = Direction::Out;
    uint8_t number = 0; // endpoint number, 1..15
    TransferType transferType = TransferType::Control;
    uint16_t maxPacketSize = 0;
    uint8_t interval = 0;
};

// Called once per armed read with the bytes received (count) or a failure.
using ReadCompletion = void (*)(void* refCon, Status status, uint32_t count);

// A claimed interface. Pipes are numbered 1..numEndpoints in descriptor order; pipe 0 is
// the control pipe and is never read or written here.
class Interface {
  public:
    virtual ~Interface() = default; // closes

    virtual Status numEndpoints(uint8_t& count) = 0;
    virtual Status pipeProperties(uint8_t pipe, PipeProperties& properties) = 0;

    // Starts one read of buffer.size() bytes on an IN pipe; `completion` runs later on the
    // context's thread. The buffer must stay valid until then or until close(). One read
    // per interface at a time (a second gives kErrorBusy).
    virtual Status readPipeAsync(uint8_t pipe, std::span<uint8_t> buffer, ReadCompletion completion,
                                 void* refCon) = 0;

    // Writes all of `data` to an OUT pipe and waits at most `timeout`. From any thread.
    // After close() has begun it returns kErrorNotOpen without touching the device.
    virtual Status writePipe(uint8_t pipe, std::span<const uint8_t> data,
                             std::chrono::milliseconds timeout) = 0;

    // Ends a pending read without calling its completion, waits for a write in progress,
    // releases the interface and gives back a kernel driver detached to claim it. Nothing
    // is written into the pending read's buffer after close() has returned, even when the
    // system cannot cancel that read.
    virtual void close() = 0;
};

// A matching device as the context reports it. Nothing is opened until open().
class Device {
  public:
    virtual ~Device() = default; // closes

    virtual uint16_t vendorId() const = 0;
    virtual uint16_t productId() const = 0;

    virtual Status open() = 0;
    virtual Status numberOfConfigurations(uint8_t& count) = 0;
    // The bConfigurationValue of the configuration descriptor at `index`.
    virtual Status configurationValue(uint8_t index, uint8_t& value) = 0;
    // Sends nothing when `value` is the active configuration already. The system refuses
    // (kErrorBusy) while any interface of the device is claimed, by anyone.
    virtual Status setConfiguration(uint8_t value) = 0;
    // Claims the first interface (alternate setting 0) of the active configuration;
    // kErrorNotFound when it has none.
    virtual Status openFirstInterface(std::unique_ptr<Interface>& interface) = 0;
    // Gives back the device; an interface still open keeps it alive until it is closed.
    virtual void close() = 0;
};

class Listener {
  public:
    virtual void deviceArrived(const std::shared_ptr<Device>& device) = 0;
    // `device` is the object deviceArrived was given. A removal is reported only for a
    // device whose arrival was.
    virtual void deviceRemoved(const std::shared_ptr<Device>& device) = 0;

  protected:
    ~Listener() = default;
};

class Context {
  public:
    virtual ~Context() = default;

    // Reports arrivals and removals of devices with these ids, starting with the devices
    // present now; the reports come from run(). Once per context.
    virtual Status watch(uint16_t vendorId, uint16_t productId, Listener& listener) = 0;
    // From any thread: no further arrivals or removals are reported.
    virtual void unwatch() = 0;

    // Handles events on the calling thread until stop(). Before returning it ends every
    // pending read and delivers its completion with a failure (kErrorAborted, or the
    // failure the read met first), so the owner of each read sees it end; reads armed
    // after that fail with kErrorAborted.
    virtual void run() = 0;
    // From any thread, before or during run().
    virtual void stop() = 0;
};

} // namespace usb
