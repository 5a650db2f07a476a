// SPDX-License-Identifier: GPL-3.0-or-later
// The instance side of the parameter services and the table that finds it from the plug-in
// object.
#include "HostParameters.h"

#include "editor/SignalTapProperty.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>

namespace zembra::plugin {

namespace {

struct InstanceTable {
    std::mutex mutex;
    std::map<const void*, std::weak_ptr<HostParameters>> byPlugin;
};

// Never destroyed: instances may be released after static destruction has begun.
InstanceTable& instanceTable() {
    static auto* table = new InstanceTable;
    return *table;
}

// Runs `work` on the main thread: now when called there, else at the main loop's next
// pump, and then only while the instance side still exists.
void onMainThread(HostParameters& self, std::function<void(HostParameters&)> work) {
    fnd::RunLoop& main = fnd::RunLoop::main();
    if (main.isCurrent()) return work(self);
    main.perform([weak = self.weak_from_this(), work = std::move(work)] {
        if (auto strong = weak.lock()) work(*strong);
    });
}

} // namespace

HostParameters::HostParameters(std::shared_ptr<SignalTap> tap) : mTap(std::move(tap)) {
    for (const ParameterInfo& info : kControls)
        mValues[info.id].store(info.def, std::memory_order_relaxed);
}

void HostParameters::pluginValueStored(std::uint32_t id, float value) noexcept {
    if (id < kControlCount) mValues[id].store(value, std::memory_order_relaxed);
}

void HostParameters::hostValueChanged(std::uint32_t id, float value) {
    if (id >= kControlCount) return;
    mValues[id].store(kControls[id].clamp(value), std::memory_order_relaxed);
    tellListeners(id);
}

void HostParameters::attach(HostConnection* connection) {
    if (connection && std::find(mHosts.begin(), mHosts.end(), connection) == mHosts.end())
        mHosts.push_back(connection);
}

void HostParameters::detach(HostConnection* connection) {
    const auto it = std::find(mHosts.begin(), mHosts.end(), connection);
    if (it == mHosts.end()) return;
    if (connection == host()) {
        for (std::uint32_t id = 0; id < kControlCount; ++id) {
            if (mGestureDepth[id] > 0) connection->editParameter(id, false);
            mGestureDepth[id] = 0;
        }
    }
    mHosts.erase(it);
}

OSStatus HostParameters::getProperty(AudioUnitPropertyID id, void* outData,
                                     std::uint32_t dataSize) const {
    if (id != kSignalTapProperty || !mTap) return kAUErrInvalidProperty;
    return copySignalTap(mTap, outData, dataSize);
}

AudioUnitParameterValue HostParameters::getParameter(AudioUnitParameterID id) const {
    return id < kControlCount ? mValues[id].load(std::memory_order_relaxed) : 0.0f;
}

void HostParameters::setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) {
    if (id >= kControlCount) return;
    const float kept = kControls[id].clamp(value);
    // Kept at once, so listeners told right after this call see it; the host hears it on
    // the main thread.
    if (mValues[id].exchange(kept, std::memory_order_relaxed) == kept) return;
    onMainThread(*this, [id, kept](HostParameters& self) {
        if (HostConnection* host = self.host()) host->setParameterValue(id, kept);
    });
}

void HostParameters::beginParameterGesture(AudioUnitParameterID id) {
    if (id >= kControlCount) return;
    onMainThread(*this, [id](HostParameters& self) {
        if (self.mGestureDepth[id]++ == 0 && self.host()) self.host()->editParameter(id, true);
    });
}

void HostParameters::endParameterGesture(AudioUnitParameterID id) {
    if (id >= kControlCount) return;
    onMainThread(*this, [id](HostParameters& self) {
        if (self.mGestureDepth[id] == 0) return;
        if (--self.mGestureDepth[id] == 0 && self.host()) self.host()->editParameter(id, false);
    });
}

void HostParameters::parameterValueEvent(AudioUnitParameterID id) {
    if (id < kControlCount) tellListeners(id);
}

void HostParameters::tellListeners(std::uint32_t id) const {
    const AudioUnitParameter parameter{unit(), id, kAudioUnitScope_Global, 0};
    if (parameter.mAudioUnit != 0) AUParameterListenerNotify(0, nullptr, &parameter);
}

RegisteredInstance::RegisteredInstance(const void* plugin, std::shared_ptr<SignalTap> tap)
    : mKey(plugin), mParameters(std::make_shared<HostParameters>(std::move(tap))),
      mRegistration(mParameters) {
    mParameters->setUnit(mRegistration.unit());
    if (!mKey) return;
    auto& table = instanceTable();
    std::lock_guard lock(table.mutex);
    table.byPlugin[mKey] = mParameters;
}

RegisteredInstance::~RegisteredInstance() {
    if (!mKey) return;
    auto& table = instanceTable();
    std::lock_guard lock(table.mutex);
    auto it = table.byPlugin.find(mKey);
    // The key may have been taken over by a new instance at the same address.
    if (it != table.byPlugin.end() && it->second.lock() == mParameters) table.byPlugin.erase(it);
}

std::shared_ptr<HostParameters> findRegisteredInstance(const void* plugin) {
    if (!plugin) return nullptr;
    auto& table = instanceTable();
    std::lock_guard lock(table.mutex);
    auto it = table.byPlugin.find(plugin);
    return it == table.byPlugin.end() ? nullptr : it->second.lock();
}

} // namespace zembra::plugin
