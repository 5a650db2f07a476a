// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's start, device set-up and its failures, removal and replugging, the stop at
// unload or exit, the LEDs' target and the SIGINT handler, on the simulated bus.
#include "KlovTestSupport.h"

#include "platform/foundation/Log.h"
#include "support/Preferences.h"

#include <csignal>
#include <thread>

namespace klov_test {
namespace {

constexpr auto kConnect = klov::kKlovConnectNotification;
constexpr auto kDisconnect = klov::kKlovDisconnectNotification;
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

    SaveValueToPrefsPosInt(zembra::kPrefEnableKlovSupport, 1);
    gSim = std::make_shared<usb::SimContext>();
    EXPECT_EQ(start(), "<KLOV> supported\n");
    EXPECT_EQ(gContextsMade.load(), 1);
}

// A controller plugged in before the start, configured already or not; then unplugged and
// plugged in again.
class KlovPresentAtStart : public KlovTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KlovPresentAtStart, IsSetUpLetGoWhenUnpluggedAndSetUpAfreshWhenReplugged) {
    auto first = sim().plugIn({.configured = GetParam()});
    start();
    EXPECT_EQ(count(kConnect), 2);
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_EQ(gError.load(), 0);
    EXPECT_EQ(held(first), "open claimed reading");
    EXPECT_EQ(first.writes(), Writes{kLedsOff});
    EXPECT_EQ(first.requests(), GetParam() ? std::vector<std::string>{}
                                           : std::vector<std::string>{"set configuration 1"});

    sim().unplug(first);
    ASSERT_TRUE(sim().settle());
    EXPECT_EQ(count(kDisconnect), 1);
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(held(first), "closed");

    auto second = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    EXPECT_EQ(count(kConnect), 4);
    EXPECT_TRUE(gIsConnected.load());
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
        SetupFailure{"Open", {.failAt = usb::SimStep::Open}, 0},
        SetupFailure{"ConfigurationRefused", {.failAt = usb::SimStep::SetConfiguration}, 0},
        SetupFailure{"InterfaceRefused", {.failAt = usb::SimStep::OpenInterface}, 0},
        SetupFailure{"NoEndpoints", {.failAt = usb::SimStep::NumEndpoints}, 0},
        SetupFailure{"NoInPipe",
                     {.pipes = {{usb::Direction::Out, 2, usb::TransferType::Interrupt, 8, 10},
                                {usb::Direction::In, 3, usb::TransferType::Bulk, 64, 0}}},
                     1},
        // A plug-in scanner loads the module while a DAW reads the controller: the scanner
        // must leave the DAW's device exactly as it is.
        SetupFailure{"HeldByAnotherProcess", {.heldByAnotherProcess = true}, 0, true}),
    [](const auto& test) { return std::string(test.param.name); });

// The editor says "found" only while the stick can be read: a passing read error re-arms,
// one that persists or finds the device gone counts as a removal, said once.
TEST_F(KlovReadingTest, ReadErrorsReArmUntilTheyPersistOrFindTheDeviceGone) {
    for (int i = 0; i < 10; ++i) {
        mDevice->failRead(usb::kErrorIo);
        send(*mDevice, {0, 0, static_cast<uint8_t>(4 + 4 * (i % 2)), 128, 128, 0x01, 0, 0});
    }
    EXPECT_EQ(gKnob1ControlValue.load(), 10.0f);
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_TRUE(posted().empty());

    for (int i = 0; i < 20 && mDevice->isReadPending(); ++i) {
        mDevice->failRead(usb::kErrorPipe);
        ASSERT_TRUE(sim().settle());
    }
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(count(kDisconnect), 1);
    EXPECT_EQ(held(*mDevice), "closed");

    auto again = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    again.failRead(usb::kErrorNoDevice); // before the system reports the removal
    ASSERT_TRUE(sim().settle());
    EXPECT_FALSE(gIsConnected.load());
    EXPECT_EQ(held(again), "closed");
    sim().unplug(again); // the removal itself then says nothing more
    ASSERT_TRUE(sim().settle());
    EXPECT_EQ(count(kDisconnect), 2);
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

TEST_F(KlovTest, WatchFailureEndsTheTaskWithALogLineOnly) {
    fnd::LogCapture log;
    sim().failWatch(usb::kErrorAccess);
    sim().plugIn();
    start();
    KlovExitCleanup();
    EXPECT_EQ(log.count("<KLOV> cannot watch for the controller"), 1u);
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(gError.load(), 0);
}

// Threads that share state, for ThreadSanitizer: LEDs switched from another thread while
// controllers come and go and report.
TEST_F(KlovTest, LedsFromAnotherThreadWhileControllersComeAndGo) {
    start();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; !done.load(); ++i)
            SetLed(i & 1, i & 2, i & 4);
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
