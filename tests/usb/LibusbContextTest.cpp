// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb backend on the real USB stack, with no controller plugged in: it must start,
// register for hot-plug once, run and stop cleanly, again and again.
#include "platform/usb/LibusbContext.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <thread>

namespace usb_test {
namespace {

// A vendor id nobody has, so a machine with a real controller plugged in still sees none.
constexpr uint16_t kNoVendor = 0xFFFE;

struct Counter final : usb::Listener {
    void deviceArrived(const std::shared_ptr<usb::Device>&) override { ++heard; }
    void deviceRemoved(const std::shared_ptr<usb::Device>&) override { ++heard; }
    std::atomic<int> heard{0};
};

TEST(LibusbContext, StartsWatchesRunsAndStopsAHundredTimes) {
    for (int i = 0; i < 100; ++i) {
        usb::Status status = usb::kErrorOther;
        auto context = usb::createLibusbContext(&status);
        ASSERT_TRUE(context) << usb::statusText(status);
        Counter listener;
        ASSERT_EQ(context->watch(kNoVendor, 0x0001, listener), usb::kSuccess);
        EXPECT_EQ(context->watch(kNoVendor, 0x0001, listener), usb::kErrorBusy);
        std::thread loop([&] { context->run(); });
        // Stopping while the loop waits and stopping before it began waiting must both end it.
        if (i % 2) std::this_thread::yield();
        context->stop();
        loop.join();
        context.reset();
        EXPECT_EQ(listener.heard.load(), 0);
    }
}

// The controller takes a read that ends in any other way as the device gone or failing.
TEST(LibusbContext, AReadEndedByUnplugOrCancelNeverLooksLikeData) {
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_COMPLETED), usb::kSuccess);
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_NO_DEVICE), usb::kErrorNoDevice);
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_CANCELLED), usb::kErrorAborted);
    EXPECT_NE(usb::statusFromTransferStatus(LIBUSB_TRANSFER_STALL), usb::kSuccess);
}

} // namespace
} // namespace usb_test
