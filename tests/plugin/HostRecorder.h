// SPDX-License-Identifier: GPL-3.0-or-later
// The host as the UI tests see it: what reaches it is recorded by the parameter services' test
// host, and every call must come on the main thread, as hosts require.
#pragma once

#include "HostParameters.h"
#include "platform/audiounit/TestHost.h"
#include "platform/foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace zembra::plugin::test {

// Host calls written down as "begin 3", "set 3 0.5", "end 3".
using Calls = std::vector<std::string>;
inline std::string set(std::uint32_t id, float value) {
    std::ostringstream text;
    text << "set " << id << " " << value;
    return text.str();
}
inline std::string begin(std::uint32_t id) {
    return "begin " + std::to_string(id);
}
inline std::string end(std::uint32_t id) {
    return "end " + std::to_string(id);
}

class HostRecorder final : public HostConnection {
  public:
    void setParameterValue(std::uint32_t index, float value) override {
        EXPECT_TRUE(fnd::RunLoop::main().isCurrent()) << "set off the main thread";
        mRecord.setParameter(index, value);
    }
    void editParameter(std::uint32_t index, bool started) override {
        EXPECT_TRUE(fnd::RunLoop::main().isCurrent()) << "gesture off the main thread";
        started ? mRecord.beginParameterGesture(index) : mRecord.endParameterGesture(index);
    }
    Calls calls() const {
        using Kind = au::TestHost::Call::Kind;
        Calls seen;
        for (const au::TestHost::Call& c : mRecord.calls())
            seen.push_back(c.kind == Kind::Set
                               ? set(c.id, c.value)
                               : (c.kind == Kind::BeginGesture ? begin : end)(c.id));
        return seen;
    }
    void clear() { mRecord.clearCalls(); }

  private:
    au::TestHost mRecord{std::vector<float>(kZembraParameterCount)};
};

} // namespace zembra::plugin::test
