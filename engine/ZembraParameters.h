// SPDX-License-Identifier: GPL-3.0-or-later
// The one table of the twelve parameters as hosts and the editor see them: names, symbols,
// host ranges and defaults, units, kinds and how a host value becomes the engine's. The
// engine takes its defaults and its whole-number rule from it; the plug-in shell, its
// presets, the editor's controls and zembra-render's options all read it. The identifiers
// are those of RTzembra.h. Beside them, the audio side's routing control and its meters.
#pragma once

#include "RTzembra.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zembra {

enum class ParameterKind : std::uint8_t {
    Continuous,  // any value in the range
    Enumeration, // whole numbers naming entries of `labels`
    Toggle,      // 0 (off) or 1 (on)
};

struct ParameterInfo {
    int id;
    const char* name;
    const char* shortName;
    const char* symbol; // LV2 port symbol and saved-state key: never rename
    float min;
    float max;
    float def;
    const char* unit;
    float engineDivisor; // engine value = host value / engineDivisor
    ParameterKind kind;
    std::span<const char* const> labels; // Enumeration only: the label of value i

    constexpr bool isInteger() const { return kind != ParameterKind::Continuous; }

    // A host value within range; NaN gives the default. Whole-number kinds are truncated
    // toward zero, as the engine stores them.
    constexpr float clamp(float host) const {
        if (!(host == host)) return def;
        const float v = host < min ? min : (host > max ? max : host);
        return isInteger() ? static_cast<float>(static_cast<int>(v)) : v;
    }
    constexpr float toEngine(float host) const { return host / engineDivisor; }
    constexpr float toHost(float engine) const { return engine * engineDivisor; }
};

// Indexed by RTzembraSource.
inline constexpr std::array<const char*, kSourceCount> kControllerSourceLabels = {
    "None", "Mod Wheel", "Pitch Wheel", "Pedal", "Aftertouch", "Note", "Sustain"};

// Levels and mixes are shown as whole-step percentages (the editor's fields show the integer
// part), so they are 0..100 for the host and 0..1 for the engine.
// clang-format off
inline constexpr std::array<ParameterInfo, kZembraParameterCount> kParameters = {{
    {kParamMixA, "Mix A", "Mix A", "mix_a", 0.0f, 100.0f, 0.0f, "%", 100.0f,
     ParameterKind::Continuous, {}},
    {kParamMixB, "Mix B", "Mix B", "mix_b", 0.0f, 100.0f, 0.0f, "%", 100.0f,
     ParameterKind::Continuous, {}},
    {kParamVolume, "Volume", "Volume", "volume", 0.0f, 100.0f, 100.0f, "%", 100.0f,
     ParameterKind::Continuous, {}},
    {kParamX, "X", "X", "x", 0.0f, 1.0f, 0.5f, "", 1.0f, ParameterKind::Continuous, {}},
    {kParamY, "Y", "Y", "y", 0.0f, 1.0f, 0.5f, "", 1.0f, ParameterKind::Continuous, {}},
    {kParamWetDry, "Wet/Dry", "Wet/Dry", "wet_dry", 0.0f, 100.0f, 0.0f, "%", 100.0f,
     ParameterKind::Continuous, {}},
    {kParamRoom, "Room", "Room", "room", 0.0f, 100.0f, 50.0f, "%", 100.0f,
     ParameterKind::Continuous, {}},
    {kParamXControl, "X control", "X ctl", "x_control", 0.0f, kSourceCount - 1, 0.0f, "", 1.0f,
     ParameterKind::Enumeration, kControllerSourceLabels},
    {kParamYControl, "Y control", "Y ctl", "y_control", 0.0f, kSourceCount - 1, 0.0f, "", 1.0f,
     ParameterKind::Enumeration, kControllerSourceLabels},
    {kParamStereoMode, "Stereo mode", "Stereo", "stereo", 0.0f, 1.0f, 0.0f, "", 1.0f,
     ParameterKind::Toggle, {}},
    {kParamSoloA, "Solo A", "Solo A", "solo_a", 0.0f, 1.0f, 0.0f, "", 1.0f,
     ParameterKind::Toggle, {}},
    {kParamSoloB, "Solo B", "Solo B", "solo_b", 0.0f, 1.0f, 0.0f, "", 1.0f,
     ParameterKind::Toggle, {}},
}};
// clang-format on

// The audio side's own control, numbered after the twelve and never given to the engine: which
// of the host's channels become sources A and B. Hosts show, save and restore it with the
// twelve; factory presets leave it alone, as it belongs to how a session is wired.
enum SourceRouting : int {
    kRoutingTrackAndSideChain, // A: the track's channels (their mean); B: the side-chain's
    kRoutingLeftAndRight,      // A: the track's left channel; B: its right
    kRoutingCount
};
inline constexpr std::array<const char*, kRoutingCount> kSourceRoutingLabels = {
    "A track, B side-chain", "A left, B right"};

enum { kParamSourceRouting = kZembraParameterCount, kControlCount };

// clang-format off
inline constexpr ParameterInfo kSourceRoutingInfo = {
    kParamSourceRouting, "Routing", "Routing", "routing", 0.0f, kRoutingCount - 1,
    kRoutingTrackAndSideChain, "", 1.0f, ParameterKind::Enumeration, kSourceRoutingLabels};
// clang-format on

// Every value a host sets and saves: the twelve, then the routing.
inline constexpr std::array<ParameterInfo, kControlCount> kControls = [] {
    std::array<ParameterInfo, kControlCount> controls{};
    for (std::size_t i = 0; i < kParameters.size(); ++i)
        controls[i] = kParameters[i];
    controls[kParamSourceRouting] = kSourceRoutingInfo;
    return controls;
}();

// The plug-in's output parameters, numbered after the controls: the peak level of each source,
// 0..1, which the editor shows in the Mix A and Mix B sliders.
enum { kOutputPeakA = kControlCount, kOutputPeakB, kPluginParameterCount };

struct MeterInfo {
    int index;
    const char* name;
    const char* symbol;
};

inline constexpr std::array<MeterInfo, 2> kMeters = {{
    {kOutputPeakA, "Peak A", "peak_a"},
    {kOutputPeakB, "Peak B", "peak_b"},
}};

} // namespace zembra
