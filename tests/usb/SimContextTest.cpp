// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated bus keeps the USB interface's promises the controller builds on: completions
// come from run() on its thread, a closed interface hears and writes nothing, removal ends
// the pending read, and stop() ends every read it leaves behind.
#include "ReadingListener.h"

#include "platform/usb/SimContext.h"

namespace usb_test {
namespace {

class SimContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.watch(0x14C7, 0x0001, reader), usb::kSuccess);
        loop = std::thread([this] {
            reader.runThread = std::this_thread::get_id();
            sim.run();
        });
        device = std::make_unique<usb::SimDevice>(sim.plugIn());
    }
    void TearDown() override {
        sim.stop();
        if (loop.joinable()) loop.join();
    }
    // An LED report written to `pipe` of the reader's interface.
    usb::Status writeTo(uint8_t pipe) {
        return reader.interface->writePipe(pipe, Report{}, std::chrono::milliseconds(10));
    }

    usb::SimContext sim;
    Reader reader;
    std::thread loop;
    std::unique_ptr<usb::SimDevice> device;
};

using Events = std::vector<std::string>;

TEST_F(SimContextTest, AReportSentBeforeTheReadWaitsForIt) {
    device->sendReport(kReport); // may land before the arrival has armed the read
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(reader.events(), (Events{"arrived", "read success 8"}));
    EXPECT_EQ(reader.buffer, kReport);
}

TEST_F(SimContextTest, RemovalIsReportedThenThePendingReadEndsWithNoDevice) {
    ASSERT_TRUE(sim.settle());
    sim.unplug(*device);
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(reader.events(), (Events{"arrived", "removed", "read no device 0"}));
    EXPECT_EQ(writeTo(2), usb::kErrorNoDevice);
    EXPECT_TRUE(device->writes().empty());
}

TEST_F(SimContextTest, ClosedInterfaceNeitherCompletesNorWrites) {
    ASSERT_TRUE(sim.settle());
    reader.interface->close(); // with its read pending; the run thread is idle
    device->sendReport(kReport);
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(reader.events(), Events{"arrived"});
    EXPECT_EQ(writeTo(2), usb::kErrorNotOpen);
    EXPECT_TRUE(device->writes().empty());
    EXPECT_FALSE(device->isInterfaceClaimed());
}

TEST_F(SimContextTest, StopEndsThePendingReadBeforeRunReturnsAndRefusesNewOnes) {
    ASSERT_TRUE(sim.settle());
    sim.stop();
    loop.join();
    EXPECT_EQ(reader.events(), (Events{"arrived", "read aborted 0"}));
    EXPECT_EQ(reader.arm(), usb::kErrorAborted);
}

TEST_F(SimContextTest, WriteToAnInPipeOrTheControlPipeIsRefused) {
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(writeTo(1), usb::kErrorInvalidParam);
    EXPECT_EQ(writeTo(0), usb::kErrorInvalidParam);
    EXPECT_EQ(writeTo(2), usb::kSuccess);
    EXPECT_EQ(device->writes().size(), 1u);
}

} // namespace
} // namespace usb_test
