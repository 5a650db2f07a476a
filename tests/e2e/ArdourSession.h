// SPDX-License-Identifier: GPL-3.0-or-later
// Ardour, headless: sessions around Zembra built and exported by ardour7-lua on its Dummy
// backend (ardour_session.lua), and Ardour's VST3 scanner, in a home under the work folder.
#pragma once

#include "E2eSounds.h"
#include "E2eSupport.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>

namespace e2e {

// How B reaches the plug-in on A's track (ardour_session.lua says how each is wired).
enum class Routing { Pins, Send, DirectPort };
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

// A fresh home for Ardour (HOME, XDG config and cache).
std::vector<std::string> ardourEnv(const std::filesystem::path& home);
// ardour-vst3-scanner on our bundle, indexing it into that home.
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
