// SPDX-License-Identifier: GPL-3.0-or-later
// The UI's glue without a host: the instance side the editor's parameter services reach (what
// reaches the host, gestures, the audio side's values), and the bridge (the host's values and
// levels passed on, the preset trigger, the controller's stick as a gesture through the host).
#include "HostParameters.h"
#include "HostRecorder.h"
#include "UiBridge.h"

#include "editor/ZembraNotifications.h"
#include "platform/audiounit/AudioUnit.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using namespace zembra::plugin::test;

namespace {

using Heard = std::pair<AudioUnitParameterID, float>;

void listen(void* userData, void*, const AudioUnitParameter* p, float value) {
    static_cast<std::vector<Heard>*>(userData)->emplace_back(p->mParameterID, value);
}

// One registered instance, a listener on the main loop (as the editor's is) and a host.
class InstanceSide : public ::testing::Test {
  protected:
    InstanceSide() {
        fnd::RunLoop::main().bindToCurrentThread();
        EXPECT_EQ(AUListenerCreate(listen, &heard, &fnd::RunLoop::main(), 0.0f, &listener),
                  kAUNoErr);
        for (std::uint32_t id = 0; id < kZembraParameterCount; ++id) {
            const AudioUnitParameter p = param(id);
            EXPECT_EQ(AUListenerAddParameter(listener, nullptr, &p), kAUNoErr);
        }
    }
    ~InstanceSide() override {
        AUListenerDispose(listener);
        pump();
    }
    AudioUnitParameter param(std::uint32_t id) const { return {unit(), id, 0, 0}; }
    AudioUnit unit() const { return instance.unit(); }
    HostParameters& parameters() { return instance.parameters(); }
    static void pump() { fnd::RunLoop::main().runUntilIdle(); }
    // What listeners heard since the last call.
    std::vector<Heard> takeHeard() {
        pump();
        return std::exchange(heard, {});
    }
    void event(AudioUnitEventType type, std::uint32_t id) {
        AudioUnitEvent e{};
        e.mEventType = type;
        e.mArgument.mParameter = param(id);
        EXPECT_EQ(AUEventListenerNotify(listener, nullptr, &e), kAUNoErr);
    }

    int pluginObject = 0; // stands for the plug-in object DPF hands its UI
    RegisteredInstance instance{&pluginObject};
    HostRecorder host;
    std::vector<Heard> heard;
    AUParameterListenerRef listener = 0;
};

TEST_F(InstanceSide, SetsReachTheHostAsThePluginKeepsThemAndOnlyWhenTheyChangeSomething) {
    parameters().attach(&host);
    const AudioUnitParameter room = param(kParamRoom), solo = param(kParamSoloA),
                             xControl = param(kParamXControl);
    EXPECT_EQ(AUParameterSet(listener, &host, &room, 150.0f, 0), kAUNoErr);   // past the range
    EXPECT_EQ(AUParameterSet(listener, &host, &solo, 0.7f, 0), kAUNoErr);     // truncates to 0
    EXPECT_EQ(AUParameterSet(listener, &host, &xControl, 2.9f, 0), kAUNoErr); // to 2
    EXPECT_EQ(AUParameterSet(listener, &host, &room, 100.0f, 0), kAUNoErr);   // held already
    EXPECT_EQ(host.calls(), (Calls{set(kParamRoom, 100.0f), set(kParamXControl, 2.0f)}));
    // Listeners hear what is kept, not what was asked for.
    EXPECT_EQ(takeHeard(), (std::vector<Heard>{
                               {kParamRoom, 100.0f}, {kParamSoloA, 0.0f}, {kParamXControl, 2.0f}}));

    // Detached, a set is kept but goes nowhere.
    host.clear();
    parameters().detach(&host);
    const AudioUnitParameter x = param(kParamX);
    EXPECT_EQ(AUParameterSet(listener, nullptr, &x, 0.25f, 0), kAUNoErr);
    EXPECT_TRUE(host.calls().empty());
    EXPECT_EQ(parameters().getParameter(kParamX), 0.25f);
}

TEST_F(InstanceSide, GesturesNestPerParameterAndAClosingUIEndsTheOpenOnes) {
    parameters().attach(&host);
    event(kAudioUnitEvent_BeginParameterChangeGesture, kParamX);
    event(kAudioUnitEvent_BeginParameterChangeGesture, kParamX); // the stick inside a drag
    event(kAudioUnitEvent_BeginParameterChangeGesture, kParamY);
    event(kAudioUnitEvent_EndParameterChangeGesture, kParamX);
    EXPECT_EQ(host.calls(), (Calls{begin(kParamX), begin(kParamY)}));
    event(kAudioUnitEvent_EndParameterChangeGesture, kParamX);
    event(kAudioUnitEvent_EndParameterChangeGesture, kParamRoom); // never begun: dropped
    EXPECT_EQ(host.calls(), (Calls{begin(kParamX), begin(kParamY), end(kParamX)}));
    EXPECT_EQ(parameters().gestureDepth(kParamRoom), 0);

    // A second UI of the instance opens and closes with Y still held: the host is not left
    // recording, and the first UI's connection is used again.
    HostRecorder second;
    parameters().attach(&second);
    event(kAudioUnitEvent_EndParameterChangeGesture, kParamX); // X ended already
    host.clear();
    parameters().detach(&second);
    EXPECT_EQ(second.calls(), (Calls{end(kParamY)}));
    EXPECT_EQ(parameters().gestureDepth(kParamY), 0);
    parameters().setParameter(kParamRoom, 10.0f);
    EXPECT_EQ(host.calls(), (Calls{set(kParamRoom, 10.0f)}));
    host.clear();
    parameters().detach(&host);
    EXPECT_TRUE(host.calls().empty());
    // A value-change event tells the listeners again and writes nothing.
    parameters().pluginValueStored(kParamWetDry, 30.0f);
    event(kAudioUnitEvent_ParameterValueChange, kParamWetDry);
    EXPECT_EQ(takeHeard(), (std::vector<Heard>{{kParamWetDry, 30.0f}}));
    EXPECT_TRUE(host.calls().empty());
}

// ---- the bridge ----

class Bridge : public InstanceSide {
  protected:
    Bridge() {
        fnd::NotificationCenter::defaultCenter().addObserver(
            this, kSetPeakInputLevelsNotification, nullptr,
            [this](const fnd::Notification& n) { levels.push_back(n.userInfo); });
        fnd::NotificationCenter::defaultCenter().addObserver(
            this, kParameterValueChangedNotification, nullptr,
            [this](const fnd::Notification&) { ++presetPosts; });
        makeBridge();
    }
    ~Bridge() override { fnd::NotificationCenter::defaultCenter().removeObserver(this); }
    void makeBridge() {
        bridge = std::make_unique<UiBridge>(instance.sharedParameters(), host,
                                            [this] { return frontmost; });
    }
    static void postStick(float x, float y) {
        fnd::NotificationCenter::defaultCenter().post(
            kSetValuesFromExternalUINotification, nullptr,
            {{kXValueKey, fnd::Value(x)}, {kYValueKey, fnd::Value(y)}});
    }

    std::unique_ptr<UiBridge> bridge;
    bool frontmost = true;
    std::vector<fnd::UserInfo> levels;
    int presetPosts = 0;
};

TEST_F(Bridge, TheHostsValuesReachTheListenersEvenWhenTheAudioSideStoredThemFirst) {
    EXPECT_TRUE(parameters().isAttached());
    parameters().pluginValueStored(kParamY, 0.8f); // the plug-in ran before the UI heard
    bridge->parameterChanged(kParamY, 0.8f);
    bridge->parameterChanged(kParamRoom, 250.0f);              // kept within range
    bridge->parameterChanged(kZembraParameterCount + 7, 1.0f); // no such parameter
    bridge->idle();
    EXPECT_EQ(std::exchange(heard, {}),
              (std::vector<Heard>{{kParamY, 0.8f}, {kParamRoom, 100.0f}}));
    EXPECT_TRUE(host.calls().empty()) << "the host's own values are not sent back";

    bridge.reset();
    EXPECT_FALSE(parameters().isAttached());
}

TEST_F(Bridge, PostsTheLevelsOfItsInstanceOnceEachTimeTheyChange) {
    bridge->parameterChanged(kOutputPeakA, 0.5f);
    bridge->parameterChanged(kOutputPeakB, 0.25f);
    EXPECT_TRUE(levels.empty()) << "levels wait for the idle callback";
    bridge->idle();
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(fnd::int32Value(levels[0], kRefConKey), static_cast<std::int32_t>(unit()));
    EXPECT_EQ(fnd::floatValue(levels[0], kInAPeakKey), 0.5f);
    EXPECT_EQ(fnd::floatValue(levels[0], kInBPeakKey), 0.25f);

    bridge->parameterChanged(kOutputPeakA, 0.5f); // hosts repeat unchanged outputs
    bridge->idle();
    EXPECT_EQ(levels.size(), 1u);
    bridge->parameterChanged(kOutputPeakB, std::numeric_limits<float>::quiet_NaN());
    bridge->idle();
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(fnd::floatValue(levels[1], kInAPeakKey), 0.5f);
    EXPECT_EQ(fnd::floatValue(levels[1], kInBPeakKey), 0.0f);
}

// A preset, or three or more host changes at once, posts the value change once; what DPF
// sends a UI on opening (every value as it is), automation of two parameters and the host
// echoing the editor's own sets do not.
TEST_F(Bridge, APresetOrABurstOfHostChangesPostsTheValueChangeOnce) {
    using Changes = std::vector<std::pair<std::uint32_t, float>>;
    const auto hostChanges = [&](const Changes& changes) {
        for (auto [id, value] : changes)
            bridge->parameterChanged(id, value);
        bridge->idle();
        return presetPosts;
    };
    for (const ParameterInfo& info : kParameters)
        bridge->parameterChanged(static_cast<std::uint32_t>(info.id),
                                 parameters().getParameter(info.id));
    EXPECT_EQ(hostChanges({}), 0);
    bridge->programLoaded();
    bridge->idle();
    EXPECT_EQ(hostChanges({}), 1);
    EXPECT_EQ(hostChanges({{kParamX, 0.1f}, {kParamY, 0.2f}, {kParamX, 0.15f}}), 1);
    EXPECT_EQ(hostChanges({{kParamMixA, 10.0f}, {kParamMixB, 20.0f}, {kParamStereoMode, 1.0f}}), 2);
    const Changes echoes = {{kParamWetDry, 40.0f}, {kParamRoom, 70.0f}, {kParamVolume, 5.0f}};
    for (auto [id, value] : echoes) {
        const AudioUnitParameter p = param(id);
        ASSERT_EQ(AUParameterSet(listener, nullptr, &p, value, 0), kAUNoErr);
    }
    EXPECT_EQ(hostChanges(echoes), 2);
}

TEST_F(Bridge, TheStickMovesTheFrontmostEditorsXAndYAsOneGestureOfTheAxesMovedOnTheMainThread) {
    std::thread controller([] {
        for (int i = 1; i <= 50; ++i) // a burst of reports: only the last one counts
            postStick(static_cast<float>(i) / 127.0f, 1.0f - static_cast<float>(i) / 127.0f);
    });
    controller.join();
    EXPECT_TRUE(host.calls().empty()) << "nothing reaches the host from the controller thread";
    bridge->idle();
    const float x = 50.0f / 127.0f, y = 1.0f - 50.0f / 127.0f;
    EXPECT_EQ(host.calls(), (Calls{begin(kParamX), begin(kParamY), set(kParamX, x), set(kParamY, y),
                                   end(kParamX), end(kParamY)}));
    // Every editor of the instance follows.
    EXPECT_EQ(std::exchange(heard, {}), (std::vector<Heard>{{kParamX, x}, {kParamY, y}}));

    host.clear();
    postStick(x, y); // where it is already: no gesture at all
    bridge->idle();
    EXPECT_TRUE(host.calls().empty());
    postStick(2.0f, -1.0f);                                   // out of range: clipped
    postStick(std::numeric_limits<float>::quiet_NaN(), 0.5f); // not a position: ignored
    bridge->idle();
    EXPECT_EQ(host.calls(), (Calls{begin(kParamX), begin(kParamY), set(kParamX, 1.0f),
                                   set(kParamY, 0.0f), end(kParamX), end(kParamY)}));

    // A move along one axis touches that axis alone.
    host.clear();
    postStick(0.5f, 0.0f);
    bridge->idle();
    EXPECT_EQ(host.calls(), (Calls{begin(kParamX), set(kParamX, 0.5f), end(kParamX)}));

    // Only the frontmost editor follows, and nothing once the UI has gone.
    host.clear();
    frontmost = false;
    postStick(0.25f, 0.75f);
    bridge->idle();
    EXPECT_TRUE(host.calls().empty());

    // Handed to the main thread, then the UI closes before the main loop runs it.
    frontmost = true;
    std::thread([] { postStick(0.25f, 0.75f); }).join();
    bridge.reset();
    pump();
    postStick(0.5f, 0.5f);
    pump();
    EXPECT_TRUE(host.calls().empty());
    EXPECT_EQ(parameters().getParameter(kParamX), 0.5f);
}

} // namespace
