// SPDX-License-Identifier: GPL-3.0-or-later
// Shared, palette-compressed pictures and the small set of expanded images they are drawn
// from.
#include "editor/CompactImage.h"

#include "platform/toolkit/Image.h"

#include <cairo.h>

#include <cstring>
#include <list>
#include <map>
#include <mutex>

namespace zembra {

namespace {

// Two frames per editor are drawn at each tick; a few more let a second editor animate at
// another phase without expanding again.
constexpr std::size_t kExpandedImagesKept = 4;

struct Expanded {
    const CompactImage* owner;
    std::shared_ptr<tk::Image> image;
};

struct Store {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<const CompactImage>> byPath;
    std::list<Expanded> expanded; // most recently drawn first
};

// Never destroyed: pictures may be released during static destruction.
Store& store() {
    static auto* s = new Store;
    return *s;
}

// Open addressing over 1024 slots: a palette of at most 256 colours stays under a quarter
// full, so probes are short.
class PaletteBuilder {
  public:
    // The colour's index, or -1 once more than 256 colours have been seen.
    int indexOf(std::uint32_t colour, std::array<std::uint32_t, 256>& palette) {
        std::uint32_t h = (colour * 2654435761u) >> 22;
        while (true) {
            if (mKeys[h] == colour && mUsed[h]) return mValues[h];
            if (!mUsed[h]) {
                if (mCount == 256) return -1;
                mUsed[h] = true;
                mKeys[h] = colour;
                mValues[h] = static_cast<std::uint8_t>(mCount);
                palette[mCount] = colour;
                return mCount++;
            }
            h = (h + 1) & 1023u;
        }
    }

  private:
    std::array<std::uint32_t, 1024> mKeys{};
    std::array<std::uint8_t, 1024> mValues{};
    std::array<bool, 1024> mUsed{};
    int mCount = 0;
};

} // namespace

std::shared_ptr<const CompactImage> CompactImage::load(const std::filesystem::path& path,
                                                       std::string* error) {
    const std::string key = std::filesystem::absolute(path).lexically_normal().string();
    auto& s = store();
    std::lock_guard lock(s.mutex);
    if (auto it = s.byPath.find(key); it != s.byPath.end()) {
        if (auto held = it->second.lock()) return held;
        s.byPath.erase(it);
    }

    auto decoded = tk::Image::fromPNG(path, error);
    if (!decoded) return nullptr;
    cairo_surface_t* surface = decoded->surface();
    cairo_surface_flush(surface);
    std::shared_ptr<CompactImage> picture(new CompactImage);
    picture->mWidth = cairo_image_surface_get_width(surface);
    picture->mHeight = cairo_image_surface_get_height(surface);
    picture->mOpaqueFormat = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);

    PaletteBuilder builder;
    picture->mIndices.resize(static_cast<std::size_t>(picture->mWidth) * picture->mHeight);
    bool indexed = true;
    for (int y = 0; y < picture->mHeight && indexed; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
        std::uint8_t* out = picture->mIndices.data() + std::size_t(y) * picture->mWidth;
        for (int x = 0; x < picture->mWidth; ++x) {
            // The unused byte of an opaque format says nothing; drawn, it is opaque.
            const std::uint32_t px = picture->mOpaqueFormat ? (row[x] | 0xff000000u) : row[x];
            const int i = builder.indexOf(px, picture->mPalette);
            if (i < 0) {
                indexed = false;
                break;
            }
            out[x] = static_cast<std::uint8_t>(i);
        }
    }
    if (!indexed) {
        picture->mIndices.clear();
        picture->mIndices.shrink_to_fit();
        picture->mFull = std::move(decoded);
    }
    s.byPath[key] = picture;
    return picture;
}

CompactImage::~CompactImage() {
    std::list<Expanded> dropped; // released after the lock
    auto& s = store();
    std::lock_guard lock(s.mutex);
    for (auto it = s.expanded.begin(); it != s.expanded.end();) {
        auto next = std::next(it);
        if (it->owner == this) dropped.splice(dropped.end(), s.expanded, it);
        it = next;
    }
}

std::size_t CompactImage::pixelBytes() const {
    if (mFull) {
        cairo_surface_t* surface = mFull->surface();
        return std::size_t(cairo_image_surface_get_stride(surface)) *
               cairo_image_surface_get_height(surface);
    }
    return mIndices.size() + sizeof mPalette;
}

std::size_t CompactImage::liveCount() {
    auto& s = store();
    std::lock_guard lock(s.mutex);
    std::size_t n = 0;
    for (auto& [key, weak] : s.byPath)
        n += weak.expired() ? 0 : 1;
    return n;
}

void CompactImage::expandInto(tk::Image& target) const {
    cairo_surface_t* surface = target.surface();
    cairo_surface_flush(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < mHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * stride);
        const std::uint8_t* in = mIndices.data() + std::size_t(y) * mWidth;
        for (int x = 0; x < mWidth; ++x)
            row[x] = mPalette[in[x]];
    }
    cairo_surface_mark_dirty(surface);
}

std::shared_ptr<tk::Image> CompactImage::image() const {
    if (mFull) return mFull;
    auto& s = store();
    std::lock_guard lock(s.mutex);
    for (auto it = s.expanded.begin(); it != s.expanded.end(); ++it) {
        if (it->owner != this) continue;
        s.expanded.splice(s.expanded.begin(), s.expanded, it);
        return it->image;
    }
    // Reuse the least recently drawn image when it is free and of this size.
    std::shared_ptr<tk::Image> target;
    if (s.expanded.size() >= kExpandedImagesKept) {
        Expanded& last = s.expanded.back();
        if (last.image.use_count() == 1 && last.image->size().width == mWidth &&
            last.image->size().height == mHeight)
            target = std::move(last.image);
        s.expanded.pop_back();
    }
    if (!target) target = tk::Image::draw(size(), 1.0, [](tk::GraphicsContext&) {});
    expandInto(*target);
    s.expanded.push_front({this, target});
    return target;
}

} // namespace zembra
