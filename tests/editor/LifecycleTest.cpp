// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's life: the factory, waking with or without animation, the background's frames
// at each phase, missing pictures, and teardown that leaves nothing behind, also for 200
// editors opened and closed with their graphics threads running.
#include "EditorTestSupport.h"

#include "editor/GraphicsThread.h"
#include "editor/ZembraNotifications.h"
#include "editor/zembra_CocoaViewFactory.h"
#include "platform/audiounit/AudioUnitInstance.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Style.h"

#include <functional>
#include <thread>

using namespace editor_test;
using Frames = zembra_CocoaView::BackgroundFrames;

namespace {

class Lifecycle : public EditorTest {};

// Frame n of the test bundle ("bg-n", index n - 1) has n / 255 of green to tell which it is
// and, to tell neighbours apart, 0.2 or 0.8 of red (see useBundle).
tk::Color frameColour(int index) {
    const int n = index + 1;
    return {n % 2 ? 0.8 : 0.2, n / 255.0, 0.3, 1.0};
}

// The background where no control covers it is `under` with `over` drawn on it at `opacity`.
void expectBackground(Editor& e, const tk::Color& under, const tk::Color& over = {},
                      double opacity = 0.0) {
    e.window().render();
    const tk::Color seen = e.window().pixel({162, 300});
    constexpr double kOneStep = 1.5 / 255.0;
    EXPECT_NEAR(seen.red, (1 - opacity) * under.red + opacity * over.red, kOneStep);
    EXPECT_NEAR(seen.green, (1 - opacity) * under.green + opacity * over.green, kOneStep);
}

// Advances the phase by hand until `frames` says so; the main loop is not pumped meanwhile,
// so the graphics thread's own ticks wait.
void stepUntil(zembra_CocoaView& v, const std::function<bool(Frames)>& done) {
    for (int i = 0; i < 400 && !done(zembra_CocoaView::backgroundFramesForStep(v.animationStep()));
         ++i)
        v.update();
}

TEST_F(Lifecycle, TheFactoryIgnoresThePreferredSizeAndNeedsTheDescription) {
    zembra_CocoaViewFactory factory;
    Editor e;
    EXPECT_EQ(e.view().frame().size, (tk::Size{720, 600}));
    EXPECT_EQ(e.view().audioUnit(), e.unit());
    // A click on the background makes the editor first responder.
    e.window().makeFirstResponder(nullptr);
    e.window().mouseDown({712, 8});
    e.window().mouseUp({712, 8});
    EXPECT_EQ(e.window().firstResponder(), &e.view());

    // Without its description the factory gives no view.
    Art art;
    art.description = false;
    useBundle(art);
    fnd::LogCapture log;
    EXPECT_EQ(factory.uiViewForAudioUnit(1, {}), nullptr);
    EXPECT_EQ(log.count("Unable to load nib for view."), 1u);
}

TEST_F(Lifecycle, WakingAnnouncesItselfAndSaysWhatBackgroundItUses) {
    struct Counter {
        int posts = 0;
    } counter;
    fnd::NotificationCenter::defaultCenter().addObserver(
        &counter, zembra::kRunningCocoaUINotification, nullptr,
        [&](const fnd::Notification&) { ++counter.posts; });
    for (std::optional<int> pref : {std::optional<int>(), std::optional<int>(1),
                                    std::optional<int>(-1), std::optional<int>(5)}) {
        setAnimationPreference(pref);
        testing::internal::CaptureStdout();
        Editor e;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Using animated background\n");
    }
    setAnimationPreference(0);
    testing::internal::CaptureStdout();
    Editor still;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Disabling animated background\n");
    EXPECT_FALSE(still.view().animationFrame(0)) << "no frames are held without animation";
    EXPECT_EQ(counter.posts, 5);
    fnd::NotificationCenter::defaultCenter().removeObserver(&counter);

    // Off, the phase stands still and the still picture is drawn.
    const float step = still.view().animationStep();
    still.view().update();
    EXPECT_EQ(still.view().animationStep(), step);
    expectBackground(still, tk::Color::calibratedRGBA(0.1, 0.2, 0.9));
}

TEST_F(Lifecycle, TheBackgroundCrossFadesTheFramesOfItsPhaseAndTurnsAtTheEnds) {
    Editor e;
    auto& v = e.view();
    // The graphics thread advances the phase on the main thread.
    const float start = v.animationStep();
    EXPECT_TRUE(pumpUntil([&] { return v.animationStep() != start; }));
    stepUntil(v, [](Frames f) { return f.a >= 40; });
    const Frames f = zembra_CocoaView::backgroundFramesForStep(v.animationStep());
    expectBackground(e, frameColour(f.a), frameColour(f.b), f.opacity);

    // Up to the end and back, always two neighbouring frames of the loop, even an increment
    // beyond either end.
    float previous = v.animationStep();
    float direction = 0.0f;
    int turns = 0;
    for (int i = 0; i < 500; ++i) {
        v.update();
        const float delta = v.animationStep() - previous;
        EXPECT_NEAR(std::abs(delta), zembra_CocoaView::kAnimationIncrement, 1e-6);
        const Frames now = zembra_CocoaView::backgroundFramesForStep(v.animationStep());
        ASSERT_TRUE(now.a >= 0 && now.b <= 129 && now.b - now.a <= 1 && now.b >= now.a)
            << v.animationStep();
        ASSERT_TRUE(now.opacity >= 0.0f && now.opacity <= 1.0f) << v.animationStep();
        if (direction != 0.0f && delta * direction < 0.0f) ++turns;
        direction = delta;
        previous = v.animationStep();
    }
    EXPECT_GE(turns, 2);
}

TEST_F(Lifecycle, AMissingPictureIsLoggedAndSkippedWhileTheRestIsDrawn) {
    Art art;
    art.missingFrame = 57;
    useBundle(art);
    {
        fnd::LogCapture log;
        Editor e;
        EXPECT_EQ(log.count("bg image 'bg-57.png' not loaded!!"), 1u);
        EXPECT_EQ(log.count("not loaded!!"), 1u);
        EXPECT_FALSE(e.view().animationFrame(56));
    }
    // Near the loop's start the phase moves slowly enough to stop on every frame.
    art.missingFrame = 3;
    useBundle(art);
    Editor e;
    auto& v = e.view();
    stepUntil(v, [](Frames f) { return f.b == 2; });
    expectBackground(e, frameColour(1));
    stepUntil(v, [](Frames f) { return f.a == 2; });
    const float over = zembra_CocoaView::backgroundFramesForStep(v.animationStep()).opacity;
    expectBackground(e, tk::style::kWindowBackground, frameColour(3), over);

    // Without any picture the editor still works.
    art.frames = false;
    art.still = false;
    useBundle(art);
    fnd::LogCapture log;
    Editor bare;
    EXPECT_EQ(log.count("bg image '"), 130u);
    EXPECT_EQ(log.count("bg image not loaded!!"), 1u);
    expectBackground(bare, tk::style::kWindowBackground);
    setAnimationPreference(0);
    Editor still;
    expectBackground(still, tk::style::kWindowBackground);
}

TEST_F(Lifecycle, TwoHundredEditorsShareTheirFramesAndLeaveNothingBehind) {
    const std::size_t listeners = au::listenerCount();
    {
        // One editor stays open, so the frames are decoded once, as in a host with several.
        Editor keeper;
        std::thread controller([] {
            for (int i = 0; i < 400; ++i)
                fnd::NotificationCenter::defaultCenter().post(
                    i % 2 ? zembra::kKlovConnectNotification : zembra::kKlovDisconnectNotification);
        });
        for (int i = 0; i < 200; ++i) {
            Editor e;
            EXPECT_EQ(e.view().animationFrame(7), keeper.view().animationFrame(7));
            EXPECT_EQ(au::listenerCount(), listeners + 2);
            // Let the graphics threads ask for their updates now and then.
            if (i % 20 == 0) fnd::RunLoop::main().runFor(std::chrono::milliseconds(1));
            if (i % 50 == 0) e.window().render();
        }
        controller.join();
        pump();
        EXPECT_EQ(zembra::joinStoppedGraphicsThreads(), 1u); // the keeper's still runs
        EXPECT_EQ(zembra::CompactImage::liveCount(), 131u);
    }
    EXPECT_EQ(zembra::CompactImage::liveCount(), 0u);
    EXPECT_EQ(au::listenerCount(), listeners);
    pump();
    EXPECT_EQ(zembra::joinStoppedGraphicsThreads(), 0u);
}

} // namespace
