// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap images: loaded from PNG files or drawn once in code, shared by reference
// (std::shared_ptr stands in for the platform's retain/release).
#pragma once

#include "platform/toolkit/Geometry.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace tk {

class GraphicsContext;

class Image {
  public:
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Null when the file is missing or not a PNG; `error` then says which and why.
    static std::shared_ptr<Image> fromPNG(const std::filesystem::path& path,
                                          std::string* error = nullptr);
    // Static art: drawn once by `paint` (y up, origin lower left) into a bitmap of `size`
    // points at `scale` pixels per point, then composited as often as needed.
    static std::shared_ptr<Image> draw(Size size, double scale,
                                       const std::function<void(GraphicsContext&)>& paint);

    // In points; a PNG has one pixel per point.
    Size size() const { return size_; }
    double scale() const { return scale_; }
    cairo_surface_t* surface() const { return surface_; }
    // Saves as PNG; false with `error` set on failure.
    bool writePNG(const std::filesystem::path& path, std::string* error = nullptr) const;

  private:
    Image(cairo_surface_t* surface, double scale);
    cairo_surface_t* surface_;
    Size size_;
    double scale_;
};

// Writes a cairo surface as a PNG file; on failure says why in *error.
bool writeSurfacePNG(cairo_surface_t* surface, const std::filesystem::path& path,
                     std::string* error = nullptr);

} // namespace tk
