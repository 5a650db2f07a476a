// SPDX-License-Identifier: GPL-3.0-or-later
// The meter slider: how the meter grows with the level, the thumb's place, and the gesture
// of a drag.
#include "ControlsTestSupport.h"
#include "Pictures.h"

#include "controls/VerticalSliderCell.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Slider.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testing_support;
using tk::Rect;

namespace {

struct SliderFixture : ::testing::Test {
    void SetUp() override {
        art = bundleWithArt({0, 0}, {24, 21});
        window = std::make_unique<tk::HeadlessWindow>(tk::Size{22, 150}, 1.0,
                                                      tk::Color::calibratedWhite(0.0));
        cell = std::make_shared<VerticalSliderCell>();
        slider = std::make_shared<tk::Slider>(Rect{0, 0, 22, 150}, cell);
        slider->setTarget(&log);
        slider->setAction("changed:");
        window->setContentView(slider);
    }
    Picture meter(float level) {
        cell->setRmsLevel(level);
        return picture(*window);
    }
    long count(const std::string& name) {
        const auto names = log.names();
        return std::count(names.begin(), names.end(), name);
    }
    std::filesystem::path art;
    std::unique_ptr<tk::HeadlessWindow> window;
    std::shared_ptr<VerticalSliderCell> cell;
    std::shared_ptr<tk::Slider> slider;
    NotificationLog log;
};

} // namespace

TEST_F(SliderFixture, TheMeterGrowsWithTheLevelAndShowsNothingWithoutOne) {
    const Picture unlit = meter(0.0f);
    const Rect quarter = differences(*window, unlit, meter(0.25f));
    const Rect full = differences(*window, unlit, meter(1.0f));
    EXPECT_FALSE(quarter.isEmpty());
    EXPECT_GT(full.width(), quarter.width());
    for (float level : {-0.3f, NAN})
        EXPECT_EQ(meter(level), unlit) << level;
}

TEST_F(SliderFixture, ThumbAppearsOnlyOnceGivenAndSitsCentredOnTheKnob) {
    slider->setDoubleValue(0.5);
    const Picture bare = picture(*window);
    cell->setThumbImage(art / "133.png");
    const Rect thumb = differences(*window, bare, picture(*window));
    EXPECT_NEAR(thumb.midX(), 11.0, 0.5);
    EXPECT_NEAR(thumb.midY(), 75.0, 0.5); // halfway
    EXPECT_NEAR(thumb.height(), 21.0, 1.0);
    fnd::LogCapture logged;
    writeFile(art / "junk.png", "not a png");
    cell->setThumbImage(art / "junk.png");
    EXPECT_EQ(logged.count("image not loaded!!"), 1u);
    EXPECT_EQ(picture(*window), bare);
}

TEST_F(SliderFixture, ADragIsOneGestureAroundItsValues) {
    window->mouseDown({11, 20});
    window->mouseDragged({11, 80});
    window->mouseUp({11, 90});
    ASSERT_GE(log.names().size(), 4u);
    EXPECT_EQ(log.names().front(), "begin");
    EXPECT_EQ(log.names().back(), "end");
    EXPECT_EQ(count("begin") + count("end"), 2);
    EXPECT_EQ(log.entries.back().object, static_cast<const void*>(slider.get()));
}
