// SPDX-License-Identifier: GPL-3.0-or-later
// File URLs to paths, and reading the property list behind them.
#include "support/PropertyListFile.h"

namespace zembra {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::filesystem::path> pathFromFileUrl(std::string_view url) {
    constexpr std::string_view kScheme = "file://";
    std::string_view rest;
    if (url.size() > kScheme.size() && url.substr(0, kScheme.size()) == kScheme) {
        rest = url.substr(kScheme.size());
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const auto host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost") return std::nullopt;
        rest = rest.substr(slash);
    } else if (!url.empty() && url.front() == '/') {
        return std::filesystem::path(std::string(url));
    } else {
        return std::nullopt;
    }
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path.push_back(rest[i]);
            continue;
        }
        if (i + 2 >= rest.size()) return std::nullopt;
        const int hi = hexDigit(rest[i + 1]);
        const int lo = hexDigit(rest[i + 2]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return std::nullopt;
        path.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return std::filesystem::path(path);
}

} // namespace zembra

std::optional<fnd::PlistValue> CreatePropertyListFromFile(std::string_view fileUrl) {
    auto path = zembra::pathFromFileUrl(fileUrl);
    if (!path) return std::nullopt;
    auto result = fnd::readPropertyListFile(*path);
    return std::move(result.value);
}
