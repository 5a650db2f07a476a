// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in instance as the editor's parameter services reach it. The audio side keeps
// one per instance and registers it, which gives the instance its AudioUnit handle; the UI,
// when open, attaches its connection to the host, through which sets and gestures go on.
#pragma once

#include "SignalTap.h"
#include "ZembraParameters.h"
#include "platform/audiounit/AudioUnitInstance.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace zembra::plugin {

// What the instance asks of the host: DPF's UI in the plug-in. Called on the main thread.
class HostConnection {
  public:
    virtual ~HostConnection() = default;
    virtual void setParameterValue(std::uint32_t index, float value) = 0;
    virtual void editParameter(std::uint32_t index, bool started) = 0;
};

class HostParameters final : public AudioUnitInstance,
                             public std::enable_shared_from_this<HostParameters> {
  public:
    // `tap`, when given, is offered to editors as the instance's signal tap.
    explicit HostParameters(std::shared_ptr<SignalTap> tap = nullptr);

    // Audio side, any thread, the audio thread included (one relaxed store): the host value
    // the plug-in now holds. Indexes past the controls (the twelve and the routing) are ignored.
    void pluginValueStored(std::uint32_t id, float value) noexcept;

    // Main thread. The host told the UI the value of a parameter: kept, and every listener
    // of the parameter is told, whether or not the value differs from the one kept (the audio
    // side may have stored it first).
    void hostValueChanged(std::uint32_t id, float value);

    // Main thread. Sets and gestures reach the host only while a connection is attached, the
    // one attached last when several UIs of the instance are open. Detaching it ends the
    // gestures still open, so the host is not left recording, and the one before takes over.
    void attach(HostConnection* connection);
    void detach(HostConnection* connection);
    bool isAttached() const { return !mHosts.empty(); }

    // The handle the instance was registered under; listeners are told through it.
    void setUnit(AudioUnit unit) { mUnit.store(unit, std::memory_order_relaxed); }
    AudioUnit unit() const { return mUnit.load(std::memory_order_relaxed); }

    // AudioUnitInstance. Values are host values of the parameter table. A set keeps what the
    // plug-in would keep (within range, whole numbers truncated) and reaches the host only
    // when that differs from the value held, so an editor writing back what it read costs
    // the host nothing. Gestures nest per parameter: the host hears the outermost begin and
    // end, and an end without a begin is dropped. A value-change event tells the listeners
    // the value held again; it writes nothing to the host, so it cannot echo into a loop.
    std::uint32_t parameterCount() const override { return kControlCount; }
    AudioUnitParameterValue getParameter(AudioUnitParameterID id) const override;
    void setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) override;
    void beginParameterGesture(AudioUnitParameterID id) override;
    void endParameterGesture(AudioUnitParameterID id) override;
    void parameterValueEvent(AudioUnitParameterID id) override;
    OSStatus getProperty(AudioUnitPropertyID id, void* outData,
                         std::uint32_t dataSize) const override;

    int gestureDepth(AudioUnitParameterID id) const {
        return id < kControlCount ? mGestureDepth[id] : 0;
    }

  private:
    HostConnection* host() const { return mHosts.empty() ? nullptr : mHosts.back(); }
    void tellListeners(std::uint32_t id) const;

    std::array<std::atomic<float>, kControlCount> mValues;
    const std::shared_ptr<SignalTap> mTap;
    std::atomic<AudioUnit> mUnit{0};
    // Main thread only. The last is the one in use.
    std::vector<HostConnection*> mHosts;
    std::array<int, kControlCount> mGestureDepth{};
};

// One plug-in instance's place in the parameter services: its instance side, registered for
// as long as this lives, and found again from the plug-in object DPF hands its UI.
class RegisteredInstance {
  public:
    // `plugin` is the key the UI looks the instance up by; nullptr registers the instance
    // without a key (a UI that could not reach its plug-in object). `tap` is the audio side's
    // signal tap, for the editors of the instance.
    explicit RegisteredInstance(const void* plugin, std::shared_ptr<SignalTap> tap = nullptr);
    ~RegisteredInstance();
    RegisteredInstance(const RegisteredInstance&) = delete;
    RegisteredInstance& operator=(const RegisteredInstance&) = delete;

    HostParameters& parameters() const { return *mParameters; }
    const std::shared_ptr<HostParameters>& sharedParameters() const { return mParameters; }
    AudioUnit unit() const { return mRegistration.unit(); }

  private:
    const void* mKey;
    std::shared_ptr<HostParameters> mParameters;
    au::InstanceRegistration mRegistration;
};

// The instance side registered for `plugin`, or null.
std::shared_ptr<HostParameters> findRegisteredInstance(const void* plugin);

} // namespace zembra::plugin
