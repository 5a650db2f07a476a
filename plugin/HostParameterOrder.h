// SPDX-License-Identifier: GPL-3.0-or-later
// Where each parameter sits in the host's list, per plug-in format. DPF's VST3 wrapper answers
// 0 for the value of the first parameter after its MIDI-controller block whenever a host asks
// (Ardour asks on every session load, then sets what it read), so in VST3 the meters, which a
// host only reads, take the front and the controls (the twelve, then the routing) follow; the
// other formats keep our order.
#pragma once

#include "ZembraParameters.h"

#include <cstdint>
#include <cstring>

namespace zembra::plugin {

class HostParameterOrder {
  public:
    explicit HostParameterOrder(const char* formatName)
        : mMetersFirst(formatName && std::strcmp(formatName, "VST3") == 0) {}

    std::uint32_t toOurs(std::uint32_t host) const {
        if (!mMetersFirst) return host;
        return host < kMeterCount ? kOutputPeakA + host : host - kMeterCount;
    }
    std::uint32_t toHost(std::uint32_t ours) const {
        if (!mMetersFirst) return ours;
        return ours >= kOutputPeakA ? ours - kOutputPeakA : ours + kMeterCount;
    }

  private:
    static constexpr auto kMeterCount = static_cast<std::uint32_t>(kMeters.size());
    bool mMetersFirst;
};

} // namespace zembra::plugin
