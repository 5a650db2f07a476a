// SPDX-License-Identifier: GPL-3.0-or-later
// How an editor reaches the sound of its plug-in instance: a property of the instance whose
// value is the instance's signal tap, shared so that it outlives whichever side lets go first.
#pragma once

#include "engine/SignalTap.h"
#include "platform/audiounit/AudioUnit.h"

#include <memory>

namespace zembra {

inline constexpr AudioUnitPropertyID kSignalTapProperty = kAudioUnitProperty_FirstCustom;
using SignalTapValue = std::shared_ptr<SignalTap>;

// The instance's side of the property: copies `tap` into the caller's value.
inline OSStatus copySignalTap(const SignalTapValue& tap, void* outData, std::uint32_t dataSize) {
    if (dataSize != sizeof(SignalTapValue)) return kAUErrInvalidPropertyValue;
    *static_cast<SignalTapValue*>(outData) = tap;
    return kAUNoErr;
}

// The tap of `unit`, or null when it has none (a host without direct access to the plug-in).
inline SignalTapValue signalTapOf(AudioUnit unit) {
    SignalTapValue tap;
    if (AudioUnitGetProperty(unit, kSignalTapProperty, kAudioUnitScope_Global, 0, &tap,
                             sizeof tap) != kAUNoErr)
        return nullptr;
    return tap;
}

} // namespace zembra
