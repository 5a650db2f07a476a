// SPDX-License-Identifier: GPL-3.0-or-later
// Sessions exported by ardour7-lua, Ardour's VST3 scanner, and comparing an export with a
// reference.
#include "ArdourSession.h"

#include "ZembraParameters.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <utility>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {

// Ardour 7.3's AVX-512 mixing now and then writes four samples past an export buffer (caught
// under gdb with no plug-in loaded) and corrupts its heap; its AVX and FMA routines do not.
// ARDOUR_FPU_FLAGS replaces what Ardour detects, so it names only what this CPU has:
// flush-to-zero, denormals-are-zero, SSE and SSE2 always, AVX (0x10) and FMA (0x40) if present.
static std::string withoutAvx512() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    line += ' ';
    const auto has = [&](const char* flag) {
        return line.find(' ' + std::string(flag) + ' ') != std::string::npos;
    };
    return "ARDOUR_FPU_FLAGS=" +
           std::to_string(0xf | (has("avx") ? 0x10 : 0) | (has("fma") ? 0x40 : 0));
}

std::vector<std::string> ardourEnv(const fs::path& home) {
    fs::remove_all(home);
    fs::create_directories(home);
    return hostEnv({"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                    "XDG_CACHE_HOME=" + (home / "cache").string(),
                    std::string("VST3_PATH=") + ZEMBRA_E2E_VST3_DIR,
                    // The scanner is not on PATH; ardour7-lua sets this for itself.
                    "LD_LIBRARY_PATH=/usr/lib/ardour7", withoutAvx512()});
}

Result scanVst3(const std::vector<std::string>& env) {
    return run({"/usr/lib/ardour7/ardour-vst3-scanner", "-f", "-v",
                std::string(ZEMBRA_E2E_VST3_DIR) + "/zembra.vst3"},
               env, 60s);
}

ArdourExport exportWithArdour(const Material& m, const ArdourJob& job,
                              const std::vector<std::string>& env, const std::string& tag) {
    const fs::path dir = m.dir / ("ardour-" + tag);
    fs::remove_all(dir);
    fs::create_directories(dir / "export");
    const size_t frames = readSound(m.a).frames();
    const auto quoted = [](const fs::path& text) { return "\"" + text.string() + "\""; };
    const auto channel = [&](const fs::path& file, int index) {
        return "{" + quoted(file) + ", " + std::to_string(index) + "}";
    };
    const bool track = job.routing == Routing::Track;
    const fs::path jobFile = dir / "job.lua";
    {
        std::ofstream lua(jobFile);
        lua.precision(9);
        lua << "return {\n  dir = " << quoted(dir / "zembra")
            << ", name = \"zembra\", buffer = " << job.buffer << ", format = " << quoted(job.format)
            << ",\n  routing = "
            << quoted(track                          ? "track"
                      : job.routing == Routing::Send ? "send"
                                                     : "direct")
            << ",\n  track = {"
            << (track ? channel(m.a, 0) + ", " + channel(m.b, 0)
                      : channel(m.both, 0) + ", " + channel(m.both, 1))
            << "},\n  feeder = " << (track ? "nil" : channel(m.b, 0)) << ",\n  frames = " << frames
            << ", at = 0, from = " << job.from << ", to = " << frames
            << ", outdir = " << quoted(dir / "export") << ",\n  params = {";
        for (auto [id, value] : job.hostValues)
            lua << " [\"" << zembra::kParameters[id].name << "\"] = " << value << ",";
        const auto& routing = zembra::kControls[zembra::kParamSourceRouting];
        lua << " [\"" << routing.name << "\"] = "
            << (track ? zembra::kRoutingLeftAndRight : zembra::kRoutingTrackAndSideChain)
            << " },\n}\n";
    }
    // Ardour 7.3 dies now and then as a session tool ends, whatever the plug-in (its own ACE
    // Delay too, in one run of four or five on a busy machine): the thread that starts the next
    // timespan disconnects from the export signal while the process thread emits it, and its
    // butler finishes the stop that follows while the exit frees the tempo map. A stage that
    // said it was done ("built", "exported") has its work on disk and the job goes on: the
    // export is compared with the reference like any other. A death before that makes the job
    // again, four times at most. Each death is reported with its stage.
    constexpr int kAttempts = 5;
    ArdourExport result;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        fs::remove_all(dir / "zembra");
        for (const auto& file : fs::directory_iterator(dir / "export"))
            fs::remove(file.path());
        result.run = {};
        bool again = false;
        for (auto [stage, done] : {std::pair{"build", "built"}, std::pair{"export", "exported"}}) {
            Result r =
                run({"ardour7-lua", ZEMBRA_E2E_ARDOUR_SCRIPT, jobFile.string(), stage}, env, 180s);
            const bool died = r.finished && r.status >= 128;
            const bool finished =
                ("\n" + r.output).find("\n" + std::string(done) + "\n") != std::string::npos;
            again = died && !finished && attempt < kAttempts;
            if (died) {
                std::cout << "[ figure ] Ardour " << tag << ": ardour7-lua died of signal "
                          << r.status - 128 << (finished ? " after its " : " during its ") << stage
                          << (again ? ", made again" : "") << "\n";
                if (finished) r.status = 0;
            }
            r.output.insert(0, result.run.output);
            result.run = r;
            if (!r.finished || r.status != 0) break;
        }
        if (!again) break;
    }
    const size_t lag = result.run.output.find("\nlag ");
    if (lag != std::string::npos)
        result.reportedLag = std::atoi(result.run.output.c_str() + lag + 5);
    for (const auto& file : fs::directory_iterator(dir / "export"))
        if (file.path().extension() == ".wav") result.sound = readSound(file.path());
    return result;
}

double differenceAtLag(const Sound& exported, const Sound& reference, size_t lag) {
    if (exported.channels != 2 || reference.channels != 2 ||
        reference.frames() < exported.frames() + lag)
        return INFINITY;
    double worst = 0.0;
    for (size_t i = 0; i < exported.samples.size(); ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(exported.samples[i]) -
                                          reference.samples[i + 2 * lag]));
    return worst;
}

} // namespace e2e
