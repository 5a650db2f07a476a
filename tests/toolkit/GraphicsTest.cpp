// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing on real pixels: the one y flip, HiDPI, compositing, images placed, faded and
// stretched, shadows, saved state, runaway geometry, and text. (PNG files are read and
// written by the controls' tests, which make their pictures that way.)
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Image.h"

#include "Pictures.h"
#include "ToolkitTestViews.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <limits>

using namespace tk;

namespace {

struct Scene {
    Scene(Size size, double scale, std::function<void(GraphicsContext&)> paint,
          Color bg = Color::calibratedWhite(0.2))
        : window(size, scale, bg) {
        window.setContentView(
            std::make_shared<tk_test::Canvas>(Rect{{0, 0}, size}, std::move(paint)));
        window.render();
    }
    HeadlessWindow window;
};

void expectColor(const Color& c, double r, double g, double b, double tol = 0.012) {
    EXPECT_NEAR(c.red, r, tol);
    EXPECT_NEAR(c.green, g, tol);
    EXPECT_NEAR(c.blue, b, tol);
}

// Draws a centred, tail-truncated white title into `frame`; where its line was laid out.
Rect drawTitle(HeadlessWindow& w, const std::string& text, const Rect& frame) {
    TextAttributes a;
    a.foreground = Color::calibratedWhite(1.0);
    a.paragraph = {TextAlignment::Center, LineBreakMode::TruncateTail};
    const AttributedString title(text, a);
    Rect laidOut;
    w.setContentView(std::make_shared<tk_test::Canvas>(
        Rect{{0, 0}, w.size()}, [&](GraphicsContext& g) { laidOut = g.drawText(title, frame); }));
    w.render();
    return laidOut;
}

} // namespace

// A red square at the origin, grey added by plus-lighter, half-transparent blue copied over.
TEST(Graphics, OriginIsLowerLeftAtAnyScaleAndPlusLighterAddsWhereCopyReplaces) {
    for (double scale : {1.0, 2.0}) {
        Scene s({40, 30}, scale, [](GraphicsContext& g) {
            g.setColor(Color::calibratedRGBA(1, 0, 0));
            g.fillRect({0, 0, 10, 10});
            g.setColor(Color::calibratedWhite(0.3, 1.0));
            g.setCompositingOperation(CompositingOperation::PlusLighter);
            g.fillRect({10, 0, 10, 10});
            g.setColor(Color::calibratedRGBA(0, 0, 1, 0.5));
            g.setCompositingOperation(CompositingOperation::Copy);
            g.fillRect({20, 0, 10, 10});
        });
        EXPECT_EQ(cairo_image_surface_get_width(s.window.surface()), static_cast<int>(40 * scale));
        expectColor(s.window.pixel({5, 5}), 1, 0, 0);        // bottom left
        expectColor(s.window.pixel({5, 25}), 0.2, 0.2, 0.2); // top left untouched
        expectColor(s.window.pixel({15, 5}), 0.5, 0.5, 0.5); // 0.2 beneath + 0.3
        expectColor(s.window.pixel({25, 5}), 0, 0, 1);
        EXPECT_NEAR(s.window.pixel({25, 5}).alpha, 0.5, 0.01); // nothing of the grey beneath
    }
}

TEST(Graphics, AnImageKeepsItsOrientationTakesAnOpacityAndStretchesToARectangle) {
    // 4x4: top half red, bottom half green, in its own y-up drawing.
    auto img = Image::draw({4, 4}, 1.0, [](GraphicsContext& g) {
        g.setColor(Color::calibratedRGBA(0, 1, 0));
        g.fillRect({0, 0, 4, 2});
        g.setColor(Color::calibratedRGBA(1, 0, 0));
        g.fillRect({0, 2, 4, 2});
    });
    Scene s(
        {20, 20}, 2.0,
        [&](GraphicsContext& g) {
            g.drawImage(*img, {10, 10}, CompositingOperation::SourceOver, 1.0);
            g.drawImage(*img, {2, 2}, CompositingOperation::SourceOver, 0.5);
            g.drawImage(*img, {14, 2}, CompositingOperation::Copy, 1.0);
            g.drawImage(*img, Rect{0, 10, 8, 8}, CompositingOperation::SourceOver, 1.0);
        },
        Color::calibratedWhite(0.0));
    expectColor(s.window.pixel({11, 13}), 1, 0, 0); // top row of the image at the top
    expectColor(s.window.pixel({11, 11}), 0, 1, 0);
    expectColor(s.window.pixel({3, 5}), 0.5, 0, 0, 0.02);
    expectColor(s.window.pixel({15, 3}), 0, 1, 0);
    // Stretched: the image's halves each cover half of the larger rectangle.
    expectColor(s.window.pixel({4, 16}), 1, 0, 0);
    expectColor(s.window.pixel({4, 12}), 0, 1, 0);
    expectColor(s.window.pixel({9, 16}), 0, 0, 0); // and nothing beyond it
}

// A shadow set inside saved state ends with it, as do the operation, line width and colour.
TEST(Graphics, ShadowIsBlurredOffsetCachedAndEndsWithTheSavedState) {
    const Shadow shadow{{6.0, -6.0}, 6.0, Color::calibratedRGBA(1, 1, 1, 1)};
    Scene s(
        {80, 80}, 1.0,
        [&](GraphicsContext& g) {
            g.setColor(Color::calibratedRGBA(0, 0, 1));
            g.saveGraphicsState();
            g.setShadow(shadow);
            g.setCompositingOperation(CompositingOperation::PlusLighter);
            g.setLineWidth(3);
            g.setColor(Color::calibratedRGBA(1, 0, 0));
            g.fillEllipse({20, 30, 20, 20});
            g.restoreGraphicsState();
            g.restoreGraphicsState(); // unbalanced: ignored
            EXPECT_EQ(g.compositingOperation(), CompositingOperation::SourceOver);
            EXPECT_EQ(g.lineWidth(), 1.0);
            EXPECT_FALSE(g.shadow().has_value());
            g.fillRect({0, 10, 4, 4});
        },
        Color::calibratedWhite(0.0));
    // The shadow, centred at (36, 34), fades softly across its edge (radius 10) beside the shape.
    expectColor(s.window.pixel({30, 40}), 1, 0, 0);
    EXPECT_GT(s.window.pixel({39.5, 30.5}).green, 0.8); // 5 inside the edge
    const double edge = s.window.pixel({43.1, 26.9}).green;
    EXPECT_GT(edge, 0.3);
    EXPECT_LT(edge, 0.7);
    expectColor(s.window.pixel({2, 12}), 0, 0, 1); // the colour from before the save
    expectColor(s.window.pixel({8, 6}), 0, 0, 0);  // and no shadow where it would fall

    const size_t hits = s.window.shadowCache().hits();
    s.window.contentView()->setNeedsDisplay();
    s.window.render();
    EXPECT_EQ(s.window.shadowCache().hits(), hits + 1);
    EXPECT_EQ(s.window.shadowCache().size(), 1u);
}

TEST(Graphics, DegenerateAndRunawayGeometryDrawsNothingAndKeepsTheContextUsable) {
    Scene s({20, 20}, 1.0, [](GraphicsContext& g) {
        g.setShadow(Shadow{{2, -2}, 4, Color::calibratedWhite(1)});
        g.setColor(Color::calibratedRGBA(1, 0, 0));
        g.fillEllipse({5, 5, 0, 10});
        g.fillEllipse({0, 0, std::numeric_limits<double>::infinity(), 10});
        g.fillEllipse({-1e9, -1e9, 2e9, 2e9}); // huge: the shadow mask stays window-sized
        g.setShadow(std::nullopt);
        g.setCompositingOperation(CompositingOperation::Copy);
        g.setColor(Color::calibratedRGBA(0, 1, 0));
        g.fillRect({0, 0, 5, 5});
    });
    expectColor(s.window.pixel({2, 2}), 0, 1, 0);
}

TEST(Text, TitlesAreCentredAndTooLongOnesTruncatedAtTheTailInsideTheirFrame) {
    using testing_support::differences;
    HeadlessWindow w({120, 40}, 2.0, Color::calibratedWhite(0));
    const auto blank = testing_support::picture(w);
    drawTitle(w, "Solo", {10, 5, 100, 30});
    const Rect ink = differences(w, blank, testing_support::pixelsOf(w.surface()));
    EXPECT_NEAR(ink.midX(), 60.0, 1.0);
    EXPECT_NEAR(ink.midY(), 20.0, 2.0); // found at all: the white ink shows on black

    const Rect frame{20, 5, 60, 30};
    const Rect line = drawTitle(w, "A title that is much too long for its button", frame);
    EXPECT_LE(line.width(), frame.width() + 0.5);
    const Rect longInk = differences(w, blank, testing_support::pixelsOf(w.surface()));
    EXPECT_EQ(frame.unionWith(longInk), frame);  // nothing drawn outside it
    EXPECT_GT(longInk.maxX(), frame.maxX() - 8); // the ellipsis at the tail
}
