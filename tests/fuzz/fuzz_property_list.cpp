// SPDX-License-Identifier: GPL-3.0-or-later
// Property lists from arbitrary bytes, as preferences, Info.plist and presets are read. What
// parses must read back once written, or a save would leave a file later moved aside as damaged.
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
