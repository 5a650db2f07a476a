// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit window behind DPF's UI: DPF's pixels (y down, scaled) reaching views as points
// (y up), which buttons and keys become events, drawing through a host's cairo context; and
// the real editor in it, bound to a registered instance, clicked as a user would.
#include "DpfWindow.h"
#include "HostParameters.h"
#include "RecordingHost.h"
#include "UiBridge.h"

#include "editor/GraphicsThread.h"
#include "editor/zembra_CocoaView.h"
#include "editor/zembra_CocoaViewFactory.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Style.h"
#include "support/BundleIdentity.h"

#include "TestDirectory.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using namespace zembra::plugin::test;
using tk::EventType;

namespace {

constexpr unsigned kLeft = DpfWindow::kLeftButton;

// A view that records what reaches it and fills its frame with one colour.
class Probe : public tk::View {
  public:
    using tk::View::View;
    void mouseDown(const tk::Event& e) override { events.push_back(e); }
    void mouseDragged(const tk::Event& e) override { events.push_back(e); }
    void mouseUp(const tk::Event& e) override { events.push_back(e); }
    void keyDown(const tk::Event& e) override { events.push_back(e); }
    void keyUp(const tk::Event& e) override { events.push_back(e); }
    bool acceptsFirstResponder() const override { return true; }
    void drawRect(tk::GraphicsContext& g, const tk::Rect&) override {
        g.setColor(tk::Color::calibratedRGBA(1.0, 0.0, 0.0));
        g.fillRect(bounds());
    }
    // The pointer events as {type, x, y, modifiers, synthetic}.
    auto pointer() const {
        std::vector<std::tuple<EventType, double, double, unsigned, bool>> seen;
        for (const tk::Event& e : events)
            seen.emplace_back(e.type, e.locationInWindow.x, e.locationInWindow.y, e.modifierFlags,
                              e.synthetic);
        return seen;
    }
    // The key events as {type, key, characters, characters ignoring modifiers, modifiers}.
    auto keys() const {
        std::vector<std::tuple<EventType, tk::Key, std::string, std::string, unsigned>> seen;
        for (const tk::Event& e : events)
            seen.emplace_back(e.type, e.key, e.characters, e.charactersIgnoringModifiers,
                              e.modifierFlags);
        return seen;
    }
    std::vector<tk::Event> events;
};

// A 200x100-point window at `scale`, a probe in its lower-left quarter (points 0..100 x 0..50).
struct ProbedWindow {
    explicit ProbedWindow(double scale = 1.0)
        : window({200, 100}, scale, [this] { ++repaints; }),
          probe(std::make_shared<Probe>(tk::Rect{0, 0, 100, 50})) {
        auto content = std::make_shared<tk::View>(tk::Rect{0, 0, 200, 100});
        content->addSubview(probe);
        window.setContentView(content);
    }
    bool button(bool down, double x, double y, std::uint32_t ms) {
        return window.mouse(kLeft, down, x, y, 0, ms);
    }
    int repaints = 0;
    DpfWindow window;
    std::shared_ptr<Probe> probe;
};

// The colour at pixel (x, y) of an image surface, as 0xRRGGBB.
unsigned pixelAt(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row =
        cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFFu;
}

TEST(DpfWindowEvents, PixelsWithYDownBecomePointsWithYUpAtTheScale) {
    ProbedWindow s(2.0);
    // Pixel (20, 180) of a 400x200 window: 10 points in, 10 points up from the bottom. The
    // release goes to the view that had the press, wherever it happens.
    EXPECT_TRUE(s.window.mouse(kLeft, true, 20, 180, DpfWindow::kDpfShift, 1000));
    EXPECT_TRUE(s.window.motion(60, 160, 0));
    EXPECT_TRUE(s.button(false, 300, 20, 1100));
    EXPECT_EQ(s.probe->pointer(), (decltype(s.probe->pointer()){
                                      {EventType::MouseDown, 10.0, 10.0, tk::kShiftKey, false},
                                      {EventType::MouseDragged, 30.0, 20.0, 0u, false},
                                      {EventType::MouseUp, 150.0, 90.0, 0u, false}}));
    // A press in the upper half misses the probe.
    s.probe->events.clear();
    s.button(true, 20, 20, 2000);
    s.button(false, 20, 20, 2010);
    EXPECT_TRUE(s.probe->events.empty());
}

TEST(DpfWindowEvents, OnlyTheLeftButtonPressesAndOnlyAHeldButtonDrags) {
    ProbedWindow s;
    EXPECT_FALSE(s.window.mouse(3, true, 10, 90, 0, 0)); // right button
    EXPECT_FALSE(s.button(false, 10, 90, 0));            // no press
    EXPECT_FALSE(s.window.motion(12, 88, 0));
    EXPECT_TRUE(s.probe->events.empty());

    // Presses close in time and place count up; a late or distant one starts again.
    std::vector<int> counts;
    for (auto [x, ms] : {std::pair{10u, 1000u},
                         {11u, 1200u},
                         {11u, 1400u},
                         {11u, 1400u + DpfWindow::kMultiClickMs + 1},
                         {30u, 1900u}}) {
        s.button(true, x, 90, ms);
        s.button(false, x, 90, ms + 5);
        counts.push_back(s.probe->events[s.probe->events.size() - 2].clickCount);
    }
    EXPECT_EQ(counts, (std::vector{1, 2, 3, 1, 1}));

    s.window.close();
    EXPECT_FALSE(s.button(true, 10, 90, 5000));
    EXPECT_FALSE(s.window.keyboard(true, DpfWindow::kDpfReturn, 0));
}

TEST(DpfWindowEvents, AButtonSeenUpTwiceWhileHeldHereLostItsReleaseAndEndsThePress) {
    ProbedWindow s;
    s.window.leftButtonState(false); // nothing held here: nothing happens
    s.window.leftButtonState(false);
    EXPECT_TRUE(s.probe->events.empty());

    // Up once, then the release arrives after all: an ordinary click.
    s.button(true, 10, 90, 0);
    s.window.leftButtonState(false);
    s.button(false, 10, 90, 5);
    // Up, held again, up: never twice in a row, so the press goes on.
    s.button(true, 10, 90, 1000);
    s.window.leftButtonState(false);
    s.window.leftButtonState(true);
    s.window.leftButtonState(false);
    EXPECT_TRUE(s.window.isButtonDown());
    EXPECT_TRUE(s.window.motion(20, 85, 0));

    s.window.leftButtonState(false);
    EXPECT_FALSE(s.window.isButtonDown());
    // The pointer moving on and a late release reach nobody.
    EXPECT_FALSE(s.window.motion(40, 80, 0));
    EXPECT_FALSE(s.button(false, 40, 80, 1100));
    EXPECT_EQ(s.probe->pointer(),
              (decltype(s.probe->pointer()){{EventType::MouseDown, 10.0, 10.0, 0u, false},
                                            {EventType::MouseUp, 10.0, 10.0, 0u, false},
                                            {EventType::MouseDown, 10.0, 10.0, 0u, false},
                                            {EventType::MouseDragged, 20.0, 15.0, 0u, false},
                                            {EventType::MouseUp, 20.0, 15.0, 0u, true}}));
}

TEST(DpfWindowEvents, KeysWithoutTextAreKeysAndTextComesAsText) {
    ProbedWindow s;
    s.button(true, 10, 90, 0); // makes the probe first responder
    s.button(false, 10, 90, 5);
    s.probe->events.clear();

    EXPECT_TRUE(s.window.keyboard(true, DpfWindow::kDpfReturn, 0));
    EXPECT_TRUE(s.window.keyboard(false, DpfWindow::kDpfReturn, 0));
    EXPECT_TRUE(s.window.keyboard(true, DpfWindow::kDpfBackspace, 0));
    EXPECT_TRUE(s.window.keyboard(true, DpfWindow::kDpfLeft, DpfWindow::kDpfShift));
    // A letter: the key press is left to the text that follows it.
    EXPECT_FALSE(s.window.keyboard(true, 'a', DpfWindow::kDpfShift));
    EXPECT_TRUE(s.window.characterInput("A", DpfWindow::kDpfShift));
    // The text of control keys came as keys already.
    EXPECT_FALSE(s.window.characterInput("\r", 0));
    EXPECT_FALSE(s.window.characterInput("\x7f", 0));
    // Control+C is a shortcut, not text.
    EXPECT_TRUE(s.window.keyboard(true, 'c', DpfWindow::kDpfControl));
    EXPECT_FALSE(s.window.characterInput("\x03", DpfWindow::kDpfControl));
    EXPECT_EQ(s.probe->keys(),
              (decltype(s.probe->keys()){
                  {EventType::KeyDown, tk::Key::Return, "", "", 0u},
                  {EventType::KeyUp, tk::Key::Return, "", "", 0u},
                  {EventType::KeyDown, tk::Key::Backspace, "", "", 0u},
                  {EventType::KeyDown, tk::Key::Left, "", "", tk::kShiftKey},
                  {EventType::KeyDown, tk::Key::None, "A", "a", tk::kShiftKey},
                  {EventType::KeyDown, tk::Key::None, "c", "c", tk::kControlKey}}));
}

TEST(DpfWindowDrawing, DrawsTheTreeFlippedAndScaledAndAsksForRepaintOncePerDraw) {
    ProbedWindow s(2.0);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 400, 200);
    cairo_t* cr = cairo_create(surface);
    s.window.display(cr);
    // The probe fills points 0..100 x 0..50: the lower-left quarter of the pixels.
    EXPECT_EQ(pixelAt(surface, 10, 190), 0xFF0000u);
    EXPECT_EQ(pixelAt(surface, 190, 110), 0xFF0000u);
    EXPECT_NE(pixelAt(surface, 10, 10), 0xFF0000u);
    EXPECT_NE(pixelAt(surface, 210, 190), 0xFF0000u);
    // The host's context is left as it was given.
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    EXPECT_EQ(m.xx, 1.0);
    EXPECT_EQ(m.yy, 1.0);

    const int before = s.repaints;
    s.probe->setNeedsDisplay();
    s.probe->setNeedsDisplay();
    EXPECT_EQ(s.repaints, before + 1) << "one request until the window has drawn";
    s.window.display(cr);
    s.probe->setNeedsDisplay();
    EXPECT_EQ(s.repaints, before + 2);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// ---- the editor in the window, as the plug-in's UI shows it ----

TEST(EditorInDpfWindow, ShowsTheEditorAndAClickOnSoloAReachesTheHostAsAGesture) {
    const testing_support::TestDirectory config;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, ZEMBRA_RESOURCE_DIR);

    int pluginObject = 0;
    RegisteredInstance instance(&pluginObject);
    instance.parameters().pluginValueStored(kParamRoom, 70.0f); // the plug-in's state
    RecordingHost host;
    {
        UiBridge bridge(instance.sharedParameters(), host, [&] { return true; });
        auto view = zembra_CocoaViewFactory().uiViewForAudioUnit(instance.unit(), {1, 1});
        ASSERT_NE(view, nullptr);
        const double scale = 1.5;
        DpfWindow dpf(view->frame().size, scale, [] {});
        dpf.setContentView(view);
        bridge.idle(); // the editor's listener shows every value
        EXPECT_TRUE(host.calls.empty()) << "binding writes nothing new to the host";

        auto* editor = dynamic_cast<zembra_CocoaView*>(view.get());
        ASSERT_NE(editor, nullptr);
        auto* solo = dynamic_cast<tk::Button*>(editor->outlet("uiSoloAButton"));
        auto* room = dynamic_cast<tk::Control*>(editor->outlet("uiRoomSlider"));
        ASSERT_TRUE(solo && room);
        // DPF's pixel at a fraction of a control's width and height (from its bottom).
        const auto pixel = [&](const tk::View* control, double fx, double fy) {
            const tk::Rect r = control->convertRectToView(control->bounds(), nullptr);
            return std::pair{(r.minX() + fx * r.width()) * scale,
                             (view->frame().height() - r.minY() - fy * r.height()) * scale};
        };
        const auto [sx, sy] = pixel(solo, 0.5, 0.5);
        dpf.mouse(kLeft, true, sx, sy, 0, 100);
        dpf.mouse(kLeft, false, sx, sy, 0, 150);
        bridge.idle();
        EXPECT_EQ(solo->state(), tk::CellState::On);
        // Only the parameter the click changed is touched: a host recording in Touch mode
        // leaves the automation of the other eleven alone.
        EXPECT_EQ(host.calls,
                  (std::vector{begin(kParamSoloA), set(kParamSoloA, 1.0f), end(kParamSoloA)}));
        EXPECT_EQ(instance.parameters().getParameter(kParamSoloA), 1.0f);
        EXPECT_EQ(room->floatValue(), 70.0f) << "the slider shows the plug-in's state";

        // A drag on the room whose release went to another window (which took the pointer):
        // the host hears the gesture end once the button is seen up, and nothing after.
        host.calls.clear();
        const auto [rx, ry] = pixel(room, 0.5, 0.5);
        dpf.mouse(kLeft, true, rx, ry, 0, 1000);
        dpf.motion(rx, pixel(room, 0.5, 0.3).second, 0);
        dpf.leftButtonState(false);
        dpf.leftButtonState(false);
        bridge.idle();
        ASSERT_GE(host.calls.size(), 3u);
        EXPECT_EQ(host.calls.front(), begin(kParamRoom));
        EXPECT_EQ(host.calls.back(), end(kParamRoom));
        for (size_t i = 1; i + 1 < host.calls.size(); ++i)
            EXPECT_TRUE(host.calls[i].what == "set" && host.calls[i].index == kParamRoom) << i;
        EXPECT_LT(instance.parameters().getParameter(kParamRoom), 50.0f);
        const size_t calls = host.calls.size();
        const auto [lx, ly] = pixel(room, 0.5, 0.1);
        dpf.motion(lx, ly, 0);
        dpf.mouse(kLeft, false, lx, ly, 0, 1100);
        bridge.idle();
        EXPECT_EQ(host.calls.size(), calls);
        EXPECT_EQ(editor->gestureSessions(), 0);

        // The window holds the editor's picture (its background, not the bare window colour)
        // at 1.5 times its size.
        const int width = static_cast<int>(view->frame().width() * scale);
        const int height = static_cast<int>(view->frame().height() * scale);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(surface);
        dpf.display(cr);
        const tk::Color& bg = tk::style::kWindowBackground;
        const auto byte = [](double c) { return static_cast<unsigned>(std::lround(c * 255)); };
        const unsigned bare = byte(bg.red) << 16 | byte(bg.green) << 8 | byte(bg.blue);
        EXPECT_NE(pixelAt(surface, 3, 3), bare);
        EXPECT_NE(pixelAt(surface, width - 3, height - 3), bare);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        dpf.close();
    }
    EXPECT_FALSE(instance.parameters().isAttached());
    fnd::RunLoop::main().runUntilIdle();
    zembra::joinStoppedGraphicsThreads();
}

} // namespace
