// SPDX-License-Identifier: GPL-3.0-or-later
// What DPF needs to know about the plug-in at compile time: identity, ports and features.
#pragma once

#define DISTRHO_PLUGIN_BRAND "Zembra"
#define DISTRHO_PLUGIN_NAME "Zembra"
// LV2 identity: saved sessions and presets refer to it, so it never changes.
#define DISTRHO_PLUGIN_URI "urn:zembra:zembra"

// The editor: a cairo UI in the same module as the audio side. The UI reaches its plug-in
// object directly to find the instance's handle, so hosts must provide instance access (LV2)
// or run both in one process (VST3, the standalone).
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_UI_USE_CAIRO 1
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1
#define DISTRHO_UI_USER_RESIZABLE 0
// The interface description's size in points, read from it at configure time; the window is
// this times the host's scale factor.
#define DISTRHO_UI_DEFAULT_WIDTH ZEMBRA_EDITOR_WIDTH
#define DISTRHO_UI_DEFAULT_HEIGHT ZEMBRA_EDITOR_HEIGHT

#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 0
// The track's two channels and the side-chain's two; the routing control says which become
// sources A and B (ZembraPlugin.cpp, HostInputs.h).
#define DISTRHO_PLUGIN_NUM_INPUTS 4
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2 // left, right
#define DISTRHO_PLUGIN_WANT_LATENCY 1
// The transport's position: the engine's hops follow the host's timeline while it rolls.
#define DISTRHO_PLUGIN_WANT_TIMEPOS 1
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
// The twelve parameters and the routing are the whole state. CLAP hosts keep a plug-in's settings
// in a session only through its state extension, which DPF offers only with state support: the CLAP
// module has it, saving the current preset and the parameters, with no keys of its own.
#ifdef DISTRHO_PLUGIN_TARGET_CLAP
#define DISTRHO_PLUGIN_WANT_STATE 1
#define DISTRHO_PLUGIN_WANT_FULL_STATE 0
#else
#define DISTRHO_PLUGIN_WANT_STATE 0
#endif

#define DISTRHO_PLUGIN_LV2_CATEGORY "lv2:SpectralPlugin"
#define DISTRHO_PLUGIN_VST3_CATEGORIES "Fx|Stereo"
// CLAP identity: like the LV2 URI, hosts store it in sessions, so it never changes.
#define DISTRHO_PLUGIN_CLAP_ID "org.zembra.zembra"
#define DISTRHO_PLUGIN_CLAP_FEATURES "audio-effect", "phase-vocoder", "stereo"
