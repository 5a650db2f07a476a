// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb backend over a stand-in libusb: a read's bytes reach the reader's buffer and a
// read ended by the device's removal never looks like data; a read whose cancel fails never
// lets libusb write into the reader's memory once its interface is closed; a kernel driver is
// detached to claim the interface and given back, and a refused detach or claim leaves the
// device as it was. (The controller's module test runs the backend on the real USB stack.)
#include "FakeLibusb.h"

#include "platform/usb/LibusbContext.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usb_test {
namespace {

using Report = std::array<uint8_t, 8>;
constexpr Report kReport = {0, 0, 4, 128, 128, 1, 0, 0};
using Events = std::vector<std::string>;

// Stands for the controller: opens each arriving device, claims its interface and keeps
// reading pipe 1 until a read fails, writing down what it hears.
class Reader final : public usb::Listener {
  public:
    // closeOnArrival: lets go of the device at once, its first read still pending.
    explicit Reader(bool closeOnArrival) : mCloseOnArrival(closeOnArrival) {}

    void deviceArrived(const std::shared_ptr<usb::Device>& device) override {
        note("arrived");
        ASSERT_EQ(device->open(), usb::kSuccess);
        if (const usb::Status s = device->openFirstInterface(interface); s != usb::kSuccess)
            return note(std::string("claim ") + usb::statusText(s));
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
    // Such as "arrived", "claim busy", "read success 8", "removed".
    Events events() {
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
        if (status == usb::kSuccess)
            self.arm();
        else
            self.interface.reset(); // as the controller lets go of a failing device
    }
    void note(std::string event) {
        std::lock_guard lock(mMutex);
        mEvents.push_back(std::move(event));
    }

    const bool mCloseOnArrival;
    bool mInCall = false;
    std::mutex mMutex;
    Events mEvents;
};

class LibusbBackend : public ::testing::Test {
  protected:
    // closeOnArrival: the reader lets go of the device at once, its first read pending.
    void start(const fake_libusb::Setup& setup, bool closeOnArrival = false) {
        fake_libusb::reset(setup);
        reader = std::make_unique<Reader>(closeOnArrival);
        context = usb::createLibusbContext();
        ASSERT_TRUE(context);
        ASSERT_EQ(context->watch(0x14C7, 0x0001, *reader), usb::kSuccess);
        loop = std::thread([this] {
            reader->runThread = std::this_thread::get_id();
            context->run();
        });
    }
    void stop() {
        context->stop();
        loop.join();
    }
    // Everything taken from libusb is given back once the context and the reader are gone.
    void expectAllGivenBack() {
        context.reset();
        reader.reset();
        const auto counts = fake_libusb::counts();
        EXPECT_EQ(counts.transfersFreed, counts.transfersAllocated);
        EXPECT_EQ(counts.closes, counts.opens);
        EXPECT_EQ(counts.exits, 1);
    }
    void TearDown() override {
        if (loop.joinable()) stop();
        if (context) expectAllGivenBack();
    }

    std::unique_ptr<Reader> reader;
    std::shared_ptr<usb::Context> context;
    std::thread loop;
};

// A kernel driver holds the interface at the start, as a HID driver may.
TEST_F(LibusbBackend, ReadsReachTheReaderAnUnplugEndsThemAndTheKernelDriverIsGivenBack) {
    start({.kernelDriver = true});
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 1; }));
    fake_libusb::completeSubmitted(kReport);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.submitted == 2; }));
    EXPECT_EQ(reader->buffer, kReport);
    fake_libusb::completeSubmitted({}, LIBUSB_TRANSFER_NO_DEVICE);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.interfacesReleased == 1; }));
    EXPECT_EQ(reader->events(), (Events{"arrived", "read success 8", "read no device 0"}));
    EXPECT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.attaches == 1; }));
    EXPECT_TRUE(fake_libusb::kernelDriverAttached());
}

TEST_F(LibusbBackend, AReadThatCannotBeCancelledNeverWritesIntoTheReadersBuffer) {
    start({.refuseCancels = true}, true);
    ASSERT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.interfacesReleased == 1; }));
    fake_libusb::completeSubmitted(kReport); // late, as libusb may after a failed cancel
    EXPECT_TRUE(fake_libusb::waitFor([](const auto& c) { return c.transfersFreed == 1; }))
        << "the transfer libusb gave back was never freed";
    EXPECT_EQ(reader->buffer, Report{});
    EXPECT_EQ(reader->events(), Events{"arrived"});
}

// A driver that will not let go (no permission) and an interface another process has claimed:
// the reader hears why, nothing is taken, and a detached kernel driver is given back.
TEST_F(LibusbBackend, ARefusedDetachOrClaimLeavesTheDeviceAsItWas) {
    const struct {
        fake_libusb::Setup setup;
        const char* heard;
    } cases[] = {
        {{.kernelDriver = true, .detachResult = LIBUSB_ERROR_ACCESS}, "claim access denied"},
        {{.kernelDriver = true, .claimResult = LIBUSB_ERROR_BUSY}, "claim busy"},
        {{.claimResult = LIBUSB_ERROR_BUSY}, "claim busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heard);
        start(c.setup);
        ASSERT_TRUE(fake_libusb::waitFor([](const auto& n) { return n.opens == 1; }));
        stop(); // run() returns once the arrival has been handled
        EXPECT_EQ(reader->events(), (Events{"arrived", c.heard}));
        EXPECT_EQ(fake_libusb::kernelDriverAttached(), c.setup.kernelDriver);
        EXPECT_EQ(fake_libusb::counts().transfersAllocated, 0);
        EXPECT_EQ(fake_libusb::counts().interfacesReleased, 0) << "released what it never held";
        expectAllGivenBack();
    }
}

} // namespace
} // namespace usb_test
