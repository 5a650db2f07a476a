// SPDX-License-Identifier: GPL-3.0-or-later
// Ardour, headless: sessions around Zembra built and exported by ardour7-lua on its Dummy
// backend (ardour_session.lua), one export a run, and Ardour's VST3 scanner, in a home under the
// work folder.
#pragma once

#include "E2eSounds.h"
#include "E2eSupport.h"

#include <cstdint>
#include <filesystem>
#include <map>

namespace e2e {

// How A and B reach the plug-in (ardour_session.lua says how each is wired). Track: A and B on
// the left and right channel of Zembra's own track, the routing control set to match. Send and
// DirectPort: A stereo on Zembra's track (the material's two channels, heard as their mean), B
// from a track of its own into the side-chain input.
enum class Routing { Track, Send, DirectPort };

struct ArdourJob {
    std::string format = "LV2"; // or "VST3"
    Routing routing = Routing::Track;
    int buffer = 256;                // the engine's period
    std::map<int, float> hostValues; // the twelve parameters' host values, by id
    int64_t from = 0;                // the exported range: from here to the material's end
};

struct ArdourExport {
    Result run;           // ardour7-lua's exit and output: the export's, or the build's that failed
    Sound sound;          // the export (empty when it failed)
    int reportedLag = -1; // the plug-in latency Ardour compensates, as it reports it
};

// A fresh home for Ardour (HOME, XDG config and cache).
std::vector<std::string> ardourEnv(const std::filesystem::path& home);
// ardour-vst3-scanner on our bundle, indexing it into that home.
Result scanVst3(const std::vector<std::string>& env);

// The material sits at the session's start.
ArdourExport exportWithArdour(const Material& m, const ArdourJob& job,
                              const std::vector<std::string>& env, const std::string& tag);

// The largest difference between export[t] and reference[t + lag], over the whole export.
double differenceAtLag(const Sound& exported, const Sound& reference, size_t lag);

} // namespace e2e
