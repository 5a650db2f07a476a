// SPDX-License-Identifier: GPL-3.0-or-later
// Input reports from arbitrary bytes through a newly arrived controller's decoder, each a
// length byte and that many bytes (up to 255: short, full and oversized reports alike).
#include "controller/KlovDecoder.h"

#include <algorithm>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    klov::KlovDecoder decoder;
    while (size > 0) {
        const std::size_t length = std::min<std::size_t>(data[0], size - 1);
        klov::DecodeReport(decoder, std::span<const std::uint8_t>(data + 1, length));
        data += 1 + length;
        size -= 1 + length;
    }
    return 0;
}
