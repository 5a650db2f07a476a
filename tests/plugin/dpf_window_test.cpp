// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit window behind DPF's UI with the real editor in it, scaled, bound to a
// registered instance: clicked and typed into as a user would (DPF's pixels, y down, reaching
// views as points, y up; keys and text), and drawn through a host's cairo context.
#include "DpfWindow.h"
#include "HostParameters.h"
#include "HostRecorder.h"
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
#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using namespace zembra::plugin::test;

namespace {

constexpr unsigned kLeft = DpfWindow::kLeftButton;

// The colour at pixel (x, y) of an image surface, as 0xRRGGBB.
unsigned pixelAt(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row =
        cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFFu;
}

TEST(EditorInDpfWindow, ShowsTheEditorScaledAndAClickAndTypingReachTheHostAsGestures) {
    const testing_support::TestDirectory config;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, ZEMBRA_RESOURCE_DIR);

    int pluginObject = 0;
    RegisteredInstance instance(&pluginObject);
    instance.parameters().pluginValueStored(kParamRoom, 70.0f); // the plug-in's state
    HostRecorder host;
    {
        UiBridge bridge(instance.sharedParameters(), host, [&] { return true; });
        auto view = zembra_CocoaViewFactory().uiViewForAudioUnit(instance.unit(), {1, 1});
        ASSERT_NE(view, nullptr);
        const double scale = 1.5;
        DpfWindow dpf(view->frame().size, scale, [] {});
        dpf.setContentView(view);
        bridge.idle(); // the editor's listener shows every value
        EXPECT_TRUE(host.calls().empty()) << "binding writes nothing new to the host";

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
        EXPECT_FALSE(dpf.mouse(3, true, sx, sy, 0, 50)) << "only the left button presses";
        dpf.mouse(kLeft, true, sx, sy, 0, 100);
        dpf.mouse(kLeft, false, sx, sy, 0, 150);
        bridge.idle();
        EXPECT_EQ(solo->state(), tk::CellState::On);
        // Only the parameter the click changed is touched: a host recording in Touch mode
        // leaves the automation of the other eleven alone.
        EXPECT_EQ(host.calls(),
                  (Calls{begin(kParamSoloA), set(kParamSoloA, 1.0f), end(kParamSoloA)}));
        EXPECT_EQ(instance.parameters().getParameter(kParamSoloA), 1.0f);
        EXPECT_EQ(room->floatValue(), 70.0f) << "the slider shows the plug-in's state";

        // Keys that type no text come as keys, digits as text; Return sets the value.
        host.clear();
        const auto [fx, fy] = pixel(editor->outlet("uiRoomTextField"), 0.5, 0.5);
        dpf.mouse(kLeft, true, fx, fy, 0, 1000);
        dpf.mouse(kLeft, false, fx, fy, 0, 1050);
        dpf.keyboard(true, DpfWindow::kDpfEnd, 0);
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(dpf.keyboard(true, DpfWindow::kDpfBackspace, 0));
        EXPECT_FALSE(dpf.keyboard(true, '3', 0)) << "left to the text that follows";
        for (const char* typed : {"3", "7", ".", "9"})
            EXPECT_TRUE(dpf.characterInput(typed, 0));
        EXPECT_TRUE(dpf.keyboard(true, DpfWindow::kDpfReturn, 0));
        EXPECT_FALSE(dpf.characterInput("\r", 0)) << "Return came as a key already";
        bridge.idle();
        EXPECT_EQ(host.calls(), (Calls{set(kParamRoom, 37.9f)}));

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
        EXPECT_FALSE(dpf.mouse(kLeft, true, sx, sy, 0, 2000)) << "a closed window took a press";
    }
    EXPECT_FALSE(instance.parameters().isAttached());
    fnd::RunLoop::main().runUntilIdle();
    zembra::joinStoppedGraphicsThreads();
}

} // namespace
