// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the plug-in's DSP object over whole signals as a host would, block by block, for the
// tests of the plug-in and of the offline renderer that must sound like it.
#pragma once

#include "ZembraDsp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace zembra::plugin::test {

constexpr uint32_t kFrames = 8192;

struct Signals {
    std::vector<float> a, b;
};

// A voice-like tone on A and seeded noise on B.
inline Signals sources(uint32_t frames = kFrames) {
    Signals s{std::vector<float>(frames), std::vector<float>(frames)};
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < frames; ++i) {
        s.a[i] = 0.4f * std::sin(0.031f * static_cast<float>(i)) *
                 (0.6f + 0.4f * std::sin(0.0007f * static_cast<float>(i)));
        seed = seed * 1664525u + 1013904223u;
        s.b[i] = 0.3f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return s;
}

struct Output {
    std::vector<float> l, r;
    bool operator==(const Output&) const = default;
    Output from(size_t first) const {
        return {{l.begin() + first, l.end()}, {r.begin() + first, r.end()}};
    }
};

// Host values by parameter id.
using Settings = std::vector<std::pair<int, float>>;

inline void setAll(Dsp& dsp, const Settings& hostValues) {
    for (auto [id, value] : hostValues)
        dsp.setParameter(static_cast<uint32_t>(id), value);
}

// Runs the DSP object over the signals in blocks of `block` frames, with the events given at
// absolute frames and, when given, a transport whose first block sits at `timeline`.
inline Output runDsp(Dsp& dsp, const Signals& s, uint32_t block,
                     std::vector<MidiMessage> events = {}, std::optional<Transport> timeline = {}) {
    const auto frames = static_cast<uint32_t>(s.a.size());
    Output out{std::vector<float>(frames), std::vector<float>(frames)};
    for (uint32_t start = 0; start < frames; start += block) {
        const uint32_t n = std::min(block, frames - start);
        std::vector<MidiMessage> local;
        for (const MidiMessage& m : events)
            if (m.frame >= start && m.frame < start + n)
                local.push_back({m.frame - start, m.size, {m.bytes[0], m.bytes[1], m.bytes[2]}});
        Transport at{};
        if (timeline) at = {timeline->rolling, timeline->frame + start};
        dsp.process(s.a.data() + start, s.b.data() + start, out.l.data() + start,
                    out.r.data() + start, n, local.data(), static_cast<uint32_t>(local.size()), at);
    }
    return out;
}

using EngineCall = std::function<void(RTzembraInstance*)>;

// The bare engine in the host's settings, with each call made on it before its frame: what the
// DSP object must play given the host values and the MIDI those calls stand for.
inline Output runEngine(const Settings& hostValues, const Signals& s,
                        const std::vector<std::pair<uint32_t, EngineCall>>& calls = {}) {
    Processor engine;
    for (auto [id, value] : hostValues)
        engine.setParameter(id, kParameters[id].toEngine(value));
    Output out{std::vector<float>(s.a.size()), std::vector<float>(s.a.size())};
    long done = 0;
    auto runTo = [&](long end) {
        engine.process(s.a.data() + done, s.b.data() + done, out.l.data() + done,
                       out.r.data() + done, end - done);
        done = end;
    };
    for (const auto& [frame, call] : calls) {
        runTo(frame);
        call(engine.instance());
    }
    runTo(static_cast<long>(s.a.size()));
    return out;
}

} // namespace zembra::plugin::test
