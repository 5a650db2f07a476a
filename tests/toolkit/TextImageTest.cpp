// SPDX-License-Identifier: GPL-3.0-or-later
// Images from PNG files (and their failures) and pango text: centring and tail truncation
// checked on the recorded layout and on the pixels.
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Image.h"

#include "TestDirectory.h"

#include <gtest/gtest.h>

using namespace tk;

namespace {

class TextView : public View {
  public:
    TextView(const Rect& r, AttributedString s, Rect frame)
        : View(r), s_(std::move(s)), frame_(frame) {}
    void drawRect(GraphicsContext& g, const Rect&) override { g.drawText(s_, frame_); }

  private:
    AttributedString s_;
    Rect frame_;
};

AttributedString title(const std::string& text) {
    TextAttributes a;
    a.foreground = Color::calibratedWhite(1.0);
    a.paragraph = {TextAlignment::Center, LineBreakMode::TruncateTail};
    return AttributedString(text, a);
}

} // namespace

TEST(Images, PngRoundTripKeepsSizeAndPixels) {
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
}

TEST(Images, MissingOrBrokenFilesAreReportedToTheCaller) {
    const testing_support::TestDirectory dir;
    std::string error;
    EXPECT_EQ(Image::fromPNG(dir / "none.png", &error), nullptr);
    EXPECT_NE(error.find("none.png"), std::string::npos);
    testing_support::writeFile(dir / "junk.png", "not a png");
    error.clear();
    EXPECT_EQ(Image::fromPNG(dir / "junk.png", &error), nullptr);
    EXPECT_NE(error.find("junk.png"), std::string::npos);
    EXPECT_EQ(Image::fromPNG(dir.path(), &error), nullptr); // a directory
}

TEST(Text, ShortTitleIsCentredAndWhole) {
    HeadlessWindow w({120, 40}, 1.0, Color::calibratedWhite(0));
    w.setContentView(
        std::make_shared<TextView>(Rect{0, 0, 120, 40}, title("Solo"), Rect{10, 5, 100, 30}));
    w.render();
    const auto ops = w.recorder().ofKind(DrawOp::Kind::Text);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_FALSE(ops[0].truncated);
    EXPECT_NEAR(ops[0].textBounds.midX(), 60.0, 1.0);
    EXPECT_NEAR(ops[0].textBounds.midY(), 20.0, 1.0);
    // Ink is there, in white, around the middle.
    double ink = 0;
    for (double x = 40; x < 80; x += 1)
        ink = std::max(ink, w.pixel({x, 20}).red);
    EXPECT_GT(ink, 0.8);
}

TEST(Text, LongTitleIsTruncatedAtTheTailInsideItsFrame) {
    const Rect frame{20, 5, 60, 30};
    HeadlessWindow w({100, 40}, 2.0, Color::calibratedWhite(0));
    w.setContentView(std::make_shared<TextView>(
        Rect{0, 0, 100, 40}, title("A title that is much too long for its button"), frame));
    w.render();
    const auto ops = w.recorder().ofKind(DrawOp::Kind::Text);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_TRUE(ops[0].truncated);
    EXPECT_LE(ops[0].textBounds.width(), frame.width() + 0.5);
    // Nothing is drawn outside the frame.
    for (double y = 0.25; y < 40; y += 0.5) {
        for (double x = 0.25; x < 100; x += 0.5) {
            if (frame.contains({x, y})) continue;
            ASSERT_LT(w.pixel({x, y}).red, 0.02) << x << "," << y;
        }
    }
    EXPECT_GT(measureText(title("A title that is much too long for its button")).width,
              frame.width());
}
