// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for the drawing tests: solid-coloured PNG files to load, and what a headless window
// drew, to compare two renderings exactly and to find where they differ.
#pragma once

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/Image.h"

#include <cairo.h>

#include <algorithm>
#include <vector>

namespace testing_support {

using Picture = std::vector<unsigned char>;

inline void writeSolidPNG(const std::filesystem::path& file, tk::Size size, tk::Color colour) {
    tk::Image::draw(size, 1.0, [&](tk::GraphicsContext& g) {
        g.setColor(colour);
        g.fillRect({0, 0, size.width, size.height});
    })->writePNG(file);
}

inline Picture pixelsOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return {data, data + static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) *
                             static_cast<std::size_t>(cairo_image_surface_get_height(surface))};
}

// Renders the window now and returns its pixels.
inline Picture picture(tk::HeadlessWindow& w) {
    w.render();
    return pixelsOf(w.surface());
}

// The smallest rectangle of window points holding every pixel in which two pictures of `w`
// differ; empty when they are the same.
inline tk::Rect differences(const tk::HeadlessWindow& w, const Picture& a, const Picture& b) {
    const int width = cairo_image_surface_get_width(w.surface());
    const int stride = cairo_image_surface_get_stride(w.surface());
    const int height = static_cast<int>(a.size()) / stride;
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto at = static_cast<std::size_t>(y * stride + 4 * x);
            if (std::equal(&a[at], &a[at] + 4, &b[at])) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (right < 0) return {};
    const double s = w.scale();
    return {left / s, w.size().height - (bottom + 1) / s, (right + 1 - left) / s,
            (bottom + 1 - top) / s};
}

} // namespace testing_support
