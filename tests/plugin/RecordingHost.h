// SPDX-License-Identifier: GPL-3.0-or-later
// A host connection for the UI tests that records what reaches the host, and on which thread.
#pragma once

#include "HostParameters.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zembra::plugin::test {

class RecordingHost final : public HostConnection {
  public:
    struct Call {
        std::string what; // "set", "begin", "end"
        std::uint32_t index;
        float value;
        std::thread::id thread;
        friend bool operator==(const Call& a, const Call& b) {
            return a.what == b.what && a.index == b.index && a.value == b.value;
        }
    };
    void setParameterValue(std::uint32_t index, float value) override {
        calls.push_back({"set", index, value, std::this_thread::get_id()});
    }
    void editParameter(std::uint32_t index, bool started) override {
        calls.push_back({started ? "begin" : "end", index, 0.0f, std::this_thread::get_id()});
    }
    std::vector<Call> calls;
};

inline RecordingHost::Call set(std::uint32_t i, float v) {
    return {"set", i, v, {}};
}
inline RecordingHost::Call begin(std::uint32_t i) {
    return {"begin", i, 0.0f, {}};
}
inline RecordingHost::Call end(std::uint32_t i) {
    return {"end", i, 0.0f, {}};
}

} // namespace zembra::plugin::test
