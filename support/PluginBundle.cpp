// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the plug-in's bundle and reading its version.
#include "support/PluginBundle.h"

#include "support/BundleIdentity.h"

namespace zembra {

const fnd::Bundle* registerPluginBundle(const void* address) {
    auto directory = fnd::Bundle::directoryOfModuleContaining(address);
    if (!directory) return nullptr;
    return &fnd::Bundle::registerBundle(kBundleIdentifier, std::move(*directory));
}

const fnd::Bundle* pluginBundle() {
    return fnd::Bundle::withIdentifier(kBundleIdentifier);
}

} // namespace zembra

std::optional<std::string> GetVersion() {
    const fnd::Bundle* bundle = zembra::pluginBundle();
    return bundle ? bundle->infoString("CFBundleVersion") : std::nullopt;
}
