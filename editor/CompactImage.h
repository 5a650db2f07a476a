// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures an editor keeps for its whole life, above all the 130 background frames. Each file
// is held once per process however many editors are open, and stored compactly: a picture
// of at most 256 distinct pixels as one byte per pixel and a palette. It is drawn from the
// very pixels the PNG decodes to, so it looks exactly as the PNG drawn directly would.
#pragma once

#include "platform/toolkit/Geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tk {
class Image;
}

namespace zembra {

class CompactImage {
  public:
    // The picture in `path`, shared with every other holder of the same file: decoded for
    // the first, released with the last. Null when the file is missing or not a PNG, with
    // `error` set.
    static std::shared_ptr<const CompactImage> load(const std::filesystem::path& path,
                                                    std::string* error = nullptr);
    ~CompactImage();
    CompactImage(const CompactImage&) = delete;
    CompactImage& operator=(const CompactImage&) = delete;

    tk::Size size() const { return {double(mWidth), double(mHeight)}; }
    bool isIndexed() const { return !mFull; }
    // Bytes held for the pixels.
    std::size_t pixelBytes() const;

    // The picture for drawing, pixel for pixel what the PNG decodes to. An indexed picture
    // is expanded into one of a few images that the process reuses from draw to draw, so
    // hold the result only while drawing.
    std::shared_ptr<tk::Image> image() const;

    // Distinct pictures held in the process.
    static std::size_t liveCount();

  private:
    CompactImage() = default;
    void expandInto(tk::Image& target) const;

    int mWidth = 0;
    int mHeight = 0;
    bool mOpaqueFormat = false; // decoded without alpha: every pixel is opaque
    std::vector<std::uint8_t> mIndices;
    std::array<std::uint32_t, 256> mPalette{};
    std::shared_ptr<tk::Image> mFull; // pictures of more than 256 distinct pixels
};

} // namespace zembra
