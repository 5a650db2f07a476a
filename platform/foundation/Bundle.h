// SPDX-License-Identifier: GPL-3.0-or-later
// Bundles: a directory of resources known by a reverse-DNS identifier. The module that
// owns a bundle registers it when it loads (finding its own directory with
// directoryOfModuleContaining); everything else looks it up by identifier.
#pragma once

#include "platform/foundation/PropertyList.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace fnd {

class Bundle {
  public:
    // Registers (or moves) the bundle `identifier` to `directory`. Bundles are never freed:
    // a pointer from withIdentifier stays valid for the process's life; re-registering an
    // identifier makes later lookups find the new directory.
    static const Bundle& registerBundle(std::string identifier, std::filesystem::path directory);
    static const Bundle* withIdentifier(std::string_view identifier);

    // The directory of the loaded executable or shared object that contains `address`
    // (pass the address of one of its functions), or nullopt.
    static std::optional<std::filesystem::path> directoryOfModuleContaining(const void* address);

    const std::string& identifier() const { return mIdentifier; }
    const std::filesystem::path& directory() const { return mDirectory; }

    // "<name>.<type>" (just `name` when `type` is empty), looked for in the bundle directory,
    // then its "resources" directory, then "../Resources" (the VST3 layout, where the module
    // sits in Contents/<arch>). Names holding a path separator or ".." find nothing.
    std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                         std::string_view type) const;

    // Info.plist, found like a resource and read once. Empty when it is missing or not a
    // dictionary (which is logged once).
    const PlistDict& infoDictionary() const;
    const PlistValue* infoValue(std::string_view key) const;
    std::optional<std::string> infoString(std::string_view key) const;

  private:
    Bundle(std::string identifier, std::filesystem::path directory);

    std::string mIdentifier;
    std::filesystem::path mDirectory;
    mutable std::once_flag mInfoLoaded;
    mutable PlistDict mInfo;
};

} // namespace fnd
