// SPDX-License-Identifier: GPL-3.0-or-later
// Images from PNG files (and their failures) and pango text: centring and tail truncation
// checked on the recorded layout and on the pixels.
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Image.h"

#include "TestDirectory.h"
#include "ToolkitTestViews.h"

#include <gtest/gtest.h>

using namespace tk;

namespace {

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
