// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's pictures: the generated frames are held at one byte per pixel and draw
// exactly as their PNG files do; one copy per file in the process, released with its last
// holder.
#include "editor/CompactImage.h"

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Image.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using zembra::CompactImage;

namespace {

const fs::path kResources = ZEMBRA_RESOURCE_DIR;

// The bytes of `image` drawn over a grey ground, as the editor composites it.
std::vector<unsigned char> drawn(const tk::Image& image, double opacity) {
    const tk::Size size = image.size();
    auto target = tk::Image::draw(size, 1.0, [&](tk::GraphicsContext& g) {
        g.setColor(tk::Color::calibratedWhite(0.4));
        g.fillRect({0, 0, size.width, size.height});
        g.drawImage(image, {0, 0}, tk::CompositingOperation::SourceOver, opacity);
    });
    cairo_surface_t* s = target->surface();
    cairo_surface_flush(s);
    const auto* data = cairo_image_surface_get_data(s);
    return {data, data + std::size_t(cairo_image_surface_get_stride(s)) *
                             cairo_image_surface_get_height(s)};
}

TEST(CompactImage, GeneratedFramesAreOneBytePerPixelAndDrawExactlyAsTheirFiles) {
    for (const char* name : {"bg-1.png", "bg-77.png", "128.png"}) {
        const fs::path file = kResources / name;
        auto compact = CompactImage::load(file);
        ASSERT_TRUE(compact) << file;
        auto original = tk::Image::fromPNG(file);
        ASSERT_TRUE(original);
        EXPECT_TRUE(compact->isIndexed()) << name;
        EXPECT_EQ(compact->size(), original->size());
        EXPECT_LE(compact->pixelBytes(),
                  std::size_t(compact->size().width * compact->size().height) + 1024);
        for (double opacity : {1.0, 0.37})
            EXPECT_EQ(drawn(*compact->image(), opacity), drawn(*original, opacity)) << name;
    }
}

TEST(CompactImage, OneCopyPerFileWhileHeldAndExpansionsStayCorrectWhenReused) {
    const std::size_t before = CompactImage::liveCount();
    std::vector<std::shared_ptr<const CompactImage>> frames;
    for (int n = 1; n <= 8; ++n)
        frames.push_back(CompactImage::load(kResources / ("bg-" + std::to_string(n) + ".png")));
    EXPECT_EQ(CompactImage::load(kResources / "bg-3.png"), frames[2]);
    EXPECT_EQ(CompactImage::liveCount(), before + 8);
    // More frames than expanded images are kept: every draw still shows its own frame.
    for (int round = 0; round < 2; ++round)
        for (int n = 0; n < 8; ++n) {
            auto original =
                tk::Image::fromPNG(kResources / ("bg-" + std::to_string(n + 1) + ".png"));
            EXPECT_EQ(drawn(*frames[n]->image(), 1.0), drawn(*original, 1.0)) << n;
        }
    frames.clear();
    EXPECT_EQ(CompactImage::liveCount(), before);
    std::string error;
    EXPECT_FALSE(CompactImage::load(kResources / "no-such.png", &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
