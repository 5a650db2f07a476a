// SPDX-License-Identifier: GPL-3.0-or-later
// Sources A and B from the host's four channels: each routing takes its own channels, a source
// on two channels is heard as their mean and a mono one as it is, the host's buffers may be the
// outputs, and a change of routing takes effect at the next block.
#include "DspRun.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using namespace zembra::plugin::test;

namespace {

constexpr uint32_t kBlock = 300; // not a divisor of the hop, nor of the mixing passes

struct Channels {
    std::vector<float> trackLeft, trackRight, sideLeft, sideRight;
};

// Four different signals: the track's two, the side-chain's two.
Channels channels(uint32_t frames) {
    const Signals one = sources(frames), two = sources(frames + 777);
    return {one.a, one.b, {two.a.begin() + 777, two.a.end()}, {two.b.begin() + 777, two.b.end()}};
}

std::vector<float> mean(const std::vector<float>& l, const std::vector<float>& r) {
    std::vector<float> m(l.size());
    for (size_t i = 0; i < l.size(); ++i)
        m[i] = (l[i] + r[i]) * 0.5f;
    return m;
}

// Runs the host's channels through `dsp` in blocks, the routing set before block `switchAt`
// to `later`; `inPlace` writes the output over the track's channels, as a host may.
Output runHost(Dsp& dsp, Channels in, HostInputs (*pick)(const Channels&), uint32_t switchAt = 0,
               float later = -1.0f, bool inPlace = false) {
    const auto frames = static_cast<uint32_t>(in.trackLeft.size());
    Output out{std::vector<float>(frames), std::vector<float>(frames)};
    const HostInputs host = pick(in);
    for (uint32_t start = 0, block = 0; start < frames; start += kBlock, ++block) {
        if (block == switchAt && later >= 0.0f) dsp.setParameter(kParamSourceRouting, later);
        const uint32_t n = std::min(kBlock, frames - start);
        const auto at = [start](const float* p) { return p ? p + start : nullptr; };
        float* left = inPlace ? in.trackLeft.data() + start : out.l.data() + start;
        float* right = inPlace ? in.trackRight.data() + start : out.r.data() + start;
        dsp.process({at(host.trackLeft), at(host.trackRight), at(host.sideChainLeft),
                     at(host.sideChainRight)},
                    left, right, n, nullptr, 0);
    }
    if (inPlace) out = {in.trackLeft, in.trackRight};
    return out;
}

HostInputs all(const Channels& c) {
    return {c.trackLeft.data(), c.trackRight.data(), c.sideLeft.data(), c.sideRight.data()};
}

// A on both of the track's channels, B on the side-chain's left alone.
HostInputs monoSources(const Channels& c) {
    return {c.trackLeft.data(), c.trackLeft.data(), c.sideLeft.data(), nullptr};
}

} // namespace

TEST(Routing, EachChoiceHearsItsOwnChannelsWholeAndSwitchesAtABlock) {
    const Channels in = channels(9000);
    const Signals split{in.trackLeft, in.trackRight};
    const Signals stereo{mean(in.trackLeft, in.trackRight), mean(in.sideLeft, in.sideRight)};
    const Settings settings = {{kParamX, 0.3f}, {kParamMixA, 20.0f}, {kParamMixB, 10.0f}};
    const auto expected = [&](const Signals& s) {
        Dsp dsp;
        setAll(dsp, settings);
        return runDsp(dsp, s, kBlock);
    };
    const auto routed = [&](float routing, HostInputs (*pick)(const Channels&), bool inPlace) {
        Dsp dsp;
        setAll(dsp, settings);
        dsp.setParameter(kParamSourceRouting, routing);
        return runHost(dsp, in, pick, 0, -1.0f, inPlace);
    };

    // By default A is the track, B the side-chain, each the mean of its two channels, with the
    // output written elsewhere or over the track's own buffers.
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "apart");
        EXPECT_TRUE(routed(kRoutingTrackAndSideChain, all, inPlace) == expected(stereo));
        EXPECT_TRUE(routed(kRoutingLeftAndRight, all, inPlace) == expected(split));
    }
    // A mono source, on both channels or on one, is heard as it is.
    EXPECT_TRUE(routed(kRoutingTrackAndSideChain, monoSources, false) ==
                expected({in.trackLeft, in.sideLeft}));

    // Switched before block 12, the sources change there and nowhere else.
    Dsp switched;
    setAll(switched, settings);
    const Output both = runHost(switched, in, all, 12, kRoutingLeftAndRight);
    Signals spliced = stereo;
    for (size_t i = 12 * kBlock; i < spliced.a.size(); ++i) {
        spliced.a[i] = split.a[i];
        spliced.b[i] = split.b[i];
    }
    EXPECT_TRUE(both == expected(spliced));
}
