// SPDX-License-Identifier: GPL-3.0-or-later
// The instance side of the parameter services: what a plug-in instance implements so that
// editors can reach it, and its registration, which hands out the instance's AudioUnit
// handle. The plug-in shell implements AudioUnitInstance over its host connection; tests
// and tools use TestHost.
#pragma once

#include "platform/audiounit/AudioUnit.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class AudioUnitInstance {
  public:
    virtual ~AudioUnitInstance() = default;

    // Parameters 0..count-1, each in the global scope, element 0.
    virtual std::uint32_t parameterCount() const = 0;
    virtual AudioUnitParameterValue getParameter(AudioUnitParameterID id) const = 0;
    // The instance may keep a different value (clamped, truncated); listeners are told what
    // getParameter gives afterwards.
    virtual void setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) = 0;
    virtual void beginParameterGesture(AudioUnitParameterID id) = 0;
    virtual void endParameterGesture(AudioUnitParameterID id) = 0;
    virtual void parameterValueEvent(AudioUnitParameterID id) { (void)id; }
    // Copies a property's value into `outData` of `dataSize` bytes; none by default.
    virtual OSStatus getProperty(AudioUnitPropertyID id, void* outData,
                                 std::uint32_t dataSize) const {
        (void)id, (void)outData, (void)dataSize;
        return kAUErrInvalidProperty;
    }
};

namespace au {

// Registers an instance for as long as it lives and gives it a handle. Calls through the
// parameter services hold their own reference, so an instance may be unregistered while
// another thread is calling it; none of its methods is called with a lock of ours held.
class InstanceRegistration {
  public:
    explicit InstanceRegistration(std::shared_ptr<AudioUnitInstance> instance);
    ~InstanceRegistration();
    InstanceRegistration(const InstanceRegistration&) = delete;
    InstanceRegistration& operator=(const InstanceRegistration&) = delete;

    AudioUnit unit() const { return mUnit; }

    // A change made outside the parameter services (host automation, a preset, the plug-in
    // itself), already applied to the instance, told to every listener of the parameter.
    void parameterChanged(AudioUnitParameterID id, AudioUnitParameterValue value) const;

  private:
    AudioUnit mUnit;
};

// How many registrations of all listeners together address (unit, id, global, 0).
std::size_t registrationCount(AudioUnit unit, AudioUnitParameterID id);
// Listeners alive in the process.
std::size_t listenerCount();

} // namespace au
