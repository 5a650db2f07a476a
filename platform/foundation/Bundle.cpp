// SPDX-License-Identifier: GPL-3.0-or-later
// The bundle registry and resource lookup.
#include "platform/foundation/Bundle.h"

#include "platform/foundation/Log.h"

#include <dlfcn.h>
#include <map>
#include <memory>
#include <vector>

namespace fnd {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, const Bundle*, std::less<>> byIdentifier;
    std::vector<std::unique_ptr<Bundle>> all; // owners; never shrinks
};

Registry& registry() {
    static auto* instance = new Registry; // outlives static destruction, like the bundles
    return *instance;
}

bool isPlainName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

} // namespace

Bundle::Bundle(std::string identifier, std::filesystem::path directory)
    : mIdentifier(std::move(identifier)), mDirectory(std::move(directory)) {}

const Bundle& Bundle::registerBundle(std::string identifier, std::filesystem::path directory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::unique_ptr<Bundle> bundle(new Bundle(identifier, std::move(directory)));
    const Bundle* raw = bundle.get();
    r.all.push_back(std::move(bundle));
    r.byIdentifier.insert_or_assign(std::move(identifier), raw);
    return *raw;
}

const Bundle* Bundle::withIdentifier(std::string_view identifier) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byIdentifier.find(identifier);
    return it == r.byIdentifier.end() ? nullptr : it->second;
}

std::optional<std::filesystem::path> Bundle::directoryOfModuleContaining(const void* address) {
    Dl_info info{};
    if (!address || ::dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return std::nullopt;
    std::error_code ec;
    auto module = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) return std::nullopt;
    return module.parent_path();
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view type) const {
    std::string file(name);
    if (!type.empty()) file.append(".").append(type);
    if (!isPlainName(name) || !isPlainName(file)) return std::nullopt;
    for (const auto& dir :
         {mDirectory, mDirectory / "resources", mDirectory / ".." / "Resources"}) {
        std::error_code ec;
        auto candidate = dir / file;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal();
    }
    return std::nullopt;
}

const PlistDict& Bundle::infoDictionary() const {
    std::call_once(mInfoLoaded, [this] {
        auto path = pathForResource("Info", "plist");
        if (!path) {
            log(LogLevel::Warning,
                "bundle " + mIdentifier + " has no Info.plist in " + mDirectory.string());
            return;
        }
        auto result = readPropertyListFile(*path);
        if (result.value && result.value->get<PlistDict>()) {
            mInfo = std::move(*result.value->get<PlistDict>());
            return;
        }
        log(LogLevel::Warning, "cannot read " + path->string() + ": " +
                                   (result.value ? "not a dictionary" : result.problem));
    });
    return mInfo;
}

const PlistValue* Bundle::infoValue(std::string_view key) const {
    const auto& info = infoDictionary();
    auto it = info.find(key);
    return it == info.end() ? nullptr : &it->second;
}

std::optional<std::string> Bundle::infoString(std::string_view key) const {
    const PlistValue* value = infoValue(key);
    const std::string* text = value ? value->get<std::string>() : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

} // namespace fnd
