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
    void report(uint8_t bits, uint8_t x, uint8_t y, uint8_t knobs12 = 0, uint8_t knobs34 = 0) {
        mSerial = static_cast<uint8_t>(mSerial + 4);
        if (mSerial == 0) mSerial = 4;
        send(*mDevice, {0, 0, static_cast<uint8_t>(mSerial | bits), x, y, knobs12, knobs34, 0});
    }
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

// Each controller repeats its last report: a report from another one must not make an old
// report look new, or the knobs would count its steps again and again. A controller that
// arrives (or comes back) carries on from the knobs and dials where they are, and the dials
// of two controllers accelerate apart. The LEDs go to the newest controller, fall back to the
// one left when it goes, and never reach a device that is gone.
TEST_F(KlovDecodeTest, TwoControllersKeepTheirOwnReportsAndTheLedsGoToTheNewest) {
    send(*mDevice, {0, 0, 0x04, 128, 128, 0x01, 0, 0});
    auto other = sim().plugIn();
    ASSERT_TRUE(sim().settle());
    mClock.advance(1000 * kMs);
    for (int i = 0; i < 3; ++i) {
        send(*mDevice, {0, 0, 0x04, 128, 128, 0x01, 0, 0});
        send(other, {0, 0, 0x08, 128, 128, 0x01, 0, 0});
    }
    EXPECT_EQ(gKnob1ControlValue.load(), 2.0f);
    EXPECT_EQ(gDialValues[0].load(), 2);

    // A step on one right after a step on the other is slow.
    mClock.advance(200 * kMs);
    send(*mDevice, {0, 0, 0x0C, 128, 128, 0x01, 0, 0});
    mClock.advance(10 * kMs);
    send(other, {0, 0, 0x10, 128, 128, 0x01, 0, 0});
    EXPECT_EQ(gDialValues[0].load(), 3);
    EXPECT_EQ(gKnob1ControlValue.load(), 3.0f);

    SetLed(true, true, true);
    EXPECT_EQ(other.writes().back(), kLedsOn);
    sim().unplug(other);
    ASSERT_TRUE(sim().settle());
    EXPECT_TRUE(gIsConnected.load()); // the older one is still there
    SetLed(true, false, true);
    EXPECT_EQ(mDevice->writes().back(), (std::vector<uint8_t>{0, 0, 0x80, 0, 0x80, 0, 0, 0}));
    EXPECT_EQ(other.writes().back(), kLedsOn);
    EXPECT_TRUE(mDevice->isReadPending());
}

// Knob 1 is the low nibble of byte 5, knob 2 its high one, knob 3 the high nibble of byte 6
// and knob 4 its low one, each a signed step. The dials follow their knobs, faster the
// quicker the steps come, within 0..127.
TEST_F(KlovDecodeTest, KnobsCountTheirStepsAndDialsAccelerateWithinTheirBounds) {
    // Milliseconds since the last step, knob 1's nibble, then the knob and its dial. The first
    // step is long after the zero timestamp (factor 1); -8 at factor 5 is -40, bounded at 0;
    // fast steps of 7 (35 each) stop at 127.
    const struct {
        int ms, nibble;
        float knob;
        int dial;
    } steps[] = {{0, 0x1, 1, 1},    {10, 0x1, 2, 6},   {50, 0x1, 3, 8},  {100, 0x1, 4, 9},
                 {10, 0x8, -4, 0},  {5, 0xF, -5, 0},   {5, 0x7, 2, 35},  {5, 0x7, 9, 70},
                 {5, 0x7, 16, 105}, {5, 0x7, 23, 127}, {5, 0x7, 30, 127}};
    for (const auto [ms, nibble, knob, dial] : steps) {
        mClock.advance(static_cast<uint64_t>(ms) * kMs);
        report(0, 128, 128, static_cast<uint8_t>(nibble));
        EXPECT_EQ(gKnob1ControlValue.load(), knob) << ms << " ms";
        EXPECT_EQ(gDialValues[0].load(), dial) << ms << " ms";
    }
    EXPECT_EQ(gDialValues[1].load(), 0); // the other dials did not move
    report(0, 128, 128, 0x30, 0x56);
    EXPECT_EQ(gKnob2ControlValue.load(), 3.0f);
    EXPECT_EQ(gKnob3ControlValue.load(), 5.0f);
    EXPECT_EQ(gKnob4ControlValue.load(), 6.0f);
    EXPECT_EQ(gKnob1ControlValue.load(), 30.0f);
    EXPECT_EQ(gTraffic.load(), 1.0f);
}

// Bit 0 of the button byte captures the stick's rest; a report posts once both axes have left
// it (by more than the dead zone of 5), and every report after that, even back at rest. The LED
// event (bit 1) switches all three LEDs as bit 0 says; it and the host's own LED switch both
// make the next report capture the rest again.
TEST_F(KlovDecodeTest, StickPostsOnceBothAxesLeftItsRestAndLedSwitchesRecaptureIt) {
    const std::vector<uint8_t> kOnlyMiddle = {0, 0, 0, 0x80, 0, 0, 0, 0};
    const struct {
        uint8_t bits, x, y;
        int posts;                                  // stick notifications so far
        const std::vector<uint8_t>* leds = nullptr; // written just before (by the host: middle)
    } steps[] = {{0x01, 128, 128, 0}, {0x01, 250, 5, 0},   {0x00, 128, 128, 1}, {0x01, 128, 128, 1},
                 {0x00, 160, 131, 1}, {0x00, 160, 160, 2}, {0x00, 160, 128, 3},
                 {0x02, 165, 128, 4, &kLedsOff}, // its own report still posts: its rest was left
                 {0x00, 90, 90, 4},   {0x00, 20, 20, 5},   {0x03, 20, 20, 5, &kLedsOn},
                 {0x00, 90, 90, 5},   {0x00, 20, 20, 6},   {0x00, 30, 30, 6, &kOnlyMiddle},
                 {0x00, 90, 90, 7}};
    for (const auto& step : steps) {
        if (step.leds == &kOnlyMiddle) SetLed(false, true, false);
        report(step.bits, step.x, step.y);
        EXPECT_EQ(stickPosts(), step.posts) << int(step.x) << "," << int(step.y);
        if (step.leds) {
            EXPECT_EQ(mDevice->writes().back(), *step.leds) << int(step.bits);
        }
    }
    EXPECT_FLOAT_EQ(posted().at(2).x, 81.0f / 127.0f);
    EXPECT_FLOAT_EQ(posted().at(2).y, 46.0f / 127.0f);
}

} // namespace
} // namespace klov_test
