// SPDX-License-Identifier: GPL-3.0-or-later
// The USB suites' stand-in for the controller: opens each arriving device, claims its
// interface and keeps reading pipe 1, writing down what it hears.
#pragma once

#include "platform/usb/Usb.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usb_test {

using Report = std::array<uint8_t, 8>;
constexpr Report kReport = {0, 0, 4, 128, 128, 1, 0, 0};

class Reader final : public usb::Listener {
  public:
    // closeOnArrival: lets go of the device at once, its first read still pending.
    explicit Reader(bool closeOnArrival = false) : mCloseOnArrival(closeOnArrival) {}

    void deviceArrived(const std::shared_ptr<usb::Device>& device) override {
        note("arrived");
        ASSERT_EQ(device->open(), usb::kSuccess);
        ASSERT_EQ(device->openFirstInterface(interface), usb::kSuccess);
        ASSERT_EQ(arm(), usb::kSuccess);
        if (!mCloseOnArrival) return;
        interface.reset();
        device->close();
    }
    void deviceRemoved(const std::shared_ptr<usb::Device>&) override { note("removed"); }

    usb::Status arm() {
        mInCall = true;
        const usb::Status status = interface->readPipeAsync(1, buffer, &Reader::done, this);
        mInCall = false;
        return status;
    }
    // Such as "arrived", "read success 8", "removed".
    std::vector<std::string> events() {
        std::lock_guard lock(mMutex);
        return mEvents;
    }

    std::atomic<std::thread::id> runThread; // where completions must happen: run()'s
    std::unique_ptr<usb::Interface> interface;
    Report buffer{};

  private:
    static void done(void* refCon, usb::Status status, uint32_t count) {
        auto& self = *static_cast<Reader*>(refCon);
        EXPECT_FALSE(self.mInCall) << "completion ran inside readPipeAsync";
        EXPECT_EQ(std::this_thread::get_id(), self.runThread.load());
        self.note("read " + std::string(usb::statusText(status)) + " " + std::to_string(count));
        if (status == usb::kSuccess) self.arm();
    }
    void note(std::string event) {
        std::lock_guard lock(mMutex);
        mEvents.push_back(std::move(event));
    }

    const bool mCloseOnArrival;
    bool mInCall = false;
    std::mutex mMutex;
    std::vector<std::string> mEvents;
};

} // namespace usb_test
