// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the change log through the script runner, and the beep.
#include "editor/SystemServices.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "support/BundleIdentity.h"
#include "support/ScriptRunner.h"

#include <unistd.h>

#include <atomic>
#include <vector>

namespace zembra {

namespace {

void terminalBell() {
    if (::isatty(STDERR_FILENO)) (void)!::write(STDERR_FILENO, "\a", 1);
}

std::atomic<ScriptRunnerFunction> gScriptRunner{nullptr};
std::atomic<BeepFunction> gBeep{nullptr};

} // namespace

void setEditorScriptRunner(ScriptRunnerFunction runner) {
    gScriptRunner.store(runner);
}

void setEditorBeep(BeepFunction beep) {
    gBeep.store(beep);
}

std::string fileURLForPath(const std::filesystem::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
    std::string url = "file://";
    for (unsigned char c : absolute) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

void openChangeLog() {
    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(kBundleIdentifier);
    if (!bundle) {
        fnd::log(fnd::LogLevel::Error, "bundle not valid!!");
        return;
    }
    const auto path = bundle->pathForResource("ChangeLog", "txt");
    if (!path) {
        fnd::log(fnd::LogLevel::Error, "resourceFromBundlePath not valid!!");
        return;
    }
    // Built to its own length: a bundle installed under a long path still opens.
    const std::string command =
        "open location \"" + fileURLForPath(*path) + "\" with error reporting\n";
    std::vector<char> script(command.begin(), command.end());
    script.push_back('\0');
    ScriptRunnerFunction runner = gScriptRunner.load();
    const std::int16_t status = runner ? runner(script.data()) : DoAppleScript(script.data());
    if (status != 0) {
        BeepFunction beep = gBeep.load();
        (beep ? beep : terminalBell)();
    }
}

} // namespace zembra
