// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor asks of the system outside the process: opening its change log with the
// user's default application, and the beep when that fails. Tests replace both.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zembra {

using ScriptRunnerFunction = std::int16_t (*)(char* script);
using BeepFunction = void (*)();

// nullptr restores the default: DoAppleScript, and the terminal bell on standard error.
void setEditorScriptRunner(ScriptRunnerFunction runner);
void setEditorBeep(BeepFunction beep);

// "file://" and the absolute path, every byte outside the unreserved characters and "/"
// percent-encoded, so that no quote or backslash can end the script's string early.
std::string fileURLForPath(const std::filesystem::path& path);

// Opens the bundle's "ChangeLog.txt": logs "bundle not valid!!" or
// "resourceFromBundlePath not valid!!" when it cannot be found, and beeps when the script
// that opens it fails.
void openChangeLog();

} // namespace zembra
