// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-defaults: reads and changes the user's Zembra preferences, the way the platform's
// preference tool would.
//
//   zembra-defaults read [KEY]
//   zembra-defaults write KEY (-int N | -float F | -string S)
//   zembra-defaults delete KEY
#include "support/BundleIdentity.h"
#include "support/Preferences.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kUsageError = 2;

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: zembra-defaults read [KEY]\n"
                 "       zembra-defaults write KEY -int N | -float F | -string S\n"
                 "       zembra-defaults delete KEY\n"
                 "Preferences of %s, kept in %s\n",
                 zembra::kBundleIdentifier,
                 zembra::preferencesPath().value_or("(no home directory)").c_str());
}

int fail(const std::string& message) {
    std::fprintf(stderr, "zembra-defaults: %s\n", message.c_str());
    return 1;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "zembra-defaults: %s\n", message.c_str());
    usage(stderr);
    return kUsageError;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string describe(const fnd::PlistValue& value, int depth = 0) {
    struct Visitor {
        int depth;
        std::string operator()(bool v) const { return v ? "1" : "0"; }
        std::string operator()(int64_t v) const { return std::to_string(v); }
        // Shortest text that reads back the same; most reals here were saved as floats,
        // so a value a float holds exactly prints as that float (0.1, not 0.100000001...).
        std::string operator()(double v) const {
            char text[64];
            const auto narrow = static_cast<float>(v);
            auto result = static_cast<double>(narrow) == v
                              ? std::to_chars(text, text + sizeof text, narrow)
                              : std::to_chars(text, text + sizeof text, v);
            return std::string(text, result.ptr);
        }
        std::string operator()(const std::string& v) const { return quoted(v); }
        std::string operator()(const fnd::PlistData& v) const {
            std::string out = "<";
            char byte[3];
            for (auto b : v) {
                std::snprintf(byte, sizeof byte, "%02x", b);
                out += byte;
            }
            return out + ">";
        }
        std::string operator()(const fnd::PlistDate& v) const {
            return "date " + std::to_string(v.secondsSince2001);
        }
        std::string operator()(const fnd::PlistArray& v) const {
            std::string indent(static_cast<std::size_t>(depth + 1) * 4, ' ');
            std::string out = "(\n";
            for (std::size_t i = 0; i < v.size(); ++i)
                out += indent + describe(v[i], depth + 1) + (i + 1 < v.size() ? ",\n" : "\n");
            return out + std::string(static_cast<std::size_t>(depth) * 4, ' ') + ")";
        }
        std::string operator()(const fnd::PlistDict& v) const {
            std::string indent(static_cast<std::size_t>(depth + 1) * 4, ' ');
            std::string out = "{\n";
            for (const auto& [key, item] : v)
                out += indent + quoted(key) + " = " + describe(item, depth + 1) + ";\n";
            return out + std::string(static_cast<std::size_t>(depth) * 4, ' ') + "}";
        }
    };
    return std::visit(Visitor{depth}, value.storage());
}

// Whole-argument parses: "12abc", "" or out-of-range values are errors, not 12 or 0.
std::optional<int32_t> parseInt(std::string_view text) {
    int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<float> parseFloat(std::string_view text) {
    float value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

int read(const std::vector<std::string_view>& args) {
    if (args.size() > 1) return usageError("read takes at most one key");
    if (args.empty()) {
        std::printf("%s\n", describe(fnd::PlistValue(zembra::allPreferences())).c_str());
        return 0;
    }
    auto value = zembra::preferenceValue(args[0]);
    if (!value)
        return fail("the key \"" + std::string(args[0]) + "\" is not set in " +
                    zembra::kBundleIdentifier);
    const std::string* text = value->get<std::string>();
    std::printf("%s\n", text ? text->c_str() : describe(*value).c_str());
    return 0;
}

int write(const std::vector<std::string_view>& args) {
    if (args.size() != 3)
        return usageError("write takes a key, a type (-int, -float, -string) and a value");
    const std::string_view key = args[0], type = args[1], text = args[2];
    if (key.empty()) return usageError("the key must not be empty");
    std::optional<fnd::PlistValue> value;
    if (type == "-int" || type == "-integer") {
        if (auto n = parseInt(text))
            value = fnd::PlistValue(*n);
        else
            return usageError("\"" + std::string(text) + "\" is not a 32-bit integer");
    } else if (type == "-float") {
        if (auto f = parseFloat(text))
            value = fnd::PlistValue(*f);
        else
            return usageError("\"" + std::string(text) + "\" is not a finite number");
    } else if (type == "-string") {
        value = fnd::PlistValue(std::string(text));
    } else {
        return usageError("unknown type \"" + std::string(type) +
                          "\" (use -int, -float or -string)");
    }
    if (!zembra::setPreference(key, std::move(*value)))
        return fail("could not write " + zembra::preferencesPath().value_or("").string());
    return 0;
}

int remove(const std::vector<std::string_view>& args) {
    if (args.size() != 1) return usageError("delete takes one key");
    if (!zembra::preferenceValue(args[0]))
        return fail("the key \"" + std::string(args[0]) + "\" is not set in " +
                    zembra::kBundleIdentifier);
    if (!zembra::removePreference(args[0]))
        return fail("could not write " + zembra::preferencesPath().value_or("").string());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usageError("no command given");
    const std::string_view command = argv[1];
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "-h" || command == "--help" || command == "help") {
        usage(stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("zembra-defaults %s\n", zembra::kVersion);
        return 0;
    }
    if (!zembra::preferencesPath()) return fail("no home directory: set HOME or XDG_CONFIG_HOME");
    if (command == "read") return read(args);
    if (command == "write") return write(args);
    if (command == "delete") return remove(args);
    return usageError("unknown command \"" + std::string(command) + "\"");
}
