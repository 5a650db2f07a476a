// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb backend over a stand-in libusb: a read's bytes reach the reader's buffer when
// the read is delivered; a read whose cancel fails must never let libusb write into the
// reader's memory once its interface is closed, and what libusb still holds is given back
// when it finally hands the transfer back.
#include "FakeLibusb.h"

#include "platform/usb/LibusbContext.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

namespace {

using Bytes = std::array<uint8_t, 8>;
constexpr Bytes kReport = {0, 0, 4, 128, 128, 1, 0, 0};

// On arrival: opens the controller and keeps reading from pipe 1 into its own buffer; told
// to, closes the interface at once while the read is still with libusb and refusing to end.
class Reader final : public usb::Listener {
  public:
    explicit Reader(bool closeWhileReading) : mCloseWhileReading(closeWhileReading) {}

    void deviceArrived(const std::shared_ptr<usb::Device>& device) override {
        ASSERT_EQ(device->open(), usb::kSuccess);
        ASSERT_EQ(device->openFirstInterface(mInterface), usb::kSuccess);
        ASSERT_EQ(arm(), usb::kSuccess);
        if (!mCloseWhileReading) return;
        fake_libusb::refuseCancels(true);
        mInterface.reset(); // closes
        device->close();
    }
    void deviceRemoved(const std::shared_ptr<usb::Device>&) override {}
    static void done(void* refCon, usb::Status status, uint32_t count) {
        auto& self = *static_cast<Reader*>(refCon);
        if (status != usb::kSuccess) return;
        self.delivered = count;
        self.arm();
    }
    usb::Status arm() { return mInterface->readPipeAsync(1, buffer, &Reader::done, this); }

    Bytes buffer{};
    std::atomic<uint32_t> delivered{0};

  private:
    const bool mCloseWhileReading;
    std::unique_ptr<usb::Interface> mInterface;
};

class LibusbReadLifetime : public ::testing::Test {
  protected:
    void start(bool closeWhileReading) {
        fake_libusb::reset();
        context = usb::createLibusbContext();
        ASSERT_TRUE(context);
        reader = std::make_unique<Reader>(closeWhileReading);
        ASSERT_EQ(context->watch(0x14C7, 0x0001, *reader), usb::kSuccess);
        loop = std::thread([this] { context->run(); });
    }
    // Everything taken from libusb is given back once the context and the reader are gone.
    void stopAndExpectAllReturned() {
        context->stop();
        loop.join();
        context.reset();
        reader.reset();
        const auto counts = fake_libusb::counts();
        EXPECT_EQ(counts.transfersFreed, counts.transfersAllocated);
        EXPECT_EQ(counts.closes, counts.opens);
        EXPECT_EQ(counts.exits, 1);
    }

    std::shared_ptr<usb::Context> context;
    std::unique_ptr<Reader> reader;
    std::thread loop;
};

TEST_F(LibusbReadLifetime, ACompletedReadHandsItsBytesToTheReader) {
    start(false);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 1; }));
    fake_libusb::completeSubmitted(kReport);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 2; }));
    EXPECT_EQ(reader->delivered, 8u);
    EXPECT_EQ(reader->buffer, kReport);
    stopAndExpectAllReturned();
}

TEST_F(LibusbReadLifetime, AReadThatCannotBeCancelledNeverWritesIntoTheReadersBuffer) {
    start(true);
    // The reader has closed its interface, the read still with libusb...
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.interfacesReleased == 1; }));
    // ...and libusb ends the read late, as it may after a failed cancel.
    fake_libusb::completeSubmitted(kReport);
    EXPECT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.transfersFreed == 1; }))
        << "the transfer libusb gave back was never freed";
    EXPECT_EQ(reader->buffer, Bytes{});
    EXPECT_EQ(reader->delivered, 0u);
    stopAndExpectAllReturned();
}

} // namespace
