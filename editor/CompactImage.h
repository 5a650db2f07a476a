// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures an editor keeps for its whole life, above all the 130 background frames. Each file
// is held once per process however many editors are open, and stored compactly: a picture
// of at most 256 distinct pixels as a palette in the order of the colours' values, and for
// each pixel the step in the palette from its left neighbour, in two bits when it is 0, +1
// or -1 (as almost everywhere in a soft gradient), else spelt out in a byte of its own.
// The background's frames take about two bits a pixel. A picture is drawn from the very
// pixels the PNG decodes to, so it looks exactly as the PNG drawn directly would.
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
    // Keeps a picture given as palette indices (colours of mPalette), `colours` of them.
    void encode(const std::vector<std::uint8_t>& indices, int colours);
    void expandInto(tk::Image& target) const;

    int mWidth = 0;
    int mHeight = 0;
    bool mOpaqueFormat = false; // decoded without alpha: every pixel is opaque
    std::vector<std::uint8_t> mSteps;    // four pixels a byte, each row from a new byte
    std::vector<std::uint8_t> mSpelled;  // the palette indices of the pixels stepped further
    std::array<std::uint32_t, 256> mPalette{};
    std::shared_ptr<tk::Image> mFull; // pictures of more than 256 distinct pixels
};

} // namespace zembra
