// SPDX-License-Identifier: GPL-3.0-or-later
// Sources A and B from the host's audio inputs, as the routing control says: the track's own
// two channels and the side-chain's two. Where a source comes on two channels it is heard
// whole, as their mean, the way zembra-render mixes a two-channel file; a mono source reaches
// both channels (hosts feed a mono track to both) and comes out as it went in.
#pragma once

#include "ZembraParameters.h"

#include <cstdint>

namespace zembra::plugin {

// One block's input channels; a null channel is not there: a source given on one channel is
// that channel, one given on none is silence.
struct HostInputs {
    const float* trackLeft = nullptr;
    const float* trackRight = nullptr;
    const float* sideChainLeft = nullptr;
    const float* sideChainRight = nullptr;
};

struct Sources {
    const float* a;
    const float* b;
};

// Frames [offset, offset + frames) of the sources. A source that is one host channel points
// into the host's buffer; a mean is written into `mixA` or `mixB`, which hold `frames`
// samples. Allocation-free.
inline Sources routeSources(SourceRouting routing, const HostInputs& in, std::uint32_t offset,
                            std::uint32_t frames, float* mixA, float* mixB) {
    const auto at = [offset](const float* channel) { return channel ? channel + offset : nullptr; };
    if (routing == kRoutingLeftAndRight) return {at(in.trackLeft), at(in.trackRight)};
    // (l + r) * 0.5, summed in the order zembra-render sums a file's channels.
    const auto mean = [&](const float* left, const float* right, float* mix) -> const float* {
        if (!left || !right || left == right) return at(left ? left : right);
        for (std::uint32_t i = 0; i < frames; ++i)
            mix[i] = (left[offset + i] + right[offset + i]) * 0.5f;
        return mix;
    };
    return {mean(in.trackLeft, in.trackRight, mixA),
            mean(in.sideChainLeft, in.sideChainRight, mixB)};
}

} // namespace zembra::plugin
