// SPDX-License-Identifier: GPL-3.0-or-later
// The UI's share of the protocol between the editor, the host and the controller.
#include "UiBridge.h"

#include "editor/ZembraNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace zembra::plugin {

// Shared with the stick's observer on the controller thread. Posts arrive far faster than
// the UI idles, so only the latest position is kept and at most one hand-over to the main
// thread is queued at a time.
struct UiBridge::Stick {
    std::atomic<std::uint64_t> latest{0}; // X in the low half, Y in the high, as float bits
    std::atomic<bool> queued{false};
    UiBridge* owner = nullptr; // main thread only; cleared when the bridge goes
};

namespace {

std::uint64_t pack(float x, float y) {
    return std::uint64_t{std::bit_cast<std::uint32_t>(x)} |
           std::uint64_t{std::bit_cast<std::uint32_t>(y)} << 32;
}

float axis(const fnd::UserInfo& info, const char* key) {
    const float v = fnd::floatValue(info, key).value_or(std::numeric_limits<float>::quiet_NaN());
    return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : v;
}

void sendEvent(AudioUnitEventType type, const AudioUnitParameter& parameter) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = parameter;
    AUEventListenerNotify(0, nullptr, &event);
}

} // namespace

UiBridge::UiBridge(std::shared_ptr<HostParameters> parameters, HostConnection& host,
                   FrontmostTest isFrontmost)
    : mParameters(std::move(parameters)), mHost(host), mIsFrontmost(std::move(isFrontmost)),
      mStick(std::make_shared<Stick>()) {
    mKnown.fill(std::numeric_limits<float>::quiet_NaN());
    // A host may run successive UIs on different threads; this one's is the main thread now.
    fnd::RunLoop::main().bindToCurrentThread();
    mParameters->attach(this);
    mStick->owner = this;

    // The controller posts on its own thread: keep the position, hand the work to the
    // main thread, where the host may be called.
    fnd::NotificationCenter::defaultCenter().addObserver(
        this, kSetValuesFromExternalUINotification, nullptr,
        [weak = std::weak_ptr<Stick>(mStick)](const fnd::Notification& n) {
            auto stick = weak.lock();
            if (!stick) return;
            const float x = axis(n.userInfo, kXValueKey);
            const float y = axis(n.userInfo, kYValueKey);
            if (!std::isfinite(x) || !std::isfinite(y)) return;
            stick->latest.store(pack(x, y), std::memory_order_relaxed);
            if (stick->queued.exchange(true)) return;
            fnd::RunLoop::main().perform([weak] {
                if (auto s = weak.lock(); s && s->owner) s->owner->applyStick();
            });
        });
}

UiBridge::~UiBridge() {
    // Once removeObserver returns, no stick post is running or will start; work already
    // handed to the main thread finds no owner.
    fnd::NotificationCenter::defaultCenter().removeObserver(this);
    mStick->owner = nullptr;
    mParameters->detach(this);
}

void UiBridge::parameterChanged(std::uint32_t index, float value) {
    if (index == kOutputPeakA || index == kOutputPeakB) {
        float& peak = index == kOutputPeakA ? mPeakA : mPeakB;
        const float level = std::isfinite(value) ? value : 0.0f;
        if (level != peak) mPeaksChanged = true;
        peak = level;
        return;
    }
    if (index >= kControlCount) return;
    const float kept = kControls[index].clamp(value);
    if (!std::isnan(mKnown[index]) && kept != mKnown[index]) mHostChanged.set(index);
    mKnown[index] = kept;
    mParameters->hostValueChanged(index, kept);
}

void UiBridge::programLoaded() {
    mProgramLoaded = true;
}

void UiBridge::idle() {
    if (mPeaksChanged) {
        mPeaksChanged = false;
        postLevels();
    }
    if (mProgramLoaded || mHostChanged.count() >= kBurstThreshold)
        fnd::NotificationCenter::defaultCenter().post(kParameterValueChangedNotification);
    mProgramLoaded = false;
    mHostChanged.reset();
    fnd::RunLoop::main().runUntilIdle();
}

void UiBridge::postLevels() {
    // The handle is a positive 32-bit integer by construction of the registry.
    const auto refCon = static_cast<std::int32_t>(mParameters->unit());
    fnd::NotificationCenter::defaultCenter().post(kSetPeakInputLevelsNotification, nullptr,
                                                  {{kRefConKey, fnd::Value(refCon)},
                                                   {kInAPeakKey, fnd::Value(mPeakA)},
                                                   {kInBPeakKey, fnd::Value(mPeakB)}});
}

void UiBridge::setParameterValue(std::uint32_t index, float value) {
    if (index < kControlCount) mKnown[index] = value;
    mHost.setParameterValue(index, value);
}

void UiBridge::editParameter(std::uint32_t index, bool started) {
    mHost.editParameter(index, started);
}

void UiBridge::applyStick() {
    // Cleared before reading, so a post arriving meanwhile queues the next hand-over.
    mStick->queued.store(false);
    const std::uint64_t packed = mStick->latest.load(std::memory_order_relaxed);
    const float x = std::bit_cast<float>(static_cast<std::uint32_t>(packed));
    const float y = std::bit_cast<float>(static_cast<std::uint32_t>(packed >> 32));
    if (mIsFrontmost && !mIsFrontmost()) return;
    const AudioUnit unit = mParameters->unit();
    if (unit == 0) return;
    // Through the parameter services, so every editor of this instance follows, and as one
    // gesture, so a host records it as automation; an axis that did not move is left out of
    // it, so its automation is not overwritten.
    std::array<AudioUnitParameter, 2> moved;
    std::array<float, 2> values;
    std::size_t count = 0;
    for (const auto& [id, value] : {std::pair{kParamX, x}, std::pair{kParamY, y}}) {
        if (mParameters->getParameter(id) == value) continue;
        moved[count] = {unit, static_cast<AudioUnitParameterID>(id), kAudioUnitScope_Global, 0};
        values[count++] = value;
    }
    for (std::size_t i = 0; i < count; ++i)
        sendEvent(kAudioUnitEvent_BeginParameterChangeGesture, moved[i]);
    for (std::size_t i = 0; i < count; ++i)
        AUParameterSet(0, nullptr, &moved[i], values[i], 0);
    for (std::size_t i = 0; i < count; ++i)
        sendEvent(kAudioUnitEvent_EndParameterChangeGesture, moved[i]);
}

} // namespace zembra::plugin
