// SPDX-License-Identifier: GPL-3.0-or-later
// The host's parameter services as the editor uses them: parameter listeners bound to a run
// loop, reading and setting parameters, telling listeners, and gesture events. Plug-in
// instances are reached through small integer handles from a process-wide registry (see
// AudioUnitInstance.h); each call returns 0 on success and a non-zero status otherwise.
//
// Threads: every call may be made from any thread. A listener's callbacks run on the run
// loop that was current when it was created, never on the caller's stack.
#pragma once

#include <cstdint>

namespace fnd {
class RunLoop;
}

using OSStatus = std::int32_t;

// A plug-in instance: a small positive integer handed out by the instance registry, so the
// 32-bit identity the audio side posts with its levels compares soundly. 0 is none.
using AudioUnit = std::int64_t;
using AudioUnitParameterID = std::uint32_t;
using AudioUnitScope = std::uint32_t;
using AudioUnitElement = std::uint32_t;
using AudioUnitParameterValue = float;
using AudioUnitPropertyID = std::uint32_t;

// Every parameter lives in the global scope, element 0.
inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;

struct AudioUnitParameter {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;

    friend bool operator==(const AudioUnitParameter&, const AudioUnitParameter&) = default;
};

enum AudioUnitEventType : std::uint32_t {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
};

struct AudioUnitEvent {
    AudioUnitEventType mEventType;
    struct {
        AudioUnitParameter mParameter;
    } mArgument;
};

// Names a listener; 0 names none. Never reused within a process.
using AUParameterListenerRef = std::uint64_t;

// `object` is the one the parameter was registered with.
using AUParameterListenerProc = void (*)(void* userData, void* object,
                                         const AudioUnitParameter* parameter,
                                         AudioUnitParameterValue value);

// Statuses, numbered as the platform's parameter services number the same failures.
inline constexpr OSStatus kAUNoErr = 0;
// A null pointer or callback, a bad interval, no run loop, or an unknown listener.
inline constexpr OSStatus kAUErrBadArgument = -50;
inline constexpr OSStatus kAUErrInvalidScope = -10866;
inline constexpr OSStatus kAUErrInvalidElement = -10877;
// No such parameter on the instance, or (removal) no such registration.
inline constexpr OSStatus kAUErrInvalidParameter = -10878;
// The handle names no registered instance.
inline constexpr OSStatus kAUErrInvalidUnit = -66749;
// The instance has no such property, or not in a value of the size asked for.
inline constexpr OSStatus kAUErrInvalidProperty = -10879;
inline constexpr OSStatus kAUErrInvalidPropertyValue = -10851;
// Properties a plug-in defines for its own editor are numbered from here.
inline constexpr AudioUnitPropertyID kAudioUnitProperty_FirstCustom = 64000;

// A listener whose callbacks run on `runLoop` (the caller's current loop when null), which
// must outlive it. For each registered parameter it calls back at most once per
// `notificationInterval` seconds with the latest value; the last change is always delivered.
OSStatus AUListenerCreate(AUParameterListenerProc proc, void* userData, fnd::RunLoop* runLoop,
                          float notificationInterval, AUParameterListenerRef* outListener);

// Registers `parameter` with `object` (may be null). Changes of it from any source then
// reach the listener, except those sent by this listener with this same object. Registering
// the same pair again changes nothing.
OSStatus AUListenerAddParameter(AUParameterListenerRef listener, void* object,
                                const AudioUnitParameter* parameter);

// Removes the registration; a change of it still waiting for delivery is dropped. Works
// after the instance itself has gone.
OSStatus AUListenerRemoveParameter(AUParameterListenerRef listener, void* object,
                                   const AudioUnitParameter* parameter);

// Removes every registration and the listener. Once it returns no callback of the listener
// is running on another thread and none will start.
OSStatus AUListenerDispose(AUParameterListenerRef listener);

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue);

// Copies the value of a property of the instance, in the global scope, element 0, into
// `outData`, which holds `dataSize` bytes of the property's type.
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, std::uint32_t dataSize);

// Hands `value` to the instance, then tells every registration of the parameter the value
// the instance now holds, except the registration of `sendingListener` with `sendingObject`.
// `bufferOffset` is accepted for the platform's shape and ignored: changes apply at once.
OSStatus AUParameterSet(AUParameterListenerRef sendingListener, void* sendingObject,
                        const AudioUnitParameter* parameter, AudioUnitParameterValue value,
                        std::uint32_t bufferOffset);

// Tells the registrations of the parameter (with the same exception) its current value.
OSStatus AUParameterListenerNotify(AUParameterListenerRef sendingListener, void* sendingObject,
                                   const AudioUnitParameter* parameter);

// Passes a begin-gesture, end-gesture or value-change event to the instance.
OSStatus AUEventListenerNotify(AUParameterListenerRef sendingListener, void* sendingObject,
                               const AudioUnitEvent* event);
