// SPDX-License-Identifier: GPL-3.0-or-later
// The user's preferences for this plug-in: typed values in
// $XDG_CONFIG_HOME/<bundle identifier>.plist (default ~/.config), an XML property list
// that users change with zembra-defaults. Every function may be called from any thread and
// from several processes at once (see PreferenceFile.h).
//
// Reads never fail: a missing key, or a file that cannot be read, gives the default.
// Numbers convert between widths: an integer reads as a float; a real reads as an integer
// truncated towards zero; integers and reals outside the width asked for saturate at its
// limits. Of the other kinds, booleans read as 0 and 1 and a string holding exactly one
// number (as a hand-edited file might) reads as that number; anything else gives the
// default, as does NaN read as an integer.
#pragma once

#include "platform/foundation/PropertyList.h"
#include "support/Export.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// -1 when absent.
ZEMBRA_EXPORT int32_t GetValueFromPrefsPosInt(std::string_view key);
// 0.0 when absent.
ZEMBRA_EXPORT float GetValueFromPrefs(std::string_view key);
// 0 when absent.
ZEMBRA_EXPORT int64_t GetValueFromPrefsLL(std::string_view key);
// The stored string; nullopt when absent or not a string.
ZEMBRA_CXX_RESULT_BEGIN
ZEMBRA_EXPORT std::optional<std::string> GetStringFromPrefs(std::string_view key);
ZEMBRA_CXX_RESULT_END

// Each save stores the value with its width (a 32-bit integer, a 32-bit float, a 64-bit
// integer) and writes the file before returning.
ZEMBRA_EXPORT void SaveValueToPrefsPosInt(std::string_view key, int32_t value);
ZEMBRA_EXPORT void SaveValueToPrefs(std::string_view key, float value);
// Stored as the signed 64-bit integer with the same bits: UINT64_MAX reads back as -1.
ZEMBRA_EXPORT void SaveValueToPrefsLL(std::string_view key, uint64_t value);
// True when the file was written.
ZEMBRA_EXPORT bool SaveStringToPrefs(std::string_view key, std::string_view value);
ZEMBRA_EXPORT bool SaveArrayToPrefs(std::string_view key, const fnd::PlistArray& value);

namespace zembra {

// The preference keys the product reads; absent or non-zero means on.
inline constexpr char kPrefEnableKlovSupport[] = "userEnableKlovSupport";
inline constexpr char kPrefEnableAnimatedBackground[] = "userEnableAnimatedBackground";

// $XDG_CONFIG_HOME (when set and absolute) or ~/.config, then "<bundle id>.plist";
// nullopt when there is no home directory either.
std::optional<std::filesystem::path> preferencesPath();

// For zembra-defaults: every stored value, and removal of one key (true when the file no
// longer holds it).
fnd::PlistDict allPreferences();
std::optional<fnd::PlistValue> preferenceValue(std::string_view key);
bool setPreference(std::string_view key, fnd::PlistValue value);
bool removePreference(std::string_view key);

} // namespace zembra
