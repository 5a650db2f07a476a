// SPDX-License-Identifier: GPL-3.0-or-later
// Sessions exported by ardour7-lua, Ardour's VST3 scanner, and lining an export up with a
// reference.
#include "ArdourSession.h"

#include "ZembraParameters.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {

std::vector<std::string> ardourEnv(const fs::path& home) {
    fs::remove_all(home);
    fs::create_directories(home);
    return hostEnv({"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                    "XDG_CACHE_HOME=" + (home / "cache").string(),
                    std::string("VST3_PATH=") + ZEMBRA_E2E_VST3_DIR,
                    // The scanner is not on PATH; ardour7-lua sets this for itself.
                    "LD_LIBRARY_PATH=/usr/lib/ardour7"});
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
    const int64_t to = job.to > 0 ? job.to : job.at + static_cast<int64_t>(frames);
    const fs::path jobFile = dir / "job.lua";
    const auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
    {
        std::ofstream lua(jobFile);
        lua.precision(9);
        lua << "return {\n  dir = " << quoted((dir / "zembra").string())
            << ", name = \"zembra\", buffer = " << job.buffer
            << ",\n  format = " << quoted(job.format)
            << ", routing = " << quoted(routingName(job.routing))
            << ",\n  a = " << quoted(m.a.string()) << ", b = " << quoted(m.b.string())
            << ", frames = " << frames << ", at = " << job.at << ",\n  from = " << job.from
            << ", to = " << to << ", outdir = " << quoted((dir / "export").string())
            << ",\n  params = {";
        for (auto [id, value] : job.hostValues)
            lua << " [" << quoted(zembra::kParameters[id].name) << "] = " << value << ",";
        lua << " },\n}\n";
    }
    ArdourExport result;
    result.run = run({"ardour7-lua", ZEMBRA_E2E_ARDOUR_SCRIPT, jobFile.string()}, env, 180s);
    const size_t lag = result.run.output.find("\nlag ");
    if (lag != std::string::npos)
        result.reportedLag = std::atoi(result.run.output.c_str() + lag + 5);
    for (const auto& file : fs::directory_iterator(dir / "export"))
        if (file.path().extension() == ".wav") result.sound = readSound(file.path());
    return result;
}

Alignment align(const Sound& exported, const Sound& reference, int maxLag, double tolerance,
                size_t skip) {
    Alignment best;
    if (exported.channels != 2 || reference.channels != 2) return best;
    // The reference ends with its sources, so the export's last `lag` frames have no partner.
    for (int lag = 0; lag <= maxLag; ++lag) {
        if (reference.frames() < exported.frames() / 2 + static_cast<size_t>(lag)) break;
        const size_t n = std::min(exported.frames(), reference.frames() - static_cast<size_t>(lag));
        double worst = 0.0;
        for (size_t i = 2 * skip; i < 2 * n && worst <= tolerance; ++i)
            worst = std::max(worst, std::fabs(static_cast<double>(exported.samples[i]) -
                                              reference.samples[i + 2 * static_cast<size_t>(lag)]));
        if (worst <= tolerance && worst < best.error) best = {lag, worst};
    }
    return best;
}

} // namespace e2e
