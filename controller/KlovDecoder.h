// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding one controller's input reports into the exported control state: the change
// test, knob steps and accelerated dials, the stick's rest and output, and the LED event.
// Each controller has a decoder of its own, so two controllers never mix their reports.
#pragma once

#include "controller/KlovDecode.h"

#include <cstdint>
#include <optional>
#include <span>

namespace klov {

// What the decoder remembers of one controller between its reports.
struct KlovDecoder {
    uint8_t lastButtons = 0; // button byte of the last report that passed the change test
    int64_t knobAccum[4] = {};
    int64_t knobAccumSeen[4] = {}; // each accumulator when its dial last moved
    int64_t dialValues[4] = {};
    uint64_t dialTimestamp[4] = {}; // microseconds
    int32_t stickRestX = -1;        // -1: the stick has left its rest on that axis
    int32_t stickRestY = -1;
    bool stickRecapture = true;   // capture the rest from the next decoded report
    uint32_t ledSwitchesSeen = 0; // SetLed calls already answered by a capture
};

// A decoder for a controller that has just arrived: its knobs, dials and their times carry
// on from the exported values, so a controller plugged in again continues where it was.
// Controller thread only.
KlovDecoder DecoderCarryingOnExportedState();

// Decodes one input report, of any length: only a report of exactly kKlovReportSize bytes
// counts; shorter or longer ones are dropped whole and change nothing. Updates the decoder
// and the exported values, and posts the stick position when the stick is away from its
// rest. Returns the LED report to write to this controller when the report asks for one.
std::optional<KlovReport> DecodeReport(KlovDecoder& decoder, std::span<const uint8_t> report);

// Asks every decoder to capture the stick's rest from its next decoded report (after an
// LED write). From any thread.
void RequestStickRecapture();

} // namespace klov
