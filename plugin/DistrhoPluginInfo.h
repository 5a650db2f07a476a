// What DPF needs to know about the plug-in at compile time: identity, ports and features.
#pragma once

#define DISTRHO_PLUGIN_BRAND "Zembra"
#define DISTRHO_PLUGIN_NAME "Zembra"
// LV2 identity: saved sessions and presets refer to it, so it never changes.
#define DISTRHO_PLUGIN_URI "urn:zembra:zembra"

// The editor is added later as a cairo UI in the same module; until then there is none.
#define DISTRHO_PLUGIN_HAS_UI 0
#define DISTRHO_UI_USE_CAIRO 1

#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 0
#define DISTRHO_PLUGIN_NUM_INPUTS 2  // source A, source B
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2 // left, right
#define DISTRHO_PLUGIN_WANT_LATENCY 1
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
#define DISTRHO_PLUGIN_WANT_STATE 0 // the twelve parameters are the whole state

#define DISTRHO_PLUGIN_LV2_CATEGORY "lv2:SpectralPlugin"
#define DISTRHO_PLUGIN_VST3_CATEGORIES "Fx|Stereo"
