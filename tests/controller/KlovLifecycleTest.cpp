// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's start, device set-up and its failures, removal and replugging, the orderly
// stop, the LED guard and the SIGINT handler, on the simulated bus.
#include "KlovTestSupport.h"

#include "controller/KlovDecode.h"
#include "controller/KlovPrivate.h"
#include "platform/foundation/Log.h"
#include "support/Preferences.h"

#include <csignal>
#include <thread>

namespace klov_test {
namespace {

constexpr auto kConnect = klov::kKlovConnectNotification;
constexpr auto kDisconnect = klov::kKlovDisconnectNotification;
constexpr Report kKnobStep = {0, 0, 0x04, 128, 128, 0x01, 0, 0};
using Writes = std::vector<std::vector<uint8_t>>;

TEST_F(KlovTest, PreferenceDecidesWhetherTheControllerStarts) {
    EXPECT_EQ(start(), "<KLOV> supported\n"); // key absent
    EXPECT_NE(gKlov.task.load(), 0u);
    KlovExitCleanup();
    EXPECT_EQ(gKlov.task.load(), 0u);

    SaveValueToPrefsPosInt(zembra::kPrefEnableKlovSupport, 0);
    gContextsMade = 0;
    EXPECT_EQ(start(), "<KLOV> support has been disabled\n");
    EXPECT_EQ(gKlov.task.load(), 0u);
    EXPECT_EQ(gContextsMade.load(), 0);
    KlovExitCleanup(); // finds no task: nothing to do

    SaveValueToPrefsPosInt(zembra::kPrefEnableKlovSupport, 1);
    gSim = std::make_shared<usb::SimContext>();
    EXPECT_EQ(start(), "<KLOV> supported\n");
    EXPECT_EQ(gContextsMade.load(), 1);
}

// A controller plugged in before the start, configured already or not; then unplugged and
// plugged in again.
class KlovPresentAtStart : public KlovTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KlovPresentAtStart, IsSetUpLetGoWhenUnpluggedAndSetUpAfreshWhenReplugged) {
    usb::SimDeviceSpec spec;
    spec.configured = GetParam();
    auto first = sim().plugIn(spec);
    start();
    EXPECT_EQ(count(kConnect), 2);
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_TRUE(gActive.load());
    EXPECT_FALSE(gReadyForQuit.load());
    EXPECT_EQ(gError.load(), 0);
    EXPECT_NE(gRunLoop.load(), nullptr);
    EXPECT_EQ(held(first), "open claimed reading");
    EXPECT_EQ(first.configuration(), 1);
    EXPECT_EQ(first.writes(), Writes{kLedsOff});
    EXPECT_EQ(first.requests(), GetParam() ? std::vector<std::string>{}
                                           : std::vector<std::string>{"set configuration 1"});

    sim().unplug(first);
    ASSERT_TRUE(sim().settle());
    EXPECT_EQ(count(kDisconnect), 1);
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(held(first), "closed");
    EXPECT_FALSE(gReadyForQuit.load()); // a loop ended by a read error leaves it false

    auto second = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    EXPECT_EQ(count(kConnect), 4);
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_EQ(second.openCount(), 1);
    EXPECT_EQ(held(second), "open claimed reading");
    EXPECT_EQ(second.writes(), Writes{kLedsOff});
    EXPECT_EQ(gError.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(, KlovPresentAtStart, ::testing::Bool(), [](const auto& test) {
    return test.param ? "Configured" : "Unconfigured";
});

// One case per way out of the set-up: what each opened before it failed must be closed.
struct SetupFailure {
    const char* name;
    usb::SimDeviceSpec spec;
    int connectPosts;        // arming comes after the first post, and after the LEDs are off
    bool leftAsItIs = false; // not a single request reaches the device
};

// Names the case in test listings instead of dumping the struct's bytes.
void PrintTo(const SetupFailure& failure, std::ostream* out) {
    *out << failure.name;
}

usb::SimDeviceSpec spec(void (*change)(usb::SimDeviceSpec&)) {
    usb::SimDeviceSpec s;
    change(s);
    return s;
}
usb::SimDeviceSpec failing(usb::SimStep step) {
    usb::SimDeviceSpec s;
    s.failAt = step;
    return s;
}

class KlovSetupFailureTest : public KlovTest, public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(KlovSetupFailureTest, RecordsTheErrorClosesWhatItOpenedAndStaysDisconnected) {
    auto device = sim().plugIn(GetParam().spec);
    start();
    EXPECT_EQ(gError.load(), klov::kKlovSetupError);
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(held(device), "closed");
    EXPECT_EQ(count(kConnect), GetParam().connectPosts);
    EXPECT_TRUE(!GetParam().leftAsItIs || device.requests().empty());
    EXPECT_EQ(device.writes().size(), static_cast<size_t>(GetParam().connectPosts));
    EXPECT_EQ(count(kDisconnect), 0);
    EXPECT_FALSE(gActive.load());
    EXPECT_TRUE(gReadyForQuit.load());

    // The error stays, and a good controller plugged in next still works.
    auto good = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_EQ(held(good), "open claimed reading");
    EXPECT_EQ(gError.load(), klov::kKlovSetupError);
}

INSTANTIATE_TEST_SUITE_P(
    EachCleanUpPath, KlovSetupFailureTest,
    ::testing::Values(
        SetupFailure{"Open", failing(usb::SimStep::Open), 0},
        SetupFailure{"ConfigurationRefused", failing(usb::SimStep::SetConfiguration), 0},
        SetupFailure{"InterfaceRefused", failing(usb::SimStep::OpenInterface), 0},
        SetupFailure{"NoEndpoints", failing(usb::SimStep::NumEndpoints), 0},
        SetupFailure{"NoInPipe", spec([](auto& s) {
                         s.pipes = {{usb::Direction::Out, 2, usb::TransferType::Interrupt, 8, 10},
                                    {usb::Direction::In, 3, usb::TransferType::Bulk, 64, 0}};
                     }),
                     1},
        // A plug-in scanner loads the module while a DAW reads the controller: the scanner
        // must leave the DAW's device exactly as it is.
        SetupFailure{"HeldByAnotherProcess", spec([](auto& s) { s.heldByAnotherProcess = true; }),
                     0, true}),
    [](const auto& test) { return std::string(test.param.name); });

// The editor says "found" only while the stick can be read.
class KlovReadFailureTest : public KlovReadingTest {
  protected:
    void fail(usb::Status status) {
        mDevice->failRead(status);
        ASSERT_TRUE(sim().settle());
    }
    void expectRemoved() {
        EXPECT_FALSE(gIsConnected.load());
        EXPECT_EQ(count(kDisconnect), 1);
        EXPECT_EQ(held(*mDevice), "closed");
    }
};

TEST_F(KlovReadFailureTest, AnOccasionalErrorReArmsAndReadingGoesOn) {
    for (int i = 0; i < 10; ++i) {
        fail(usb::kErrorIo);
        send(*mDevice, {0, 0, static_cast<uint8_t>(4 + 4 * (i % 2)), 128, 128, 0x01, 0, 0});
    }
    EXPECT_EQ(gKnob1ControlValue.load(), 10.0f);
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_TRUE(mDevice->isReadPending());
    EXPECT_TRUE(posted().empty());
}

TEST_F(KlovReadFailureTest, AnErrorThatPersistsCountsAsARemoval) {
    for (int i = 0; i < 20 && mDevice->isReadPending(); ++i)
        fail(usb::kErrorPipe);
    expectRemoved();
}

TEST_F(KlovReadFailureTest, AReadThatFindsTheDeviceGoneCountsAsARemoval) {
    fail(usb::kErrorNoDevice); // before the system reports the removal
    expectRemoved();
    sim().unplug(*mDevice); // the removal itself then changes nothing
    ASSERT_TRUE(sim().settle());
    expectRemoved();

    auto again = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_TRUE(again.isReadPending());
}

// After DestroyDevice the next completion ends the loop undecoded, and the LEDs no longer
// reach the released interface, nor the device once unplugged.
TEST_F(KlovReadingTest, DestroyDeviceStopsAtTheNextCompletionAndTheLedsStopWithIt) {
    const auto& device = *mDevice;
    SetLed(true, true, true);
    EXPECT_EQ(device.writes().back(), kLedsOn);
    DestroyDevice();
    send(device, kKnobStep);
    EXPECT_TRUE(gReadyForQuit.load());
    EXPECT_FALSE(device.isInterfaceClaimed());
    EXPECT_FALSE(device.isReadPending());
    EXPECT_EQ(gKnob1ControlValue.load(), 0.0f);
    EXPECT_TRUE(posted().empty());

    const auto before = device.writes().size();
    SetLed(true, false, false);
    EXPECT_EQ(device.writes().size(), before);
    sim().unplug(device);
    ASSERT_TRUE(sim().settle());
    SetLed(false, true, false);
    EXPECT_EQ(device.writes().size(), before);
}

TEST_F(KlovTest, ExitCleanupEndsThePendingReadAndClosesEverything) {
    for (int i = 0; i < 20; ++i) { // right after the start too: it must not hang
        start(false);
        KlovExitCleanup();
        ASSERT_EQ(gKlov.task.load(), 0u);
        gSim = std::make_shared<usb::SimContext>();
    }
    auto device = sim().plugIn();
    start();
    KlovExitCleanup();
    EXPECT_EQ(gKlov.task.load(), 0u);
    EXPECT_EQ(gRunLoop.load(), nullptr);
    EXPECT_TRUE(gReadyForQuit.load());
    EXPECT_EQ(held(device), "closed");
    EXPECT_FALSE(gIsConnected.load());
}

TEST_F(KlovReadingTest, CleanUpForQuitStopsReportingArrivalsAndReading) {
    CleanUpForQuit();
    auto late = sim().plugIn();
    send(*mDevice, kKnobStep);
    EXPECT_EQ(late.openCount(), 0);
    EXPECT_TRUE(posted().empty());
    EXPECT_FALSE(mDevice->isInterfaceClaimed());
}

TEST_F(KlovTest, WatchFailureEndsTheTaskWithALogLineOnly) {
    fnd::LogCapture log;
    sim().failWatch(usb::kErrorAccess);
    sim().plugIn();
    start();
    KlovExitCleanup();
    EXPECT_EQ(log.count("<KLOV> cannot watch for the controller"), 1u);
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(gError.load(), 0);
    EXPECT_EQ(gKlov.task.load(), 0u);
}

TEST_F(KlovTest, TwoControllersAndTheLedsFallBackToTheOneLeft) {
    auto older = sim().plugIn();
    auto newer = sim().plugIn();
    start();
    EXPECT_EQ(count(kConnect), 4);
    SetLed(true, true, true);
    EXPECT_EQ(newer.writes().back(), kLedsOn);

    sim().unplug(newer);
    ASSERT_TRUE(sim().settle());
    EXPECT_TRUE(gIsConnected.load()); // the older one is still there
    SetLed(true, true, true);
    EXPECT_EQ(older.writes().back(), kLedsOn);
    EXPECT_TRUE(older.isReadPending());
}

// Threads that share state, for ThreadSanitizer: LEDs switched from another thread while
// controllers come and go and report.
TEST_F(KlovTest, LedsFromAnotherThreadWhileControllersComeAndGo) {
    start();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; !done.load(); ++i) {
            SetLed(i & 1, i & 2, i & 4);
            (void)gIsConnected.load(std::memory_order_relaxed);
            (void)gDialValues[0].load(std::memory_order_relaxed);
        }
    });
    for (int i = 0; i < 30; ++i) {
        auto device = sim().plugIn();
        device.sendReport(
            Report{0, 0, static_cast<uint8_t>(4 + 4 * (i % 2)), 128, 128, 0x11, 0, 0});
        device.sendReport(Report{0, 0, 0x03, 128, 128, 0, 0, 0});
        sim().unplug(device);
    }
    ASSERT_TRUE(sim().settle());
    done = true;
    host.join();
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(count(kDisconnect), 30);
}

// Where SIGINT has its default the controller installs its own handler (KlovModuleTest
// checks that it goes with the module); a host's own handler stays, during and after.
TEST_F(KlovTest, SigintHandlerOfTheHostStays) {
    struct sigaction saved {};
    ::sigaction(SIGINT, nullptr, &saved);
    void (*const hostHandler)(int) = [](int) {};
    std::signal(SIGINT, hostHandler);
    start();
    EXPECT_EQ(std::signal(SIGINT, hostHandler), hostHandler);
    KlovExitCleanup();
    EXPECT_EQ(std::signal(SIGINT, hostHandler), hostHandler);
    ::sigaction(SIGINT, &saved, nullptr);
}

using KlovDeathTest = KlovTest;

// A script that renders through a host must see an interrupted run as interrupted, not as
// a success. The death test runs the body in a child process and reads its wait status.
TEST_F(KlovDeathTest, SigintEndsAProcessWithoutItsOwnHandlerAsInterrupted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGINT, SIG_DFL);
            sim().plugIn();
            start();
            std::raise(SIGINT);
            std::_Exit(3);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

} // namespace
} // namespace klov_test
