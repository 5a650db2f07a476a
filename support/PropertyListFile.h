// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a property-list file named by a URL.
#pragma once

#include "platform/foundation/PropertyList.h"
#include "support/Export.h"

#include <filesystem>
#include <optional>
#include <string_view>

// The property list in the file at `fileUrl` ("file:///path", "file://localhost/path",
// percent-escapes decoded; a plain absolute path is taken too), owned by the caller.
// nullopt when there is no URL, or the file cannot be read or parsed.
ZEMBRA_CXX_RESULT_BEGIN
ZEMBRA_EXPORT std::optional<fnd::PlistValue> CreatePropertyListFromFile(std::string_view fileUrl);
ZEMBRA_CXX_RESULT_END

namespace zembra {

// The local path a file URL names; nullopt for other URLs, a remote host, a bad or NUL
// percent-escape, or a relative path.
std::optional<std::filesystem::path> pathFromFileUrl(std::string_view url);

} // namespace zembra
