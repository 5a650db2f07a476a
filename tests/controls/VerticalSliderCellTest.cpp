// SPDX-License-Identifier: GPL-3.0-or-later
// The meter slider on a 22 by 150 drawing rectangle: the oval and its colour at the
// levels the design names, its shadow and compositing, the thumb's place, gestures of a
// drag (and of a drag cut short), and what prepare resets.
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
    std::vector<DrawOp> meters() {
        window->render();
        return window->recorder().ofKind(DrawOp::Kind::FillEllipse);
    }
    void expectMeter(float level, double g, double b) {
        cell->setRmsLevel(level);
        const auto ops = meters();
        ASSERT_EQ(ops.size(), 1u) << level;
        EXPECT_NEAR(ops[0].color.red, 0.0, 1e-6);
        EXPECT_NEAR(ops[0].color.green, g, 0.001) << level;
        EXPECT_NEAR(ops[0].color.blue, b, 0.001) << level;
        EXPECT_DOUBLE_EQ(ops[0].color.alpha, 0.9);
    }
    std::filesystem::path art;
    std::unique_ptr<tk::HeadlessWindow> window;
    std::shared_ptr<VerticalSliderCell> cell;
    std::shared_ptr<tk::Slider> slider;
    NotificationLog log;
};

} // namespace

TEST_F(SliderFixture, HalfLevelOvalGeometryColourShadowAndCompositing) {
    cell->setRmsLevel(0.5f);
    const auto ops = meters();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].rect, (Rect{7.5, 2, 7, 146}));
    EXPECT_EQ(cell->trackRect(), (Rect{0, 0, 22, 150}));
    EXPECT_NEAR(ops[0].color.green, 0.189, 0.001);
    EXPECT_NEAR(ops[0].color.blue, 0.357, 0.001);
    EXPECT_EQ(ops[0].operation, tk::CompositingOperation::PlusLighter);
    ASSERT_TRUE(ops[0].shadow.has_value());
    EXPECT_EQ(*ops[0].shadow,
              (tk::Shadow{{2.0, -3.0}, 6.0, tk::Color::calibratedWhite(0.5, 0.75)}));
    // The oval adds light to the track: brighter than with no level.
    const double lit = window->pixel({11, 100}).blue;
    cell->setRmsLevel(0.0f);
    window->render();
    EXPECT_GT(lit, window->pixel({11, 100}).blue + 0.2);
}

TEST_F(SliderFixture, ColourMovesFromMutedCyanToDarkBlue) {
    expectMeter(0.1f, 0.421, 0.444);
    expectMeter(0.25f, 0.334, 0.404);
    expectMeter(1.0f, 0.2, 0.6);
    EXPECT_EQ(meters()[0].rect, (Rect{4, 2, 14, 146}));
}

TEST_F(SliderFixture, NoMeterAtZeroNegativeOrNaN) {
    for (float level : {0.0f, -0.3f, NAN}) {
        cell->setRmsLevel(level);
        EXPECT_TRUE(meters().empty()) << level;
    }
}

TEST_F(SliderFixture, ThumbAppearsOnlyOnceGivenAndSitsOnTheKnob) {
    window->render();
    const auto before = window->recorder().ofKind(DrawOp::Kind::Image);
    ASSERT_EQ(before.size(), 1u); // the bar only
    cell->setThumbImage(art / "133.png");
    slider->setDoubleValue(0.5);
    window->render();
    const auto images = window->recorder().ofKind(DrawOp::Kind::Image);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].image, cell->thumbImage().get());
    // Knob 21 thick, centred at 11: x = 0.5 + (10.5 − 12); y halfway along 150 − 21.
    EXPECT_EQ(images[1].rect, (Rect{-1.0, 64.5, 24, 21}));
    EXPECT_EQ(images[1].operation, tk::CompositingOperation::SourceOver);

    fnd::LogCapture logged;
    cell->setThumbImage(art / "missing.png");
    EXPECT_EQ(logged.count("image not loaded!!"), 1u);
    EXPECT_EQ(cell->thumbImage(), nullptr);
}

TEST_F(SliderFixture, DragIsOneGestureAroundItsValues) {
    window->mouseDown({11, 20});
    window->mouseDragged({11, 80});
    window->mouseUp({11, 90});
    const auto names = log.names();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names.front(), "begin");
    EXPECT_EQ(names.back(), "end");
    EXPECT_EQ(std::count(names.begin(), names.end(), "begin"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "end"), 1);
    EXPECT_EQ(log.entries.front().object, static_cast<const void*>(slider.get()));
    EXPECT_EQ(log.entries.back().object, static_cast<const void*>(slider.get()));
}

TEST_F(SliderFixture, ADragCutShortByALostReleaseStillEndsItsGesture) {
    window->mouseDown({11, 20});
    window->mouseDragged({11, 80});
    window->cancelMouseTracking();
    auto names = log.names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "begin"), 1);
    ASSERT_EQ(std::count(names.begin(), names.end(), "end"), 1);
    EXPECT_EQ(names.back(), "end");
    EXPECT_FALSE(window->isTracking());
    // The release that finally arrives belongs to no drag.
    window->mouseUp({11, 90});
    names = log.names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "end"), 1);
}

TEST_F(SliderFixture, PrepareResetsLevelThumbAndColoursButKeepsTheShadow) {
    registerZembraControls();
    tk::Connectable owner;
    auto root = tk::InterfaceLoader::loadString(
        R"({"root": {"class": "Slider", "cell": "VerticalSliderCell", "frame": [0, 0, 22, 150]}})",
        "s.json", owner);
    ASSERT_TRUE(root);
    auto* loaded = dynamic_cast<VerticalSliderCell*>(static_cast<tk::Slider*>(root.get())->cell());
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(loaded->meterShadow().has_value());

    cell->setThumbImage(art / "133.png");
    cell->setRmsLevel(0.5f);
    cell->setLowLevelVolumeRed(1, 0, 0);
    cell->setHighLevelVolumeRed(0, 0, 0);
    EXPECT_NEAR(meters()[0].color.red, 0.125 * std::pow(0.5, 0.25), 0.001);
    cell->awakeFromNib();
    EXPECT_EQ(cell->rmsLevel(), 0.0f);
    EXPECT_EQ(cell->thumbImage(), nullptr);
    cell->setRmsLevel(1.0f);
    EXPECT_NEAR(meters()[0].color.blue, 0.6, 0.001);
    EXPECT_TRUE(cell->meterShadow().has_value());
}
