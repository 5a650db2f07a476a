// Input reports, control state and LEDs: every completed read lands in ReadCompletion on
// the controller thread, which decodes the report into the exported values, switches the
// LEDs on a button event, posts the stick position and re-arms the read.
#include "controller/Klov.h"
#include "controller/KlovHooks.h"
#include "controller/KlovPrivate.h"

#include "platform/foundation/NotificationCenter.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace klov {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// An LED write may come from the interface thread: never hold it up for long.
constexpr std::chrono::milliseconds kLedWriteTimeout{250};
// Raw units either side of the captured rest within which the stick counts as resting.
constexpr int32_t kStickDeadZone = 5;
constexpr int32_t kStickLeft = -1;

// Report bytes and bits.
constexpr std::size_t kStatusByte = 0;
constexpr std::size_t kButtonByte = 2;
constexpr std::size_t kStickXByte = 3;
constexpr std::size_t kStickYByte = 4;
constexpr std::size_t kKnobs12Byte = 5; // knob 1 low nibble, knob 2 high nibble
constexpr std::size_t kKnobs34Byte = 6; // knob 3 high nibble, knob 4 low nibble
constexpr uint8_t kStatusMask = 0xF0;   // the report is dropped unless these are clear
constexpr uint8_t kStickRestBit = 0x01;
constexpr uint8_t kLedEventBit = 0x02;

std::atomic<float>* const gKnobControlValues[4] = {&gKnob1ControlValue, &gKnob2ControlValue,
                                                   &gKnob3ControlValue, &gKnob4ControlValue};

// Decoder state: controller thread only, except gStickRecapture, which SetLed raises.
uint8_t gLastButtons = 0;
int64_t gKnobAccum[4] = {};
int64_t gKnobAccumSeen[4] = {};
int32_t gStickRestX = kStickLeft;
int32_t gStickRestY = kStickLeft;
std::atomic<bool> gStickRecapture{true};

std::atomic<const usb::MicrosecondClock*> gClock{nullptr};

// Where SetLed writes. The lock is held across the write, so an interface is never
// closed while a write to it is in progress, and never written once it is released.
std::mutex gLedLock;
usb::Interface* gInterface = nullptr;
uint8_t gOutPipe = 0;

usb::Microseconds ClockNow() {
    const usb::MicrosecondClock* clock = gClock.load(kRelaxed);
    return (clock ? *clock : usb::monotonicMicrosecondClock()).now();
}

void WriteLeds(usb::Interface& interface, uint8_t pipe, const KlovReport& report) {
    interface.writePipe(pipe, report, kLedWriteTimeout); // the device gives no useful answer
}

void RaiseActivity() {
    gUpdate.store(true, kRelaxed);
    gTraffic.store(1.0f, kRelaxed);
}

void UpdateStickRest(const KlovReport& r) {
    const bool recapture = gStickRecapture.exchange(false, kRelaxed);
    if ((r[kButtonByte] & kStickRestBit) || recapture) {
        gStickRestX = r[kStickXByte];
        gStickRestY = r[kStickYByte];
        return;
    }
    // An axis that left its rest stays left (-1 is never within the dead zone of 5..255,
    // and within it of 0..4 it stays -1 anyway) until the next capture.
    auto follow = [](int32_t rest, int32_t now) {
        return std::abs(rest - now) <= kStickDeadZone ? rest : kStickLeft;
    };
    gStickRestX = follow(gStickRestX, r[kStickXByte]);
    gStickRestY = follow(gStickRestY, r[kStickYByte]);
}

void MoveDials() {
    for (int k = 0; k < 4; ++k) {
        if (gKnobAccum[k] == gKnobAccumSeen[k]) continue;
        const usb::Microseconds now = ClockNow();
        const usb::Microseconds last =
            usb::Microseconds::fromValue(gDialTimestamp[k].load(kRelaxed));
        const float factor = DialFactor(now, last);
        const auto step =
            static_cast<int64_t>(static_cast<float>(gKnobAccum[k] - gKnobAccumSeen[k]) * factor);
        const int64_t dial = std::clamp<int64_t>(gDialValues[k].load(kRelaxed) + step, 0, 127);
        gDialValues[k].store(dial, kRelaxed);
        gKnobControlValues[k]->store(static_cast<float>(gKnobAccum[k]), kRelaxed);
        gKnobAccumSeen[k] = gKnobAccum[k];
        gDialTimestamp[k].store(ClockNow().value(), kRelaxed);
    }
    gTraffic.store(1.0f, kRelaxed);
}

void PostStick(const KlovReport& r) {
    gUpdate.store(true, kRelaxed);
    const StickPoint out = StickOutput(r[kStickXByte], r[kStickYByte]);
    NotifyZembraDisplay(static_cast<float>(out.x) / 127.0f, static_cast<float>(out.y) / 127.0f);
    gRulerX.store(static_cast<float>(out.x), kRelaxed);
    gRulerY.store(static_cast<float>(out.y), kRelaxed);
    gTraffic.store(1.0f, kRelaxed);
}

// Decodes the report in the connection's buffer, if its button byte changed.
void DecodeReport(Connection& connection) {
    KlovReport& r = connection.report;
    // Only a change of the button byte makes a report count: the device repeats its last
    // report, and knob or stick bytes that come with an unchanged button byte are stale.
    if (r[kButtonByte] == gLastButtons) return;
    gLastButtons = r[kButtonByte];

    if ((r[kStatusByte] & kStatusMask) == 0) {
        gKnobAccum[0] += KnobStep(r[kKnobs12Byte] & 0x0F);
        gKnobAccum[1] += KnobStep(r[kKnobs12Byte] >> 4);
        gKnobAccum[2] += KnobStep(r[kKnobs34Byte] >> 4);
        gKnobAccum[3] += KnobStep(r[kKnobs34Byte] & 0x0F);

        UpdateStickRest(r);

        if (r[kButtonByte] & kLedEventBit) {
            const bool on = r[kButtonByte] & kStickRestBit;
            if (connection.interface && connection.outPipe)
                WriteLeds(*connection.interface, connection.outPipe, LedReport(on, on, on));
            gStickRecapture.store(true, kRelaxed);
            RaiseActivity();
        }

        if (r[kKnobs12Byte] != 0 || r[kKnobs34Byte] != 0) {
            gUpdate.store(true, kRelaxed);
            MoveDials();
        }

        if (gStickRestX == kStickLeft && gStickRestY == kStickLeft) PostStick(r);
    }
    // A short report leaves the bytes it did not deliver as they were: the LED event must
    // not fire again from a stale byte.
    r[kButtonByte] &= static_cast<uint8_t>(~kLedEventBit);
}

} // namespace

usb::Status ArmRead(Connection& connection) {
    const usb::Status status = connection.interface->readPipeAsync(
        connection.inPipe, connection.report, ReadCompletion, &connection);
    connection.readPending = status == usb::kSuccess;
    return status;
}

void ReadCompletion(void* refCon, usb::Status status, uint32_t) {
    Connection& connection = *static_cast<Connection*>(refCon);
    connection.readPending = false;
    if (!gActive.load(kRelaxed)) {
        // The orderly stop: checked before the status, so a stop is seen even on error.
        ReleaseInterface(connection);
        gReadyForQuit.store(true, kRelaxed);
        ForgetIfRemoved(connection);
        return;
    }
    // Unplugged, aborted or failed: the loop ends; removal is posted by DeviceRemoved.
    if (status != usb::kSuccess) {
        ReleaseInterface(connection);
        ForgetIfRemoved(connection);
        return;
    }
    // The byte count is not examined: bytes a short report did not deliver keep their
    // previous values.
    DecodeReport(connection);
    // A read that cannot be re-armed would leave the interface claimed with nothing
    // reading it: release it as after a read error.
    if (ArmRead(connection) != usb::kSuccess) {
        ReleaseInterface(connection);
        ForgetIfRemoved(connection);
    }
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

void ResetDecoderState() {
    gLastButtons = 0;
    for (int k = 0; k < 4; ++k)
        gKnobAccum[k] = gKnobAccumSeen[k] = 0;
    gStickRestX = gStickRestY = kStickLeft;
    gStickRecapture.store(true, kRelaxed);
}

void SetMicrosecondClock(const usb::MicrosecondClock* clock) {
    gClock.store(clock, kRelaxed);
}

} // namespace klov

void SetLed(bool first, bool second, bool third) {
    const klov::KlovReport report = klov::LedReport(first, second, third);
    {
        std::lock_guard lock(klov::gLedLock);
        if (klov::gInterface && klov::gOutPipe != 0)
            klov::WriteLeds(*klov::gInterface, klov::gOutPipe, report);
    }
    klov::gStickRecapture.store(true, klov::kRelaxed);
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
