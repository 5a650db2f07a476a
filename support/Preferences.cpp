// SPDX-License-Identifier: GPL-3.0-or-later
// Typed preference access over the preference file of the bundle identifier's domain.
#include "support/Preferences.h"

#include "support/BundleIdentity.h"
#include "support/PreferenceFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace zembra {
namespace {

std::optional<std::filesystem::path> homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir == '/')
        return found->pw_dir;
    return std::nullopt;
}

// A number as the store holds it: integers exact, reals as double.
struct Number {
    bool isInteger;
    int64_t integer;
    double real;
};

std::optional<Number> parseNumber(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    int64_t integer = 0;
    if (auto [end, ec] = std::from_chars(first, last, integer); ec == std::errc() && end == last)
        return Number{true, integer, 0.0};
    double real = 0.0;
    if (auto [end, ec] = std::from_chars(first, last, real); ec == std::errc() && end == last)
        return Number{false, 0, real};
    return std::nullopt;
}

std::optional<Number> numberOf(const std::optional<fnd::PlistValue>& value) {
    if (!value) return std::nullopt;
    if (auto* i = value->get<int64_t>()) return Number{true, *i, 0.0};
    if (auto* d = value->get<double>()) return Number{false, 0, *d};
    if (auto* b = value->get<bool>()) return Number{true, *b ? 1 : 0, 0.0};
    if (auto* s = value->get<std::string>()) return parseNumber(*s);
    return std::nullopt;
}

template <typename Int> std::optional<Int> asInteger(const std::optional<Number>& n) {
    if (!n) return std::nullopt;
    constexpr auto lo = std::numeric_limits<Int>::min();
    constexpr auto hi = std::numeric_limits<Int>::max();
    if (n->isInteger) {
        if (n->integer < static_cast<int64_t>(lo)) return lo;
        if (n->integer > static_cast<int64_t>(hi)) return hi;
        return static_cast<Int>(n->integer);
    }
    if (std::isnan(n->real)) return std::nullopt;
    // Compare in double: the limits are powers of two (or one less), so lo converts exactly
    // and anything at or above -lo does not fit.
    if (n->real <= static_cast<double>(lo)) return lo;
    if (n->real >= -static_cast<double>(lo)) return hi;
    return static_cast<Int>(n->real);
}

std::optional<float> asFloat(const std::optional<Number>& n) {
    if (!n) return std::nullopt;
    if (n->isInteger) return static_cast<float>(n->integer);
    // NaN and the infinities convert as they are; finite reals beyond float saturate.
    if (!std::isfinite(n->real)) return static_cast<float>(n->real);
    constexpr double hi = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(n->real, -hi, hi));
}

std::optional<PreferenceFile> domainFile() {
    auto path = preferencesPath();
    if (!path) return std::nullopt;
    return PreferenceFile(std::move(*path));
}

} // namespace

std::optional<std::filesystem::path> preferencesPath() {
    std::filesystem::path dir;
    // Relative values are invalid by the XDG base-directory rules and are ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
        dir = config;
    } else if (auto home = homeDirectory()) {
        dir = *home / ".config";
    } else {
        return std::nullopt;
    }
    return dir / (std::string(kBundleIdentifier) + ".plist");
}

fnd::PlistDict allPreferences() {
    auto file = domainFile();
    return file ? file->read() : fnd::PlistDict{};
}

std::optional<fnd::PlistValue> preferenceValue(std::string_view key) {
    auto file = domainFile();
    return file ? file->value(key) : std::nullopt;
}

bool setPreference(std::string_view key, fnd::PlistValue value) {
    auto file = domainFile();
    return file && file->update(key, std::move(value));
}

bool removePreference(std::string_view key) {
    auto file = domainFile();
    return file && file->update(key, std::nullopt);
}

} // namespace zembra

using zembra::preferenceValue;
using zembra::setPreference;

int32_t GetValueFromPrefsPosInt(std::string_view key) {
    return zembra::asInteger<int32_t>(zembra::numberOf(preferenceValue(key))).value_or(-1);
}

float GetValueFromPrefs(std::string_view key) {
    return zembra::asFloat(zembra::numberOf(preferenceValue(key))).value_or(0.0f);
}

int64_t GetValueFromPrefsLL(std::string_view key) {
    return zembra::asInteger<int64_t>(zembra::numberOf(preferenceValue(key))).value_or(0);
}

std::optional<std::string> GetStringFromPrefs(std::string_view key) {
    auto value = preferenceValue(key);
    if (auto* text = value ? value->get<std::string>() : nullptr) return std::move(*text);
    return std::nullopt;
}

void SaveValueToPrefsPosInt(std::string_view key, int32_t value) {
    setPreference(key, fnd::PlistValue(value));
}

void SaveValueToPrefs(std::string_view key, float value) {
    setPreference(key, fnd::PlistValue(value));
}

void SaveValueToPrefsLL(std::string_view key, uint64_t value) {
    setPreference(key, fnd::PlistValue(static_cast<int64_t>(value)));
}

bool SaveStringToPrefs(std::string_view key, std::string_view value) {
    return setPreference(key, fnd::PlistValue(std::string(value)));
}

bool SaveArrayToPrefs(std::string_view key, const fnd::PlistArray& value) {
    return setPreference(key, fnd::PlistValue(value));
}
