// SPDX-License-Identifier: GPL-3.0-or-later
// A controller started on the simulated bus, with its own preferences, a clock the test sets,
// and every notification it posts recorded.
#pragma once

#include "controller/Klov.h"
#include "controller/KlovHooks.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/usb/SimContext.h"

#include "SupportTestEnvironment.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace klov_test {

using Report = std::array<uint8_t, 8>;
const std::vector<uint8_t> kLedsOff(8, 0);
const std::vector<uint8_t> kLedsOn = {0, 0, 0x80, 0x80, 0x80, 0, 0, 0};

inline std::shared_ptr<usb::SimContext> gSim;
inline std::atomic<int> gContextsMade{0};

inline std::shared_ptr<usb::Context> MakeSimContext() {
    ++gContextsMade;
    return gSim;
}

// What the controller holds of a device: "closed", or "open" with " claimed" and " reading".
inline std::string held(const usb::SimDevice& device) {
    std::string state = device.isOpen() ? "open" : "closed";
    if (device.isInterfaceClaimed()) state += " claimed";
    if (device.isReadPending()) state += " reading";
    return state;
}

struct Posted {
    std::string name;
    float x;
    float y;
};

class KlovTest : public ::testing::Test {
  protected:
    void SetUp() override {
        klov::ResetControllerState();
        gSim = std::make_shared<usb::SimContext>();
        gContextsMade = 0;
        klov::SetContextFactory(&MakeSimContext);
        mClock.set(1'000'000);
        klov::SetMicrosecondClock(&mClock);
        auto& center = fnd::NotificationCenter::defaultCenter();
        for (const char* name : {klov::kKlovConnectNotification, klov::kKlovDisconnectNotification,
                                 klov::kSetValuesFromExternalUINotification})
            center.addObserver(this, name, nullptr, [this](const fnd::Notification& n) {
                std::lock_guard lock(mMutex);
                mPosted.push_back({n.name,
                                   fnd::floatValue(n.userInfo, klov::kXValueKey).value_or(-1),
                                   fnd::floatValue(n.userInfo, klov::kYValueKey).value_or(-1)});
            });
    }

    void TearDown() override {
        KlovExitCleanup();
        fnd::NotificationCenter::defaultCenter().removeObserver(this);
        klov::SetContextFactory(nullptr);
        klov::SetMicrosecondClock(nullptr);
        gSim.reset();
    }

    // Starts the controller as loading the module does, by default waiting until it has
    // handled what is on the bus; returns what it printed.
    std::string start(bool settle = true) {
        ::testing::internal::CaptureStdout();
        KlovStaticInit();
        std::string out = ::testing::internal::GetCapturedStdout();
        if (settle && gKlov.task.load() != 0) {
            EXPECT_TRUE(sim().settle());
        }
        return out;
    }

    usb::SimContext& sim() { return *gSim; }

    void send(const usb::SimDevice& device, const Report& report) {
        device.sendReport(report);
        ASSERT_TRUE(sim().settle());
    }

    std::vector<Posted> posted() {
        std::lock_guard lock(mMutex);
        return mPosted;
    }
    int count(const std::string& name) {
        int n = 0;
        for (const auto& p : posted())
            n += p.name == name;
        return n;
    }
    void clearPosted() {
        std::lock_guard lock(mMutex);
        mPosted.clear();
    }

    testing_support::PreferenceSandbox mPrefs;
    usb::ManualMicrosecondClock mClock;

  private:
    std::mutex mMutex;
    std::vector<Posted> mPosted;
};

// A controller plugged in before the start, set up and reading, with nothing posted yet.
class KlovReadingTest : public KlovTest {
  protected:
    void SetUp() override {
        KlovTest::SetUp();
        mDevice = std::make_unique<usb::SimDevice>(sim().plugIn());
        start();
        clearPosted();
    }
    std::unique_ptr<usb::SimDevice> mDevice;
};

} // namespace klov_test
