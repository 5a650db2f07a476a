// SPDX-License-Identifier: GPL-3.0-or-later
// Report decoding: whole reports through a running controller on the simulated bus, with the
// clock set by the test.
#include "KlovTestSupport.h"

namespace klov_test {
namespace {

constexpr uint64_t kMs = 1000; // microseconds

// Whole reports through a running controller. Every report that should count changes its
// button byte (bits 2-7 carry no meaning beyond the change test).
class KlovDecodeTest : public KlovReadingTest {
  protected:
    // A counted report: a fresh button byte with the given low bits.
    void report(uint8_t bits, uint8_t x, uint8_t y, uint8_t knobs12 = 0, uint8_t knobs34 = 0,
                uint8_t status = 0) {
        mSerial = static_cast<uint8_t>(mSerial + 4);
        if (mSerial == 0) mSerial = 4;
        send(*mDevice,
             {status, 0, static_cast<uint8_t>(mSerial | bits), x, y, knobs12, knobs34, 0});
    }
    void knob1(uint8_t nibble) { report(0, 128, 128, nibble); }
    int stickPosts() { return count(klov::kSetValuesFromExternalUINotification); }

    uint8_t mSerial = 0;
};

// Only a whole report with a new button byte counts: a busy one is dropped though its button
// byte is remembered, and a short or oversized one is dropped whole, never filled from the
// last report nor cut to size.
TEST_F(KlovDecodeTest, OnlyWholeReportsWithANewButtonByteCount) {
    const struct {
        std::vector<uint8_t> bytes;
        float knob1; // after the report
    } steps[] = {
        {{0, 0, 0x00, 128, 128, 0x01, 0, 0}, 0.0f}, // first report, byte 2 = 0: ignored
        {{0, 0, 0x04, 128, 128, 0x01, 0, 0}, 1.0f},
        {{0, 0, 0x04, 128, 128, 0x01, 0, 0}, 1.0f},    // same byte 2, knob moved: ignored
        {{0x10, 0, 0x08, 128, 128, 0x01, 0, 0}, 1.0f}, // busy
        {{0x00, 0, 0x08, 128, 128, 0x01, 0, 0}, 1.0f}, // unchanged against the busy one
        {{0x0F, 0, 0x0C, 128, 128, 0x01, 0, 0}, 2.0f}, // the low status nibble means nothing
        {{0, 0, 0x10, 128, 128, 0x01, 0, 0, 9, 9, 9, 9}, 2.0f},
        {{0, 0, 0x10, 128, 128, 0x01, 0, 0}, 3.0f}, // new against the last whole one
        {{0, 0, 0x14}, 3.0f},
        {{0, 0, 0x14, 128, 128, 0x01, 0, 0}, 4.0f},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        mDevice->sendReport(steps[i].bytes);
        ASSERT_TRUE(sim().settle());
        EXPECT_EQ(gKnob1ControlValue.load(), steps[i].knob1) << "after report " << i;
    }
    EXPECT_TRUE(gIsConnected.load());
    EXPECT_TRUE(mDevice->isReadPending()); // ignored reports still re-arm
}

// Each controller repeats its last report; a report from the other one must not make an
// old report look new, or the knobs would count its steps again and again.
TEST_F(KlovDecodeTest, TwoControllersDoNotReplayEachOthersReports) {
    auto other = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    for (int i = 0; i < 3; ++i) {
        send(*mDevice, {0, 0, 0x04, 128, 128, 0x01, 0, 0});
        send(other, {0, 0, 0x08, 128, 128, 0x01, 0, 0});
    }
    EXPECT_EQ(gKnob1ControlValue.load(), 1.0f);
    EXPECT_EQ(gDialValues[0].load(), 1);

    // Their dials accelerate apart: a step on one right after a step on the other is slow.
    mClock.advance(200 * kMs);
    send(*mDevice, {0, 0, 0x0C, 128, 128, 0x01, 0, 0});
    mClock.advance(10 * kMs);
    send(other, {0, 0, 0x10, 128, 128, 0x01, 0, 0});
    EXPECT_EQ(gDialValues[0].load(), 2);
    EXPECT_EQ(gKnob1ControlValue.load(), 2.0f);
}

TEST_F(KlovDecodeTest, DialsCarryOnWhenTheControllerIsPluggedInAgain) {
    knob1(0x3);
    sim().unplug(*mDevice);
    mDevice = std::make_unique<usb::SimDevice>(sim().plugIn());
    ASSERT_TRUE(sim().settle());
    mClock.advance(1000 * kMs);
    knob1(0x1);
    EXPECT_EQ(gKnob1ControlValue.load(), 4.0f);
    EXPECT_EQ(gDialValues[0].load(), 4);
}

TEST_F(KlovDecodeTest, KnobNibblesLandOnTheirKnobs) {
    for (auto [nibble, total] : {std::pair{0x7, 7.0f}, {0x8, -1.0f}, {0xF, -2.0f}}) {
        knob1(static_cast<uint8_t>(nibble));
        EXPECT_EQ(gKnob1ControlValue.load(), total) << nibble;
    }
    report(0, 128, 128, 0x30, 0x00); // knob 2: high nibble of byte 5
    report(0, 128, 128, 0x00, 0x50); // knob 3: high nibble of byte 6
    report(0, 128, 128, 0x00, 0x06); // knob 4: low nibble of byte 6
    EXPECT_EQ(gKnob2ControlValue.load(), 3.0f);
    EXPECT_EQ(gKnob3ControlValue.load(), 5.0f);
    EXPECT_EQ(gKnob4ControlValue.load(), 6.0f);
    EXPECT_EQ(gKnob1ControlValue.load(), -2.0f);
}

TEST_F(KlovDecodeTest, DialsAccelerateWithTheTimeBetweenStepsWithinTheirBounds) {
    // Milliseconds since the last step, the knob's nibble, the dial after it. The first step
    // is long after the zero timestamp (factor 1); -8 at factor 5 is -40, bounded at 0; fast
    // steps of 7 (35 each) stop at 127.
    const struct {
        int ms, nibble, dial;
    } steps[] = {{0, 0x1, 1},  {10, 0x1, 6}, {50, 0x1, 8},  {100, 0x1, 9}, {10, 0x8, 0},
                 {5, 0x7, 35}, {5, 0x7, 70}, {5, 0x7, 105}, {5, 0x7, 127}, {5, 0x7, 127}};
    for (const auto [ms, nibble, dial] : steps) {
        mClock.advance(static_cast<uint64_t>(ms) * kMs);
        knob1(static_cast<uint8_t>(nibble));
        EXPECT_EQ(gDialValues[0].load(), dial) << ms << " ms";
        EXPECT_EQ(gDialTimestamp[0].load(), mClock.now().value());
    }
    EXPECT_EQ(gKnob1ControlValue.load(), 31.0f); // the knob keeps counting
    EXPECT_EQ(gDialValues[1].load(), 0);         // the other dials did not move
    EXPECT_TRUE(gUpdate.load());
    EXPECT_EQ(gTraffic.load(), 1.0f);
}

// Bit 0 of the button byte captures the stick's rest; a report posts once both axes have left
// it (by more than the dead zone of 5), and every report after that, even back at rest.
TEST_F(KlovDecodeTest, StickPostsOnlyOnceBothAxesLeftTheirRest) {
    const struct {
        uint8_t bits, x, y;
        int posts; // stick notifications so far
    } steps[] = {{0x01, 128, 128, 0}, {0x01, 250, 5, 0},   {0x00, 128, 128, 1}, {0x01, 128, 128, 1},
                 {0x00, 160, 131, 1}, {0x00, 160, 160, 2}, {0x00, 160, 128, 3}};
    for (const auto& step : steps) {
        report(step.bits, step.x, step.y);
        EXPECT_EQ(stickPosts(), step.posts) << int(step.x) << "," << int(step.y);
    }
    EXPECT_FLOAT_EQ(posted().back().x, 81.0f / 127.0f);
    EXPECT_FLOAT_EQ(posted().back().y, 46.0f / 127.0f);
    EXPECT_EQ(gRulerX.load(), 81.0f);
    EXPECT_EQ(gRulerY.load(), 46.0f);
    report(0x00, 128, 128);
    EXPECT_FLOAT_EQ(posted().back().x, 64.0f / 127.0f);
    EXPECT_FLOAT_EQ(posted().back().y, 64.0f / 127.0f);
}

TEST_F(KlovDecodeTest, LedEventSwitchesAllThreeAndRecapturesTheStick) {
    report(0x01, 128, 128);
    report(0x00, 20, 20); // stick left: posting
    ASSERT_EQ(stickPosts(), 1);

    report(0x02, 25, 25); // LED event without bit 0: all off
    EXPECT_EQ(mDevice->writes().back(), kLedsOff);
    EXPECT_EQ(stickPosts(), 2); // this report still posts: its rest was already left
    report(0x00, 90, 90);       // but the LED write asked for a new capture: no post
    EXPECT_EQ(stickPosts(), 2);

    report(0x03, 90, 90); // LED event with bit 0: all on
    EXPECT_EQ(mDevice->writes().back(), kLedsOn);
    EXPECT_EQ(gTraffic.load(), 1.0f);

    report(0x01, 128, 128);
    report(0x00, 20, 20); // posting again
    ASSERT_EQ(stickPosts(), 3);
    SetLed(false, true, false); // the host's LED switch asks for a new capture too
    EXPECT_EQ(mDevice->writes().back(), (std::vector<uint8_t>{0, 0, 0, 0x80, 0, 0, 0, 0}));
    report(0x00, 30, 30);
    EXPECT_EQ(stickPosts(), 3);
    report(0x00, 90, 90);
    EXPECT_EQ(stickPosts(), 4);
}

} // namespace
} // namespace klov_test
