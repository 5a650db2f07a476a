// SPDX-License-Identifier: GPL-3.0-or-later
// Shared, palette-compressed pictures and the small set of expanded images they are drawn
// from.
#include "editor/CompactImage.h"

#include "platform/toolkit/Image.h"

#include <cairo.h>

#include <algorithm>
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

    int count() const { return mCount; }

  private:
    std::array<std::uint32_t, 1024> mKeys{};
    std::array<std::uint8_t, 1024> mValues{};
    std::array<bool, 1024> mUsed{};
    int mCount = 0;
};

// A pixel's step from its left neighbour (the first of a row: from the one above), in two
// bits: the same palette index, one up, one down, or spelled out in a byte of its own.
constexpr int kSpelled = 3;
constexpr int kStepOf[kSpelled] = {0, 1, -1};

// For each byte of steps that spells out none of its four pixels, their offsets in the
// palette from the pixel before them: four pixels then take one table look-up.
struct StepGroup {
    bool plain;
    std::array<std::uint8_t, 4> offset; // modulo 256, as the indices wrap
};
const std::array<StepGroup, 256> kStepGroups = [] {
    std::array<StepGroup, 256> groups{};
    for (int byte = 0; byte < 256; ++byte) {
        StepGroup& group = groups[byte];
        group.plain = true;
        int offset = 0;
        for (int j = 0; j < 4; ++j) {
            const int code = byte >> (2 * j) & 3;
            group.plain = group.plain && code != kSpelled;
            offset += code == kSpelled ? 0 : kStepOf[code];
            group.offset[j] = static_cast<std::uint8_t>(offset);
        }
    }
    return groups;
}();

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
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(picture->mWidth) *
                                      picture->mHeight);
    bool indexed = true;
    for (int y = 0; y < picture->mHeight && indexed; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
        std::uint8_t* out = indices.data() + std::size_t(y) * picture->mWidth;
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
    if (indexed)
        picture->encode(indices, builder.count());
    else
        picture->mFull = std::move(decoded);
    s.byPath[key] = picture;
    return picture;
}

void CompactImage::encode(const std::vector<std::uint8_t>& indices, int colours) {
    // Neighbouring shades of a gradient become neighbouring indices.
    std::array<std::uint8_t, 256> byValue{}, rank{};
    for (int i = 0; i < colours; ++i)
        byValue[i] = static_cast<std::uint8_t>(i);
    std::sort(byValue.begin(), byValue.begin() + colours,
              [&](std::uint8_t a, std::uint8_t b) { return mPalette[a] < mPalette[b]; });
    const std::array<std::uint32_t, 256> unsorted = mPalette;
    for (int i = 0; i < colours; ++i) {
        rank[byValue[i]] = static_cast<std::uint8_t>(i);
        mPalette[i] = unsorted[byValue[i]];
    }

    const std::size_t rowBytes = (std::size_t(mWidth) + 3) / 4;
    mSteps.assign(rowBytes * mHeight, 0);
    std::uint8_t above = 0;
    for (int y = 0; y < mHeight; ++y) {
        const std::uint8_t* in = indices.data() + std::size_t(y) * mWidth;
        std::uint8_t* out = mSteps.data() + y * rowBytes;
        std::uint8_t before = above;
        above = rank[in[0]];
        for (int x = 0; x < mWidth; ++x) {
            const std::uint8_t index = rank[in[x]];
            const int step = index - before;
            const int code = step == 0 ? 0 : step == 1 ? 1 : step == -1 ? 2 : kSpelled;
            if (code == kSpelled) mSpelled.push_back(index);
            out[x / 4] |= static_cast<std::uint8_t>(code << (2 * (x % 4)));
            before = index;
        }
    }
    mSpelled.shrink_to_fit();
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
    return mSteps.size() + mSpelled.size() + sizeof mPalette;
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
    const std::uint8_t* steps = mSteps.data();
    const std::uint8_t* spelled = mSpelled.data();
    const std::uint32_t* palette = mPalette.data();
    std::uint8_t above = 0;
    for (int y = 0; y < mHeight && mWidth > 0; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * stride);
        std::uint8_t index = above;
        // The next row starts from this one's first pixel.
        const int first = *steps & 3;
        above = first == kSpelled ? *spelled : static_cast<std::uint8_t>(above + kStepOf[first]);
        const auto step = [&](int code) { // one pixel, the slow way
            index = code == kSpelled ? *spelled++ : static_cast<std::uint8_t>(index + kStepOf[code]);
            return palette[index];
        };
        int x = 0;
        for (; x + 4 <= mWidth; x += 4, ++steps) {
            const StepGroup& group = kStepGroups[*steps];
            if (group.plain) {
                row[x] = palette[static_cast<std::uint8_t>(index + group.offset[0])];
                row[x + 1] = palette[static_cast<std::uint8_t>(index + group.offset[1])];
                row[x + 2] = palette[static_cast<std::uint8_t>(index + group.offset[2])];
                row[x + 3] = palette[static_cast<std::uint8_t>(index + group.offset[3])];
                index = static_cast<std::uint8_t>(index + group.offset[3]);
            } else {
                for (int j = 0; j < 4; ++j)
                    row[x + j] = step(*steps >> (2 * j) & 3);
            }
        }
        if (x < mWidth) {
            for (int j = 0; x + j < mWidth; ++j)
                row[x + j] = step(*steps >> (2 * j) & 3);
            ++steps;
        }
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
