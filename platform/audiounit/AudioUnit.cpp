// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter services: the instance registry, listeners that deliver each parameter's
// changes on their run loop at most once per interval, and the calls that reach instances.
#include "platform/audiounit/AudioUnit.h"

#include "platform/audiounit/AudioUnitInstance.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// One registration (a parameter with the object it was registered with) and the delivery
// of its changes: `busy` from the moment a delivery is queued until the quiet interval
// after it has passed with nothing new. Changes while busy only replace `pending`.
struct Slot {
    void* object;
    AudioUnitParameter parameter;
    std::optional<AudioUnitParameterValue> pending;
    bool busy = false;
    bool removed = false;
    fnd::Timer quiet;
};

class Listener : public std::enable_shared_from_this<Listener> {
  public:
    Listener(AUParameterListenerRef ref, AUParameterListenerProc proc, void* userData,
             fnd::RunLoop& loop, fnd::Clock::duration interval)
        : mRef(ref), mProc(proc), mUserData(userData), mLoop(loop), mInterval(interval) {}

    OSStatus add(void* object, const AudioUnitParameter& p) {
        std::lock_guard lock(mMutex);
        if (mDisposed) return kAUErrBadArgument;
        if (find(object, p) == mSlots.end()) {
            auto slot = std::make_shared<Slot>();
            slot->object = object;
            slot->parameter = p;
            mSlots.push_back(std::move(slot));
        }
        return kAUNoErr;
    }

    OSStatus remove(void* object, const AudioUnitParameter& p) {
        std::shared_ptr<Slot> dropped; // its timer goes after the lock is released
        std::lock_guard lock(mMutex);
        auto it = find(object, p);
        if (it == mSlots.end()) return kAUErrInvalidParameter;
        dropped = *it;
        dropped->removed = true;
        mSlots.erase(it);
        return kAUNoErr;
    }

    void dispose() {
        std::vector<std::shared_ptr<Slot>> dropped;
        {
            std::unique_lock lock(mMutex);
            mDisposed = true;
            dropped.swap(mSlots);
            for (auto& s : dropped)
                s->removed = true;
            // Deliveries run on the loop's thread only; from there (a callback disposing of
            // its own listener) there is nothing to wait for.
            if (!mLoop.isCurrent()) mIdle.wait(lock, [this] { return mDelivering == 0; });
        }
    }

    void changed(const AudioUnitParameter& p, AudioUnitParameterValue value,
                 AUParameterListenerRef sendingListener, const void* sendingObject) {
        std::vector<std::weak_ptr<Slot>> toQueue;
        {
            std::lock_guard lock(mMutex);
            if (mDisposed) return;
            for (auto& s : mSlots) {
                if (!(s->parameter == p)) continue;
                if (sendingListener == mRef && s->object == sendingObject) continue;
                s->pending = value;
                if (!s->busy) {
                    s->busy = true;
                    toQueue.push_back(s);
                }
            }
        }
        for (auto& s : toQueue)
            mLoop.perform([self = weak_from_this(), s] {
                if (auto l = self.lock()) l->deliver(s);
            });
    }

    std::size_t count(AudioUnit unit, AudioUnitParameterID id) const {
        std::lock_guard lock(mMutex);
        return static_cast<std::size_t>(std::count_if(mSlots.begin(), mSlots.end(), [&](auto& s) {
            return s->parameter == AudioUnitParameter{unit, id, kAudioUnitScope_Global, 0};
        }));
    }

  private:
    using Slots = std::vector<std::shared_ptr<Slot>>;
    Slots::iterator find(void* object, const AudioUnitParameter& p) {
        return std::find_if(mSlots.begin(), mSlots.end(),
                            [&](auto& s) { return s->object == object && s->parameter == p; });
    }

    // On the loop's thread: queued after a change, and again when the quiet interval ends.
    void deliver(const std::weak_ptr<Slot>& weakSlot) {
        auto slot = weakSlot.lock();
        if (!slot) return;
        fnd::Timer finished; // the interval that just ended, released after the lock
        AudioUnitParameterValue value;
        {
            std::lock_guard lock(mMutex);
            if (mDisposed || slot->removed) return;
            finished = std::move(slot->quiet);
            if (!slot->pending) {
                slot->busy = false;
                return;
            }
            value = *slot->pending;
            slot->pending.reset();
            if (mInterval > fnd::Clock::duration::zero()) {
                slot->quiet = mLoop.addTimer(mInterval, false, [self = weak_from_this(), weakSlot] {
                    if (auto l = self.lock()) l->deliver(weakSlot);
                });
            } else {
                slot->busy = false;
            }
            ++mDelivering;
        }
        const AudioUnitParameter parameter = slot->parameter;
        mProc(mUserData, slot->object, &parameter, value);
        {
            std::lock_guard lock(mMutex);
            --mDelivering;
        }
        mIdle.notify_all();
    }

    const AUParameterListenerRef mRef;
    const AUParameterListenerProc mProc;
    void* const mUserData;
    fnd::RunLoop& mLoop;
    const fnd::Clock::duration mInterval;

    mutable std::mutex mMutex;
    std::condition_variable mIdle;
    Slots mSlots;
    bool mDisposed = false;
    int mDelivering = 0;
};

struct Registry {
    std::mutex mutex;
    std::map<AudioUnit, std::shared_ptr<AudioUnitInstance>> units;
    AudioUnit nextUnit = 1;
    std::map<AUParameterListenerRef, std::shared_ptr<Listener>> listeners;
    AUParameterListenerRef nextListener = 1;
};

// Never destroyed: instances and editors may outlive static destruction on other threads.
Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

std::shared_ptr<Listener> findListener(AUParameterListenerRef ref) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.listeners.find(ref);
    return it == r.listeners.end() ? nullptr : it->second;
}

// The instance and the one place (global scope, element 0) it keeps its values in.
OSStatus findGlobal(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element,
                    std::shared_ptr<AudioUnitInstance>& out) {
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.units.find(unit);
        if (it == r.units.end()) return kAUErrInvalidUnit;
        out = it->second;
    }
    if (scope != kAudioUnitScope_Global) return kAUErrInvalidScope;
    if (element != 0) return kAUErrInvalidElement;
    return kAUNoErr;
}

OSStatus findInstance(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                      AudioUnitElement element, std::shared_ptr<AudioUnitInstance>& out) {
    if (OSStatus st = findGlobal(unit, scope, element, out); st != kAUNoErr) return st;
    if (id >= out->parameterCount()) return kAUErrInvalidParameter;
    return kAUNoErr;
}

OSStatus findInstance(const AudioUnitParameter& p, std::shared_ptr<AudioUnitInstance>& out) {
    return findInstance(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, out);
}

void tellListeners(const AudioUnitParameter& p, AudioUnitParameterValue value,
                   AUParameterListenerRef sendingListener, const void* sendingObject) {
    std::vector<std::shared_ptr<Listener>> all;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        all.reserve(r.listeners.size());
        for (auto& [ref, l] : r.listeners)
            all.push_back(l);
    }
    for (auto& l : all)
        l->changed(p, value, sendingListener, sendingObject);
}

} // namespace

OSStatus AUListenerCreate(AUParameterListenerProc proc, void* userData, fnd::RunLoop* runLoop,
                          float notificationInterval, AUParameterListenerRef* outListener) {
    if (!proc || !outListener) return kAUErrBadArgument;
    if (!std::isfinite(notificationInterval) || notificationInterval < 0.0f ||
        notificationInterval > 3600.0f)
        return kAUErrBadArgument;
    fnd::RunLoop* loop = runLoop ? runLoop : fnd::RunLoop::current();
    if (!loop) return kAUErrBadArgument;
    const auto interval = std::chrono::duration_cast<fnd::Clock::duration>(
        std::chrono::duration<double>(notificationInterval));
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const AUParameterListenerRef ref = r.nextListener++;
    r.listeners.emplace(ref, std::make_shared<Listener>(ref, proc, userData, *loop, interval));
    *outListener = ref;
    return kAUNoErr;
}

OSStatus AUListenerAddParameter(AUParameterListenerRef listener, void* object,
                                const AudioUnitParameter* parameter) {
    auto l = findListener(listener);
    if (!l || !parameter) return kAUErrBadArgument;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findInstance(*parameter, instance); st != kAUNoErr) return st;
    return l->add(object, *parameter);
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef listener, void* object,
                                   const AudioUnitParameter* parameter) {
    auto l = findListener(listener);
    if (!l || !parameter) return kAUErrBadArgument;
    return l->remove(object, *parameter);
}

OSStatus AUListenerDispose(AUParameterListenerRef listener) {
    std::shared_ptr<Listener> l;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.listeners.find(listener);
        if (it == r.listeners.end()) return kAUErrBadArgument;
        l = std::move(it->second);
        r.listeners.erase(it);
    }
    l->dispose();
    return kAUNoErr;
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue) {
    if (!outValue) return kAUErrBadArgument;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findInstance(unit, id, scope, element, instance); st != kAUNoErr) return st;
    *outValue = instance->getParameter(id);
    return kAUNoErr;
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, std::uint32_t dataSize) {
    if (!outData) return kAUErrBadArgument;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findGlobal(unit, scope, element, instance); st != kAUNoErr) return st;
    return instance->getProperty(id, outData, dataSize);
}

OSStatus AUParameterSet(AUParameterListenerRef sendingListener, void* sendingObject,
                        const AudioUnitParameter* parameter, AudioUnitParameterValue value,
                        std::uint32_t) {
    if (!parameter) return kAUErrBadArgument;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findInstance(*parameter, instance); st != kAUNoErr) return st;
    instance->setParameter(parameter->mParameterID, value);
    tellListeners(*parameter, instance->getParameter(parameter->mParameterID), sendingListener,
                  sendingObject);
    return kAUNoErr;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef sendingListener, void* sendingObject,
                                   const AudioUnitParameter* parameter) {
    if (!parameter) return kAUErrBadArgument;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findInstance(*parameter, instance); st != kAUNoErr) return st;
    tellListeners(*parameter, instance->getParameter(parameter->mParameterID), sendingListener,
                  sendingObject);
    return kAUNoErr;
}

OSStatus AUEventListenerNotify(AUParameterListenerRef, void*, const AudioUnitEvent* event) {
    if (!event) return kAUErrBadArgument;
    const AudioUnitParameter& p = event->mArgument.mParameter;
    std::shared_ptr<AudioUnitInstance> instance;
    if (OSStatus st = findInstance(p, instance); st != kAUNoErr) return st;
    switch (event->mEventType) {
    case kAudioUnitEvent_BeginParameterChangeGesture:
        instance->beginParameterGesture(p.mParameterID);
        return kAUNoErr;
    case kAudioUnitEvent_EndParameterChangeGesture:
        instance->endParameterGesture(p.mParameterID);
        return kAUNoErr;
    case kAudioUnitEvent_ParameterValueChange:
        instance->parameterValueEvent(p.mParameterID);
        return kAUNoErr;
    }
    return kAUErrBadArgument;
}

namespace au {

InstanceRegistration::InstanceRegistration(std::shared_ptr<AudioUnitInstance> instance) : mUnit(0) {
    if (!instance) return;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    // Handles stay positive 32-bit integers, the width the audio side posts them in.
    auto advance = [&] {
        r.nextUnit = r.nextUnit >= std::numeric_limits<std::int32_t>::max() ? 1 : r.nextUnit + 1;
    };
    while (r.units.count(r.nextUnit))
        advance();
    mUnit = r.nextUnit;
    advance();
    r.units.emplace(mUnit, std::move(instance));
}

InstanceRegistration::~InstanceRegistration() {
    if (mUnit == 0) return;
    std::shared_ptr<AudioUnitInstance> released; // destroyed after the lock
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.units.find(mUnit);
    if (it == r.units.end()) return;
    released = std::move(it->second);
    r.units.erase(it);
}

void InstanceRegistration::parameterChanged(AudioUnitParameterID id,
                                            AudioUnitParameterValue value) const {
    if (mUnit == 0) return;
    tellListeners({mUnit, id, kAudioUnitScope_Global, 0}, value, 0, nullptr);
}

std::size_t registrationCount(AudioUnit unit, AudioUnitParameterID id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::size_t n = 0;
    for (auto& [ref, l] : r.listeners)
        n += l->count(unit, id);
    return n;
}

std::size_t listenerCount() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.listeners.size();
}

} // namespace au
