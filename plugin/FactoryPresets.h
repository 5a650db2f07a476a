// SPDX-License-Identifier: GPL-3.0-or-later
// The factory presets, in host units (percentages, 0..1 positions, controller indexes,
// toggles). Hosts list them under these names; each sets all twelve parameters, those it
// does not name to the parameter table's defaults (X and Y in the middle, Volume at 100).
#pragma once

#include "ZembraParameters.h"

#include <array>
#include <cstddef>

namespace zembra::plugin {

struct PresetValue {
    int id;
    float value;
};

// A preset names the values it changes; the others stay at the table's defaults.
struct FactoryPreset {
    const char* name;
    std::array<PresetValue, 8> changes{};
    std::size_t changeCount = 0;

    template <std::size_t N>
    constexpr FactoryPreset(const char* presetName, const PresetValue (&values)[N])
        : name(presetName), changeCount(N) {
        static_assert(N <= 8, "a preset changes at most eight values");
        for (std::size_t i = 0; i < N; ++i)
            changes[i] = values[i];
    }
    constexpr explicit FactoryPreset(const char* presetName) : name(presetName) {}

    constexpr float value(int id) const {
        for (std::size_t i = 0; i < changeCount; ++i)
            if (changes[i].id == id) return changes[i].value;
        return kParameters[static_cast<std::size_t>(id)].def;
    }
};

// In the middle of X the blend is cross-synthesis: Y = 1 puts the fine structure of B under
// the spectral envelope of A (a voice on A speaks through strings on B), Y = 0 the reverse.
// Towards the edges of X it becomes a plain cross-fade along Y.
// clang-format off
inline constexpr std::array<FactoryPreset, 7> kFactoryPresets = {{
    FactoryPreset("Init"),
    FactoryPreset("Vocal Through Strings", {{kParamY, 1.0f}, {kParamWetDry, 12.0f},
                                            {kParamRoom, 35.0f}}),
    FactoryPreset("Envelope Swap", {{kParamY, 0.0f}, {kParamStereoMode, 1.0f}}),
    FactoryPreset("Wide Morph", {{kParamVolume, 90.0f}, {kParamX, 0.2f}, {kParamWetDry, 25.0f},
                                 {kParamRoom, 70.0f}, {kParamStereoMode, 1.0f}}),
    FactoryPreset("Cathedral Blend", {{kParamVolume, 85.0f}, {kParamX, 0.45f}, {kParamY, 0.6f},
                                      {kParamWetDry, 60.0f}, {kParamRoom, 100.0f},
                                      {kParamStereoMode, 1.0f}}),
    FactoryPreset("Mod Wheel Morph", {{kParamX, 0.0f}, {kParamY, 0.8f},
                                      {kParamXControl, kSourceModWheel}}),
    // Notes 28..108 move X over 0.22..0.84; the centred pitch wheel holds Y at 0.5.
    FactoryPreset("Keyboard Tracking", {{kParamMixA, 20.0f}, {kParamX, 0.0f}, {kParamY, 0.0f},
                                        {kParamWetDry, 15.0f}, {kParamXControl, kSourceNote},
                                        {kParamYControl, kSourcePitchWheel}}),
}};
// clang-format on

} // namespace zembra::plugin
