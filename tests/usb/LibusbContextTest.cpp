// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb backend on the real USB stack, with no controller plugged in: it must start,
// register for hot-plug, run and stop cleanly, again and again.
#include "ReadingListener.h"

#include "platform/usb/LibusbContext.h"

#include <libusb.h>

namespace usb_test {
namespace {

// A vendor id nobody has, so a machine with a real controller plugged in still sees none.
constexpr uint16_t kNoVendor = 0xFFFE;

TEST(LibusbContext, StartsWatchesRunsAndStopsAHundredTimes) {
    for (int i = 0; i < 100; ++i) {
        usb::Status status = usb::kErrorOther;
        auto context = usb::createLibusbContext(&status);
        ASSERT_TRUE(context) << usb::statusText(status);
        Reader listener;
        ASSERT_EQ(context->watch(kNoVendor, 0x0001, listener), usb::kSuccess);
        std::thread loop([&] { context->run(); });
        // Stopping while the loop waits and stopping before it began waiting must both end it.
        if (i % 2) std::this_thread::yield();
        context->stop();
        loop.join();
        context.reset();
        EXPECT_TRUE(listener.events().empty());
    }
}

TEST(LibusbContext, SecondWatchIsRefusedUnwatchIsSafeTwiceAndStopBeforeRunReturnsAtOnce) {
    auto context = usb::createLibusbContext();
    ASSERT_TRUE(context);
    Reader listener;
    EXPECT_EQ(context->watch(kNoVendor, 0x0001, listener), usb::kSuccess);
    EXPECT_EQ(context->watch(kNoVendor, 0x0001, listener), usb::kErrorBusy);
    context->stop();
    context->run();
    context->unwatch();
    context->unwatch();
}

TEST(LibusbContext, MapsLibusbCodes) {
    EXPECT_EQ(usb::statusFromLibusbError(LIBUSB_SUCCESS), usb::kSuccess);
    EXPECT_EQ(usb::statusFromLibusbError(LIBUSB_ERROR_NO_DEVICE), usb::kErrorNoDevice);
    EXPECT_EQ(usb::statusFromLibusbError(LIBUSB_ERROR_ACCESS), usb::kErrorAccess);
    EXPECT_EQ(usb::statusFromLibusbError(-12345), usb::kErrorOther);
    // A read ended by unplugging or by cancelling must never look like data.
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_COMPLETED), usb::kSuccess);
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_NO_DEVICE), usb::kErrorNoDevice);
    EXPECT_EQ(usb::statusFromTransferStatus(LIBUSB_TRANSFER_CANCELLED), usb::kErrorAborted);
    EXPECT_NE(usb::statusFromTransferStatus(LIBUSB_TRANSFER_STALL), usb::kSuccess);
}

} // namespace
} // namespace usb_test
