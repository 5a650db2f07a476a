// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's own bundle (its identifier is kBundleIdentifier) and its version text.
#pragma once

#include "platform/foundation/Bundle.h"
#include "support/Export.h"

#include <optional>
#include <string>

// "CFBundleVersion" from the plug-in bundle's Info.plist; nullopt when the bundle is not
// registered or has no such entry.
ZEMBRA_CXX_RESULT_BEGIN
ZEMBRA_EXPORT std::optional<std::string> GetVersion();
ZEMBRA_CXX_RESULT_END

namespace zembra {

// Registers the plug-in bundle at the directory of the module that contains `address`
// (pass a function of the plug-in module). Returns nullptr when the module is not found.
const fnd::Bundle* registerPluginBundle(const void* address);
// The registered plug-in bundle, or nullptr.
const fnd::Bundle* pluginBundle();

} // namespace zembra
