// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated bus keeps the promises of the USB interface that the controller builds on:
// completions come from run() on its thread, a closed interface hears and writes nothing,
// removal ends the pending read, and stop() ends every read it leaves behind.
#include "platform/usb/SimContext.h"

#include <gtest/gtest.h>

#include <array>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr std::array<uint8_t, 8> kReport = {0, 0, 4, 128, 128, 1, 0, 0};

// Opens every arriving device, claims its interface and keeps reading from pipe 1.
class Reader final : public usb::Listener {
  public:
    struct Completion {
        std::thread::id thread;
        usb::Status status;
        uint32_t count;
        std::array<uint8_t, 8> bytes;
    };

    void deviceArrived(const std::shared_ptr<usb::Device>& device) override {
        device->open();
        device->setConfiguration(1);
        ASSERT_EQ(device->openFirstInterface(interface), usb::kSuccess);
        arm();
        std::lock_guard lock(mutex);
        events.push_back("arrived");
    }
    void deviceRemoved(const std::shared_ptr<usb::Device>&) override {
        std::lock_guard lock(mutex);
        events.push_back("removed");
    }

    usb::Status arm() {
        inCall = true;
        const usb::Status s = interface->readPipeAsync(1, buffer, &Reader::done, this);
        inCall = false;
        return s;
    }
    static void done(void* refCon, usb::Status status, uint32_t count) {
        auto& self = *static_cast<Reader*>(refCon);
        EXPECT_FALSE(self.inCall) << "completion ran inside readPipeAsync";
        std::lock_guard lock(self.mutex);
        self.completions.push_back({std::this_thread::get_id(), status, count, self.buffer});
        self.events.push_back("read " + std::string(usb::statusText(status)));
    }

    std::unique_ptr<usb::Interface> interface;
    std::array<uint8_t, 8> buffer{};
    bool inCall = false;
    std::mutex mutex;
    std::vector<Completion> completions;
    std::vector<std::string> events;
};

class SimContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.watch(0x14C7, 0x0001, reader), usb::kSuccess);
        loop = std::thread([this] {
            runThread = std::this_thread::get_id();
            sim.run();
        });
    }
    void TearDown() override {
        sim.stop();
        loop.join();
    }
    std::vector<std::string> events() {
        std::lock_guard lock(reader.mutex);
        return reader.events;
    }
    // An LED report written to `pipe` of the reader's interface.
    usb::Status writeTo(uint8_t pipe) {
        return reader.interface->writePipe(pipe, std::array<uint8_t, 8>{},
                                           std::chrono::milliseconds(10));
    }

    usb::SimContext sim;
    Reader reader;
    std::thread loop;
    std::thread::id runThread;
};

TEST_F(SimContextTest, ReportSentBeforeTheReadWaitsForItAndCompletesOnTheRunThread) {
    auto device = sim.plugIn();
    device.sendReport(kReport); // may land before the arrival has armed the read
    ASSERT_TRUE(sim.settle());
    ASSERT_EQ(reader.completions.size(), 1u);
    EXPECT_EQ(reader.completions[0].thread, runThread);
    EXPECT_EQ(reader.completions[0].status, usb::kSuccess);
    EXPECT_EQ(reader.completions[0].count, 8u);
    EXPECT_EQ(reader.completions[0].bytes, kReport);
}

TEST_F(SimContextTest, RemovalIsReportedThenThePendingReadEndsWithNoDevice) {
    auto device = sim.plugIn();
    ASSERT_TRUE(sim.settle());
    sim.unplug(device);
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(events(), (std::vector<std::string>{"arrived", "removed", "read no device"}));
    EXPECT_EQ(writeTo(2), usb::kErrorNoDevice);
    EXPECT_TRUE(device.writes().empty());
}

TEST_F(SimContextTest, ClosedInterfaceNeitherCompletesNorWrites) {
    auto device = sim.plugIn();
    ASSERT_TRUE(sim.settle());
    reader.interface->close(); // with its read pending; the run thread is idle
    device.sendReport(kReport);
    ASSERT_TRUE(sim.settle());
    EXPECT_TRUE(reader.completions.empty());
    EXPECT_EQ(writeTo(2), usb::kErrorNotOpen);
    EXPECT_TRUE(device.writes().empty());
    EXPECT_FALSE(device.isInterfaceClaimed());
}

TEST_F(SimContextTest, StopEndsThePendingReadBeforeRunReturnsAndRefusesNewOnes) {
    sim.plugIn();
    ASSERT_TRUE(sim.settle());
    sim.stop();
    loop.join();
    ASSERT_EQ(reader.completions.size(), 1u);
    EXPECT_EQ(reader.completions[0].status, usb::kErrorAborted);
    EXPECT_EQ(reader.completions[0].thread, runThread);
    EXPECT_EQ(reader.arm(), usb::kErrorAborted);
    loop = std::thread([] {}); // for TearDown
}

TEST_F(SimContextTest, WriteToAnInPipeOrTheControlPipeIsRefused) {
    auto device = sim.plugIn();
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(writeTo(1), usb::kErrorInvalidParam);
    EXPECT_EQ(writeTo(0), usb::kErrorInvalidParam);
    EXPECT_EQ(writeTo(2), usb::kSuccess);
    EXPECT_EQ(device.writes().size(), 1u);
}

} // namespace
