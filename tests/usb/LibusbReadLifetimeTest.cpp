// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb backend over a stand-in libusb: a read's bytes reach the reader's buffer; a read
// whose cancel fails never lets libusb write into the reader's memory once its interface is
// closed, and the transfer is freed when libusb finally hands it back.
#include "FakeLibusb.h"
#include "ReadingListener.h"

#include "platform/usb/LibusbContext.h"

namespace usb_test {
namespace {

using Events = std::vector<std::string>;

class LibusbReadLifetime : public ::testing::Test {
  protected:
    void start(bool closeWhileReading) {
        fake_libusb::reset(closeWhileReading);
        reader = std::make_unique<Reader>(closeWhileReading);
        context = usb::createLibusbContext();
        ASSERT_TRUE(context);
        ASSERT_EQ(context->watch(0x14C7, 0x0001, *reader), usb::kSuccess);
        loop = std::thread([this] {
            reader->runThread = std::this_thread::get_id();
            context->run();
        });
    }
    // Everything taken from libusb is given back once the context and the reader are gone.
    void TearDown() override {
        context->stop();
        loop.join();
        context.reset();
        reader.reset();
        const auto counts = fake_libusb::counts();
        EXPECT_EQ(counts.transfersFreed, counts.transfersAllocated);
        EXPECT_EQ(counts.closes, counts.opens);
        EXPECT_EQ(counts.exits, 1);
    }

    std::unique_ptr<Reader> reader;
    std::shared_ptr<usb::Context> context;
    std::thread loop;
};

TEST_F(LibusbReadLifetime, ACompletedReadHandsItsBytesToTheReader) {
    start(false);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 1; }));
    fake_libusb::completeSubmitted(kReport);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 2; }));
    EXPECT_EQ(reader->buffer, kReport);
    EXPECT_EQ(reader->events(), (Events{"arrived", "read success 8"}));
}

TEST_F(LibusbReadLifetime, AReadThatCannotBeCancelledNeverWritesIntoTheReadersBuffer) {
    start(true);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.interfacesReleased == 1; }));
    fake_libusb::completeSubmitted(kReport); // late, as libusb may after a failed cancel
    EXPECT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.transfersFreed == 1; }))
        << "the transfer libusb gave back was never freed";
    EXPECT_EQ(reader->buffer, Report{});
    EXPECT_EQ(reader->events(), Events{"arrived"});
}

} // namespace
} // namespace usb_test
