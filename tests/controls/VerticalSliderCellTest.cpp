// SPDX-License-Identifier: GPL-3.0-or-later
// The meter slider: how the meter grows and changes colour with the level, the thumb's place,
// the gesture of a drag (also one cut short), and what waking again resets.
#include "ControlsTestSupport.h"

#include "controls/VerticalSliderCell.h"
#include "controls/ZembraControls.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/InterfaceLoader.h"
#include "platform/toolkit/Slider.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testing_support;
using tk::DrawOp;
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
    std::vector<DrawOp> meters(float level) {
        cell->setRmsLevel(level);
        window->render();
        return window->recorder().ofKind(DrawOp::Kind::FillEllipse);
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

TEST_F(SliderFixture, TheMeterWidensAndMovesFromMutedCyanToDarkBlueAsTheLevelRises) {
    // As wide as the level (14 at full scale), centred on the track, bluer as it rises.
    double blueOverGreen = 0.0;
    for (float level : {0.1f, 0.25f, 0.5f, 1.0f}) {
        const auto ops = meters(level);
        ASSERT_EQ(ops.size(), 1u) << level;
        EXPECT_NEAR(ops[0].rect.width(), 14.0 * level, 1e-5) << level;
        EXPECT_NEAR(ops[0].rect.midX(), 11.0, 1e-5);
        EXPECT_GT(ops[0].color.blue / ops[0].color.green, blueOverGreen) << level;
        blueOverGreen = ops[0].color.blue / ops[0].color.green;
    }
    // The meter adds light to the track.
    const double lit = window->pixel({11, 100}).blue;
    EXPECT_TRUE(meters(0.0f).empty());
    EXPECT_GT(lit, window->pixel({11, 100}).blue + 0.2);
    for (float level : {-0.3f, NAN})
        EXPECT_TRUE(meters(level).empty()) << level;
}

TEST_F(SliderFixture, ThumbAppearsOnlyOnceGivenAndSitsCentredOnTheKnob) {
    window->render();
    ASSERT_EQ(window->recorder().ofKind(DrawOp::Kind::Image).size(), 1u); // the bar only
    cell->setThumbImage(art / "133.png");
    slider->setDoubleValue(0.5);
    window->render();
    const auto images = window->recorder().ofKind(DrawOp::Kind::Image);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].image, cell->thumbImage().get());
    EXPECT_NEAR(images[1].rect.midX(), 11.0, 0.5);
    EXPECT_NEAR(images[1].rect.midY(), 75.0, 0.5); // halfway
    fnd::LogCapture logged;
    cell->setThumbImage(art / "missing.png");
    EXPECT_EQ(logged.count("image not loaded!!"), 1u);
    EXPECT_EQ(cell->thumbImage(), nullptr);
}

TEST_F(SliderFixture, ADragIsOneGestureAroundItsValuesEvenWhenCutShort) {
    window->mouseDown({11, 20});
    window->mouseDragged({11, 80});
    window->mouseUp({11, 90});
    ASSERT_GE(log.names().size(), 4u);
    EXPECT_EQ(log.names().front(), "begin");
    EXPECT_EQ(log.names().back(), "end");
    EXPECT_EQ(count("begin") + count("end"), 2);
    EXPECT_EQ(log.entries.back().object, static_cast<const void*>(slider.get()));

    log.entries.clear();
    window->mouseDown({11, 20});
    window->mouseDragged({11, 80});
    window->cancelMouseTracking();
    EXPECT_EQ(log.names().back(), "end");
    EXPECT_FALSE(window->isTracking());
    window->mouseUp({11, 90}); // the release that finally arrives belongs to no drag
    EXPECT_EQ(count("end"), 1);
}

TEST_F(SliderFixture, WakingAgainResetsLevelThumbAndColoursButKeepsTheShadow) {
    registerZembraControls(zembra::kBundleIdentifier);
    tk::Connectable owner;
    auto root = tk::InterfaceLoader::loadString(
        R"({"root": {"class": "Slider", "cell": "VerticalSliderCell", "frame": [0, 0, 22, 150]}})",
        "s.json", owner);
    ASSERT_TRUE(root);
    auto* loaded = dynamic_cast<VerticalSliderCell*>(static_cast<tk::Slider*>(root.get())->cell());
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->meterShadow().has_value());

    cell->setThumbImage(art / "133.png");
    const DrawOp fresh = meters(0.5f)[0];
    cell->setLowLevelVolumeRed(1, 0, 0);
    cell->setHighLevelVolumeRed(0, 0, 0);
    EXPECT_NE(meters(0.5f)[0].color, fresh.color);
    cell->awakeFromNib();
    EXPECT_EQ(cell->rmsLevel(), 0.0f);
    EXPECT_EQ(cell->thumbImage(), nullptr);
    const DrawOp woken = meters(0.5f)[0];
    EXPECT_EQ(woken.color, fresh.color);
    EXPECT_TRUE(woken.shadow.has_value());
}
