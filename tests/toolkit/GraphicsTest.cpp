// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing on real pixels: the one y flip, HiDPI, compositing, images placed, faded,
// stretched and read from PNG files, shadows, saved state, runaway geometry, and text.
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Image.h"

#include "TestDirectory.h"
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

// Draws a centred, tail-truncated white title into `frame` and returns its one text op.
DrawOp drawTitle(HeadlessWindow& w, const std::string& text, const Rect& frame) {
    TextAttributes a;
    a.foreground = Color::calibratedWhite(1.0);
    a.paragraph = {TextAlignment::Center, LineBreakMode::TruncateTail};
    const AttributedString title(text, a);
    w.setContentView(std::make_shared<tk_test::Canvas>(
        Rect{{0, 0}, w.size()}, [=](GraphicsContext& g) { g.drawText(title, frame); }));
    w.render();
    const auto ops = w.recorder().ofKind(DrawOp::Kind::Text);
    EXPECT_EQ(ops.size(), 1u);
    return ops.at(0);
}

} // namespace

TEST(Graphics, OriginIsLowerLeftAtAnyScale) {
    for (double scale : {1.0, 2.0}) {
        Scene s({40, 30}, scale, [](GraphicsContext& g) {
            g.setColor(Color::calibratedRGBA(1, 0, 0));
            g.fillRect({0, 0, 10, 10});
        });
        EXPECT_EQ(cairo_image_surface_get_width(s.window.surface()), static_cast<int>(40 * scale));
        expectColor(s.window.pixel({5, 5}), 1, 0, 0);        // bottom left
        expectColor(s.window.pixel({5, 25}), 0.2, 0.2, 0.2); // top left untouched
        expectColor(s.window.pixel({15, 5}), 0.2, 0.2, 0.2);
    }
}

TEST(Graphics, PlusLighterAddsAndCopyReplaces) {
    Scene s({20, 10}, 1.0, [](GraphicsContext& g) {
        g.setColor(Color::calibratedWhite(0.3, 1.0));
        g.setCompositingOperation(CompositingOperation::PlusLighter);
        g.fillRect({0, 0, 10, 10});
        g.setCompositingOperation(CompositingOperation::Copy);
        g.setColor(Color::calibratedRGBA(0, 0, 1, 1));
        g.fillRect({10, 0, 10, 10});
    });
    expectColor(s.window.pixel({5, 5}), 0.5, 0.5, 0.5); // 0.2 beneath + 0.3
    expectColor(s.window.pixel({15, 5}), 0, 0, 1);
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
    // Walking from the shadow's centre (36, 34) to the lower right beyond the shape, the
    // shadow fades softly across its edge (radius 10).
    expectColor(s.window.pixel({30, 40}), 1, 0, 0);
    const double inside = s.window.pixel({39.5, 30.5}).green;  // 5 inside the edge
    const double edge = s.window.pixel({43.1, 26.9}).green;    // on it
    const double outside = s.window.pixel({46.6, 23.4}).green; // 5 beyond it
    EXPECT_GT(inside, 0.8);
    EXPECT_GT(edge, 0.3);
    EXPECT_LT(edge, 0.7);
    EXPECT_GT(outside, 0.005);
    EXPECT_LT(outside, 0.2);
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

TEST(Images, PngRoundTripKeepsTheSizeAndFailuresNameTheFile) {
    const testing_support::TestDirectory dir;
    auto img = Image::draw({7, 5}, 1.0, [](GraphicsContext& g) {
        g.setColor(Color::calibratedRGBA(0, 0, 1));
        g.fillRect({0, 0, 7, 5});
    });
    ASSERT_TRUE(img->writePNG(dir / "a.png"));
    std::string error;
    auto back = Image::fromPNG(dir / "a.png", &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->size(), (Size{7, 5}));

    testing_support::writeFile(dir / "junk.png", "not a png");
    for (const char* name : {"none.png", "junk.png"}) {
        error.clear();
        EXPECT_EQ(Image::fromPNG(dir / name, &error), nullptr);
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_EQ(Image::fromPNG(dir.path(), &error), nullptr); // a directory
}

TEST(Text, ShortTitleIsCentredAndWhole) {
    HeadlessWindow w({120, 40}, 1.0, Color::calibratedWhite(0));
    const DrawOp op = drawTitle(w, "Solo", {10, 5, 100, 30});
    EXPECT_FALSE(op.truncated);
    EXPECT_NEAR(op.textBounds.midX(), 60.0, 1.0);
    EXPECT_NEAR(op.textBounds.midY(), 20.0, 1.0);
    // Ink is there, in white, around the middle.
    double ink = 0;
    for (double x = 40; x < 80; x += 1)
        ink = std::max(ink, w.pixel({x, 20}).red);
    EXPECT_GT(ink, 0.8);
}

TEST(Text, LongTitleIsTruncatedAtTheTailInsideItsFrame) {
    const Rect frame{20, 5, 60, 30};
    HeadlessWindow w({100, 40}, 2.0, Color::calibratedWhite(0));
    const DrawOp op = drawTitle(w, "A title that is much too long for its button", frame);
    EXPECT_TRUE(op.truncated);
    EXPECT_LE(op.textBounds.width(), frame.width() + 0.5);
    // Nothing is drawn outside the frame.
    for (double y = 0.25; y < 40; y += 0.5) {
        for (double x = 0.25; x < 100; x += 0.5) {
            if (frame.contains({x, y})) continue;
            ASSERT_LT(w.pixel({x, y}).red, 0.02) << x << "," << y;
        }
    }
}
