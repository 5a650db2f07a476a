// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-render's command line: parsed into a plain struct, validated up front so that a bad
// value stops the tool before any file is touched.
#pragma once

#include "RTzembra.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zembra::render {

// The performance controllers the tool can hold at a constant value for a whole render.
enum ControllerInput {
    kInputModWheel,
    kInputPitchWheel,
    kInputPedal,
    kInputAftertouch,
    kInputNote,
    kInputSustain,
    kControllerInputCount
};

enum class Action { Render, Help, Version };

struct Options {
    Action action = Action::Render;
    std::vector<std::string> inputs; // none (built-in demo) or exactly two: A, B
    std::string output;              // empty: not given
    std::string spectrogram;         // empty: no picture
    bool raw = false;                // keep the engine's delay, no tail
    std::uint64_t startOffset = 0;   // the sources' first frame on the timeline
    // Only the values given on the command line; the rest keep the engine's defaults.
    std::array<std::optional<float>, kZembraParameterCount> parameters;
    std::array<std::optional<long>, kControllerInputCount> controllers;
};

struct ParseResult {
    Options options;
    std::string error; // empty on success
};

ParseResult parseOptions(int argc, const char* const* argv);

std::string helpText();

// "mod-wheel" for kSourceModWheel etc.; the spelling --x-control and --y-control accept.
const char* sourceName(int source);

} // namespace zembra::render
