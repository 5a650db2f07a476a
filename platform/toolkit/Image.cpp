// SPDX-License-Identifier: GPL-3.0-or-later
// PNG loading and one-off bitmap drawing on cairo image surfaces.
#include "platform/toolkit/Image.h"

#include "platform/toolkit/GraphicsContext.h"

#include <cairo.h>
#include <cmath>
#include <system_error>

namespace tk {

Image::Image(cairo_surface_t* surface, double scale) : surface_(surface), scale_(scale) {
    size_ = {cairo_image_surface_get_width(surface) / scale,
             cairo_image_surface_get_height(surface) / scale};
}

Image::~Image() {
    cairo_surface_destroy(surface_);
}

std::shared_ptr<Image> Image::fromPNG(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error) *error = "no such file: " + path.string();
        return nullptr;
    }
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    const cairo_status_t st = cairo_surface_status(s);
    if (st != CAIRO_STATUS_SUCCESS) {
        if (error) *error = path.string() + ": " + cairo_status_to_string(st);
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<Image>(new Image(s, 1.0));
}

std::shared_ptr<Image> Image::draw(Size size, double scale,
                                   const std::function<void(GraphicsContext&)>& paint) {
    if (!(scale > 0.0)) scale = 1.0;
    const int w = std::max(1, static_cast<int>(std::ceil(size.width * scale)));
    const int h = std::max(1, static_cast<int>(std::ceil(size.height * scale)));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    {
        GraphicsContext g(s, {w / scale, h / scale}, scale);
        paint(g);
    }
    cairo_surface_flush(s);
    return std::shared_ptr<Image>(new Image(s, scale));
}

bool Image::writePNG(const std::filesystem::path& path, std::string* error) const {
    return writeSurfacePNG(surface_, path, error);
}

bool writeSurfacePNG(cairo_surface_t* surface, const std::filesystem::path& path,
                     std::string* error) {
    const cairo_status_t st = cairo_surface_write_to_png(surface, path.c_str());
    if (st != CAIRO_STATUS_SUCCESS) {
        if (error) *error = path.string() + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}

} // namespace tk
