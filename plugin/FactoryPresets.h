// SPDX-License-Identifier: GPL-3.0-or-later
// The factory presets, in host units (percentages, 0..1 positions, controller indexes,
// toggles). Hosts list them under these names; each sets all twelve parameters.
#pragma once

#include "ZembraParameters.h"

#include <array>

namespace zembra::plugin {

struct FactoryPreset {
    const char* name;
    float mixA = 0.0f;
    float mixB = 0.0f;
    float volume = 100.0f;
    float x = 0.5f;
    float y = 0.5f;
    float wetDry = 0.0f;
    float room = 50.0f;
    float xControl = kSourceNone;
    float yControl = kSourceNone;
    float stereoMode = 0.0f;
    float soloA = 0.0f;
    float soloB = 0.0f;

    constexpr float value(int id) const {
        switch (id) {
        case kParamMixA:
            return mixA;
        case kParamMixB:
            return mixB;
        case kParamVolume:
            return volume;
        case kParamX:
            return x;
        case kParamY:
            return y;
        case kParamWetDry:
            return wetDry;
        case kParamRoom:
            return room;
        case kParamXControl:
            return xControl;
        case kParamYControl:
            return yControl;
        case kParamStereoMode:
            return stereoMode;
        case kParamSoloA:
            return soloA;
        case kParamSoloB:
            return soloB;
        default:
            return 0.0f;
        }
    }
};

// In the middle of X the blend is cross-synthesis: Y = 1 puts the fine structure of B under
// the spectral envelope of A (a voice on A speaks through strings on B), Y = 0 the reverse.
// Towards the edges of X it becomes a plain cross-fade along Y.
// clang-format off
inline constexpr std::array<FactoryPreset, 7> kFactoryPresets = {{
    {.name = "Init"},
    {.name = "Vocal Through Strings", .x = 0.5f, .y = 1.0f, .wetDry = 12.0f, .room = 35.0f},
    {.name = "Envelope Swap", .x = 0.5f, .y = 0.0f, .stereoMode = 1.0f},
    {.name = "Wide Morph", .volume = 90.0f, .x = 0.2f, .y = 0.5f, .wetDry = 25.0f,
     .room = 70.0f, .stereoMode = 1.0f},
    {.name = "Cathedral Blend", .volume = 85.0f, .x = 0.45f, .y = 0.6f, .wetDry = 60.0f,
     .room = 100.0f, .stereoMode = 1.0f},
    {.name = "Mod Wheel Morph", .x = 0.0f, .y = 0.8f, .xControl = kSourceModWheel},
    // Notes 28..108 move X over 0.22..0.84; the centred pitch wheel holds Y at 0.5.
    {.name = "Keyboard Tracking", .mixA = 20.0f, .x = 0.0f, .y = 0.0f, .wetDry = 15.0f,
     .xControl = kSourceNote, .yControl = kSourcePitchWheel},
}};
// clang-format on

} // namespace zembra::plugin
