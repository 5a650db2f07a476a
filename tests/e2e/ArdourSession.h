// SPDX-License-Identifier: GPL-3.0-or-later
// Ardour, headless, for the end-to-end suites: a session around Zembra built and exported by
// ardour7-lua on its Dummy backend (ardour_session.lua), and Ardour's VST3 scanner, each with
// a home of its own so nothing outside the work folder is read or written.
#pragma once

#include "E2eSounds.h"
#include "E2eSupport.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace e2e {

// How B reaches the plug-in on A's track.
enum class Routing {
    Pins,       // one stereo track, A left and B right, its right channel wired to B's pin
    Send,       // B on a track of its own, sent to the plug-in's side-chain input
    DirectPort, // that track's output connected straight to the side-chain input
};
// As the session script and the figures name it.
inline const char* routingName(Routing r) {
    static const char* const kNames[] = {"pins", "send", "direct"};
    return kNames[static_cast<int>(r)];
}

struct ArdourJob {
    std::string format = "LV2"; // or "VST3"
    Routing routing = Routing::Pins;
    int buffer = 256;                // the engine's period
    int64_t at = 0;                  // timeline position of the material
    std::map<int, float> hostValues; // parameter id -> host value
    int64_t from = 0, to = 0;        // the exported range (to = 0: the material's end)
};

struct ArdourExport {
    Result run;           // ardour7-lua's exit and output
    Sound sound;          // the export (empty when it failed)
    int reportedLag = -1; // the plug-in latency Ardour compensates, as it reports it
};

// A home for Ardour (HOME, XDG config and cache) under the work folder, made fresh.
std::vector<std::string> ardourEnv(const std::filesystem::path& home);

// Runs ardour-vst3-scanner on our bundle with that home, so Ardour finds the VST3 there.
Result scanVst3(const std::vector<std::string>& env);

ArdourExport exportWithArdour(const Material& m, const ArdourJob& job,
                              const std::vector<std::string>& env, const std::string& tag);

// Where an export lines up with a reference: export[t] matches reference[t + lag] over the
// frames both have, from frame `skip` on.
struct Alignment {
    int lag = -1;            // -1: no lag within range matches to `tolerance`
    double error = INFINITY; // the largest difference there
};
Alignment align(const Sound& exported, const Sound& reference, int maxLag, double tolerance,
                size_t skip = 0);

} // namespace e2e
