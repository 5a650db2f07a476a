// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's pictures are held at about two bits a pixel and draw exactly as their PNG
// files do, one copy per file in the process, released with its last holder.
#include "editor/CompactImage.h"

#include "Pictures.h"

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Image.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using zembra::CompactImage;

namespace {

// The bytes of `image` drawn over a grey ground, as the editor composites it.
testing_support::Picture drawn(const tk::Image& image, double opacity) {
    const tk::Size size = image.size();
    return testing_support::pixelsOf(
        tk::Image::draw(size, 1.0, [&](tk::GraphicsContext& g) {
            g.setColor(tk::Color::calibratedWhite(0.4));
            g.fillRect({0, 0, size.width, size.height});
            g.drawImage(image, {0, 0}, tk::CompositingOperation::SourceOver, opacity);
        })->surface());
}

// More frames than expanded images are kept, drawn twice over: each draw shows its own frame.
TEST(CompactImage, AboutTwoBitsAPixelOneCopyPerFileAndEveryDrawExactlyAsTheFile) {
    const fs::path resources = ZEMBRA_RESOURCE_DIR;
    const std::size_t before = CompactImage::liveCount();
    std::vector<std::string> names = {"128.png", "bg-77.png"};
    for (int n = 1; n <= 8; ++n)
        names.push_back("bg-" + std::to_string(n) + ".png");
    std::vector<std::shared_ptr<const CompactImage>> held;
    for (const auto& name : names) {
        held.push_back(CompactImage::load(resources / name));
        ASSERT_TRUE(held.back()) << name;
        EXPECT_TRUE(held.back()->isIndexed()) << name;
        const tk::Size size = held.back()->size();
        EXPECT_LE(held.back()->pixelBytes(), std::size_t(size.width * size.height) / 3);
    }
    EXPECT_EQ(CompactImage::load(resources / "bg-3.png"), held[4]);
    EXPECT_EQ(CompactImage::liveCount(), before + names.size());
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto original = tk::Image::fromPNG(resources / names[i]);
            ASSERT_TRUE(original);
            EXPECT_EQ(held[i]->size(), original->size());
            for (double opacity : {1.0, 0.37})
                EXPECT_EQ(drawn(*held[i]->image(), opacity), drawn(*original, opacity)) << names[i];
        }
    held.clear();
    EXPECT_EQ(CompactImage::liveCount(), before);
    std::string error;
    EXPECT_FALSE(CompactImage::load(resources / "no-such.png", &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
