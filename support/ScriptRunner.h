// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the one system script the product sends: open location "<url>" with error
// reporting. There is no scripting component on this platform, so the command is parsed
// and the URL handed to xdg-open as a single argument, without a shell: nothing in the URL
// (quotes, $(...), backticks, semicolons) can run anything.
#pragma once

#include "support/Export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Rewrites every line feed of `text` into a carriage return, in place, then runs it.
// 0 when the opener was started; a non-zero status when the text is not the open-location
// command or the opener could not be started. Does not wait for the opener, and leaves no
// child of the caller's behind: the system reaps the opener when it ends.
ZEMBRA_EXPORT int16_t DoAppleScript(char* text);

namespace zembra {

// Statuses, numbered as the scripting system numbers the same failures.
inline constexpr int16_t kScriptSyntaxError = -2740; // not the command we understand
inline constexpr int16_t kScriptOpenFailed = -1753;  // xdg-open could not be started

// The URL of `script` when it is exactly: open location "<url>" [with error reporting],
// with free white space (CR, LF, tab, space) between words and around, keywords in any
// case, \" and \\ as the string's only escapes, and a URL with no control characters
// whose scheme is file (the change log the product opens) or http(s) (what the command is
// otherwise for). nullopt otherwise.
std::optional<std::string> parseOpenLocationScript(std::string_view script);

} // namespace zembra
