// SPDX-License-Identifier: GPL-3.0-or-later
// Property lists from arbitrary bytes: what the preference file, Info.plist and presets go
// through. Whatever parses must also survive being written and read back, since a save
// writes exactly that and a list that did not read back would be moved aside as damaged.
#include "platform/foundation/PropertyList.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto value = fnd::parsePropertyList({reinterpret_cast<const char*>(data), size});
    if (!value) return 0;
    const std::string xml = fnd::toXmlPropertyList(*value);
    if (!fnd::parsePropertyList(xml)) std::abort();
    return 0;
}
