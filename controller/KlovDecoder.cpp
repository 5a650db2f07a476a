// SPDX-License-Identifier: GPL-3.0-or-later
// Report decoding on the controller thread: the decoder's own state moves, and the
// exported values follow the controller whose report is decoded.
#include "controller/KlovDecoder.h"

#include "controller/Klov.h"
#include "controller/KlovHooks.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace klov {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Raw units either side of the captured rest within which the stick counts as resting.
constexpr int32_t kStickDeadZone = 5;
constexpr int32_t kStickLeft = -1;
constexpr int64_t kDialMax = 127;

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

// Counts SetLed calls; a decoder that has not seen the latest captures the stick's rest.
std::atomic<uint32_t> gLedSwitches{0};

std::atomic<const usb::MicrosecondClock*> gClock{nullptr};

usb::Microseconds ClockNow() {
    const usb::MicrosecondClock* clock = gClock.load(kRelaxed);
    return (clock ? *clock : usb::monotonicMicrosecondClock()).now();
}

void UpdateStickRest(KlovDecoder& d, std::span<const uint8_t> r) {
    const uint32_t switches = gLedSwitches.load(kRelaxed);
    const bool recapture = d.stickRecapture || switches != d.ledSwitchesSeen;
    d.stickRecapture = false;
    d.ledSwitchesSeen = switches;
    if ((r[kButtonByte] & kStickRestBit) || recapture) {
        d.stickRestX = r[kStickXByte];
        d.stickRestY = r[kStickYByte];
        return;
    }
    // An axis that left its rest stays left (-1 is never within the dead zone of 5..255,
    // and within it of 0..4 it stays -1 anyway) until the next capture.
    auto follow = [](int32_t rest, int32_t now) {
        return std::abs(rest - now) <= kStickDeadZone ? rest : kStickLeft;
    };
    d.stickRestX = follow(d.stickRestX, r[kStickXByte]);
    d.stickRestY = follow(d.stickRestY, r[kStickYByte]);
}

void MoveDials(KlovDecoder& d) {
    for (int k = 0; k < 4; ++k) {
        if (d.knobAccum[k] == d.knobAccumSeen[k]) continue;
        const float factor =
            DialFactor(ClockNow(), usb::Microseconds::fromValue(d.dialTimestamp[k]));
        const auto step =
            static_cast<int64_t>(static_cast<float>(d.knobAccum[k] - d.knobAccumSeen[k]) * factor);
        d.dialValues[k] = std::clamp<int64_t>(d.dialValues[k] + step, 0, kDialMax);
        d.knobAccumSeen[k] = d.knobAccum[k];
        d.dialTimestamp[k] = ClockNow().value();
        gDialValues[k].store(d.dialValues[k], kRelaxed);
        gKnobControlValues[k]->store(static_cast<float>(d.knobAccum[k]), kRelaxed);
        gDialTimestamp[k].store(d.dialTimestamp[k], kRelaxed);
    }
    gTraffic.store(1.0f, kRelaxed);
}

void PostStick(std::span<const uint8_t> r) {
    gUpdate.store(true, kRelaxed);
    const StickPoint out = StickOutput(r[kStickXByte], r[kStickYByte]);
    NotifyZembraDisplay(static_cast<float>(out.x) / 127.0f, static_cast<float>(out.y) / 127.0f);
    gRulerX.store(static_cast<float>(out.x), kRelaxed);
    gRulerY.store(static_cast<float>(out.y), kRelaxed);
    gTraffic.store(1.0f, kRelaxed);
}

} // namespace

KlovDecoder DecoderCarryingOnExportedState() {
    KlovDecoder d;
    for (int k = 0; k < 4; ++k) {
        d.knobAccum[k] = d.knobAccumSeen[k] =
            static_cast<int64_t>(gKnobControlValues[k]->load(kRelaxed));
        d.dialValues[k] = gDialValues[k].load(kRelaxed);
        d.dialTimestamp[k] = gDialTimestamp[k].load(kRelaxed);
    }
    d.ledSwitchesSeen = gLedSwitches.load(kRelaxed);
    return d;
}

std::optional<KlovReport> DecodeReport(KlovDecoder& d, std::span<const uint8_t> r) {
    // A report of another length is not one this controller sends: its bytes would be read
    // in the wrong places (or, short, the rest taken from an older report).
    if (r.size() != kKlovReportSize) return std::nullopt;
    // Only a change of the button byte makes a report count: the device repeats its last
    // report, and knob or stick bytes that come with an unchanged button byte are stale.
    if (r[kButtonByte] == d.lastButtons) return std::nullopt;
    d.lastButtons = r[kButtonByte];
    if (r[kStatusByte] & kStatusMask) return std::nullopt;

    d.knobAccum[0] += KnobStep(r[kKnobs12Byte] & 0x0F);
    d.knobAccum[1] += KnobStep(r[kKnobs12Byte] >> 4);
    d.knobAccum[2] += KnobStep(r[kKnobs34Byte] >> 4);
    d.knobAccum[3] += KnobStep(r[kKnobs34Byte] & 0x0F);

    UpdateStickRest(d, r);

    std::optional<KlovReport> leds;
    if (r[kButtonByte] & kLedEventBit) {
        const bool on = r[kButtonByte] & kStickRestBit;
        leds = LedReport(on, on, on);
        d.stickRecapture = true; // whether or not the LEDs can be written
        gUpdate.store(true, kRelaxed);
        gTraffic.store(1.0f, kRelaxed);
    }

    if (r[kKnobs12Byte] != 0 || r[kKnobs34Byte] != 0) {
        gUpdate.store(true, kRelaxed);
        MoveDials(d);
    }

    if (d.stickRestX == kStickLeft && d.stickRestY == kStickLeft) PostStick(r);
    return leds;
}

void RequestStickRecapture() {
    gLedSwitches.fetch_add(1, kRelaxed);
}

void SetMicrosecondClock(const usb::MicrosecondClock* clock) {
    gClock.store(clock, kRelaxed);
}

} // namespace klov
