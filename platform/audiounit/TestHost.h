// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in instance held in memory, for tests and tools: parameters with initial values,
// an optional rule for what it keeps, and a record of everything the services asked of it.
#pragma once

#include "platform/audiounit/AudioUnitInstance.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace au {

class TestHost : public AudioUnitInstance {
  public:
    struct Call {
        enum class Kind { Set, BeginGesture, EndGesture, ValueEvent };
        Kind kind;
        AudioUnitParameterID id;
        AudioUnitParameterValue value; // Set only
    };
    // What the instance keeps of a value it is given (clamping, truncation); identity when
    // empty.
    using Rule =
        std::function<AudioUnitParameterValue(AudioUnitParameterID, AudioUnitParameterValue)>;

    explicit TestHost(std::vector<AudioUnitParameterValue> initial, Rule rule = {});

    std::uint32_t parameterCount() const override;
    AudioUnitParameterValue getParameter(AudioUnitParameterID id) const override;
    void setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) override;
    void beginParameterGesture(AudioUnitParameterID id) override;
    void endParameterGesture(AudioUnitParameterID id) override;
    void parameterValueEvent(AudioUnitParameterID id) override;
    OSStatus getProperty(AudioUnitPropertyID id, void* outData,
                         std::uint32_t dataSize) const override;

    // What answers for property `id` from now on: it copies the value into the caller's.
    using PropertySource = std::function<OSStatus(void* outData, std::uint32_t dataSize)>;
    void setProperty(AudioUnitPropertyID id, PropertySource source);

    // A change the host makes itself (automation, a preset): stored, not recorded as a call.
    void store(AudioUnitParameterID id, AudioUnitParameterValue value);

    std::vector<Call> calls() const;
    std::vector<Call> calls(Call::Kind kind) const;
    void clearCalls();

  private:
    mutable std::mutex mMutex;
    std::vector<AudioUnitParameterValue> mValues;
    Rule mRule;
    std::vector<Call> mCalls;
    std::map<AudioUnitPropertyID, PropertySource> mProperties;
};

} // namespace au
