// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter services: handles and statuses, delivery on the listener's run loop at most
// once per interval with the last change kept, and who is told of a change.
#include "platform/audiounit/AudioUnit.h"
#include "platform/audiounit/TestHost.h"
#include "platform/foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Delivery {
    void* object;
    AudioUnitParameter parameter;
    float value;
    std::thread::id thread;
};

void record(void* userData, void* object, const AudioUnitParameter* p, float value) {
    static_cast<std::vector<Delivery>*>(userData)->push_back(
        {object, *p, value, std::this_thread::get_id()});
}

// A listener on a loop of its own under a clock moved by hand, and one instance.
class Services : public ::testing::Test {
  protected:
    Services() : loop(clock) {
        loop.bindToCurrentThread();
        EXPECT_EQ(AUListenerCreate(record, &delivered, nullptr, 0.1f, &listener), kAUNoErr);
    }
    ~Services() override {
        if (listener) AUListenerDispose(listener);
    }
    AudioUnitParameter param(AudioUnitParameterID id) const { return {unit(), id, 0, 0}; }
    AudioUnit unit() const { return registration.unit(); }
    void pump() { loop.runUntilIdle(); }
    void advance(std::chrono::milliseconds by) {
        clock->advance(by);
        pump();
    }
    std::vector<float> values() const {
        std::vector<float> v;
        for (auto& d : delivered)
            v.push_back(d.value);
        return v;
    }

    std::shared_ptr<fnd::ManualClock> clock = std::make_shared<fnd::ManualClock>();
    fnd::RunLoop loop;
    std::shared_ptr<au::TestHost> host =
        std::make_shared<au::TestHost>(std::vector<float>{0.f, 0.5f, 2.f});
    au::InstanceRegistration registration{host};
    std::vector<Delivery> delivered;
    AUParameterListenerRef listener = 0;
};

// The editor only tells success from failure: one bad argument of each kind, nothing reaching
// the instance. (The instance's properties are read by every editor that shows the spectra.)
TEST_F(Services, UnknownHandlesListenersParametersAndPropertiesAreRefused) {
    EXPECT_GT(unit(), 0); // a 32-bit identity the editor can compare soundly
    EXPECT_LE(unit(), INT32_MAX);
    float v = 0;
    const AudioUnitParameter unknownUnit{unit() + 1000, 0, 0, 0};
    const auto p0 = param(0), p3 = param(3);
    EXPECT_EQ(AudioUnitGetParameter(unit(), 3, 0, 0, &v), kAUErrInvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(unit(), 0, 1, 0, &v), kAUErrInvalidScope);
    EXPECT_EQ(AudioUnitGetParameter(unit(), 0, 0, 0, nullptr), kAUErrBadArgument);
    EXPECT_EQ(AudioUnitGetProperty(unit(), kAudioUnitProperty_FirstCustom, 0, 0, &v, sizeof v),
              kAUErrInvalidProperty);
    EXPECT_EQ(AUParameterSet(listener, nullptr, &unknownUnit, 1.f, 0), kAUErrInvalidUnit);
    EXPECT_EQ(AUListenerAddParameter(listener, nullptr, &p3), kAUErrInvalidParameter);
    EXPECT_EQ(AUListenerAddParameter(listener + 1000, nullptr, &p0), kAUErrBadArgument);
    EXPECT_EQ(AUListenerRemoveParameter(listener, nullptr, &p0), kAUErrInvalidParameter);
    AudioUnitEvent bad{static_cast<AudioUnitEventType>(7), {p0}};
    EXPECT_EQ(AUEventListenerNotify(listener, nullptr, &bad), kAUErrBadArgument);
    EXPECT_TRUE(host->calls().empty());

    AUParameterListenerRef other = 0;
    EXPECT_EQ(AUListenerCreate(nullptr, nullptr, &loop, 0.1f, &other), kAUErrBadArgument);
    EXPECT_EQ(AUListenerDispose(listener), kAUNoErr);
    EXPECT_EQ(AUListenerDispose(listener), kAUErrBadArgument);
    listener = 0;
}

TEST_F(Services, ChangesArriveOnTheLoopAtMostOncePerIntervalAndTheLastIsKept) {
    const auto p0 = param(0), p1 = param(1);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p0), kAUNoErr);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p1), kAUNoErr);

    ASSERT_EQ(AUParameterSet(0, nullptr, &p0, 1.f, 0), kAUNoErr);
    EXPECT_TRUE(delivered.empty()) << "never on the caller's stack";
    pump();
    ASSERT_EQ(values(), std::vector<float>{1.f});
    EXPECT_EQ(delivered[0].parameter, p0);

    // Within the interval: held back, the latest wins.
    AUParameterSet(0, nullptr, &p0, 2.f, 0);
    AUParameterSet(0, nullptr, &p0, 3.f, 0);
    advance(50ms);
    EXPECT_EQ(values(), std::vector<float>{1.f});
    // Another parameter has an interval of its own.
    AUParameterSet(0, nullptr, &p1, 9.f, 0);
    pump();
    EXPECT_EQ(values(), (std::vector<float>{1.f, 9.f}));
    advance(60ms);
    EXPECT_EQ(values(), (std::vector<float>{1.f, 9.f, 3.f}));

    // A quiet interval passes with nothing new; the next change goes out at once.
    advance(150ms);
    AUParameterSet(0, nullptr, &p0, 4.f, 0);
    pump();
    EXPECT_EQ(values().back(), 4.f);
    EXPECT_EQ(host->getParameter(0), 4.f);
}

TEST_F(Services, TheSendingPairIsNotToldAndEveryoneElseIs) {
    int a = 0, b = 0;
    const auto p0 = param(0);
    ASSERT_EQ(AUListenerAddParameter(listener, &a, &p0), kAUNoErr);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p0), kAUNoErr);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p0), kAUNoErr); // once only
    EXPECT_EQ(au::registrationCount(unit(), 0), 2u);

    AUParameterSet(listener, &a, &p0, 5.f, 0);
    pump();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].object, nullptr) << "the registration without object is told";

    // Sent by another object (an editor's control), or by another listener: all are told.
    advance(200ms);
    delivered.clear();
    AUParameterSet(listener, &b, &p0, 6.f, 0);
    pump();
    EXPECT_EQ(delivered.size(), 2u);
}

TEST_F(Services, HostChangesFromAnyThreadAndNotificationsReachListenersOfThatInstanceOnOurLoop) {
    au::InstanceRegistration other(std::make_shared<au::TestHost>(std::vector<float>{0.f}));
    const auto p0 = param(0);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p0), kAUNoErr);
    std::thread([&] {
        other.parameterChanged(0, 0.9f);
        host->store(0, 0.4f);
        registration.parameterChanged(0, 0.4f);
    }).join();
    EXPECT_TRUE(delivered.empty());
    pump();
    ASSERT_EQ(values(), std::vector<float>{0.4f});
    EXPECT_EQ(delivered[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(host->calls().empty()) << "the host already holds its own change";

    // Asked to, the services tell the value the instance holds now.
    advance(200ms);
    host->store(0, 0.25f);
    EXPECT_EQ(AUParameterListenerNotify(0, nullptr, &p0), kAUNoErr);
    pump();
    EXPECT_EQ(values().back(), 0.25f);
}

TEST_F(Services, RemovalDropsWhatIsStillWaitingAndWorksAfterTheInstanceHasGone) {
    auto gone = std::make_shared<au::TestHost>(std::vector<float>{0.f});
    AudioUnitParameter p{};
    {
        au::InstanceRegistration reg(gone);
        p = {reg.unit(), 0, 0, 0};
        ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p), kAUNoErr);
        AUParameterSet(0, nullptr, &p, 1.f, 0);
    }
    EXPECT_EQ(AUListenerRemoveParameter(listener, nullptr, &p), kAUNoErr);
    pump();
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(au::registrationCount(p.mAudioUnit, 0), 0u);
}

} // namespace
