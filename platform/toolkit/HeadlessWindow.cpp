// SPDX-License-Identifier: GPL-3.0-or-later
// The headless window backend.
#include "platform/toolkit/HeadlessWindow.h"

#include "platform/toolkit/Image.h"

#include <cairo.h>

#include <cmath>

namespace tk {

HeadlessWindow::HeadlessWindow(Size size, double scale, Color background)
    : Window(size, scale), background_(background) {
    const int w = std::max(1, static_cast<int>(std::ceil(size.width * this->scale())));
    const int h = std::max(1, static_cast<int>(std::ceil(size.height * this->scale())));
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

HeadlessWindow::~HeadlessWindow() {
    close(); // views may still draw or post while detaching; the surface must outlive that
    cairo_surface_destroy(surface_);
}

bool HeadlessWindow::display() {
    if (!needsDisplay()) return false;
    render();
    return true;
}

void HeadlessWindow::render() {
    cairo_t* cr = cairo_create(surface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, background_.red, background_.green, background_.blue,
                          background_.alpha);
    cairo_paint(cr);
    cairo_destroy(cr);
    {
        GraphicsContext g(surface_, size(), scale(), &shadowCache());
        draw(g);
    }
    cairo_surface_flush(surface_);
    ++renderCount_;
}

Color HeadlessWindow::pixel(Point p) const {
    const int w = cairo_image_surface_get_width(surface_);
    const int h = cairo_image_surface_get_height(surface_);
    const int x = static_cast<int>(std::floor(p.x * scale()));
    const int y = static_cast<int>(std::floor((size().height - p.y) * scale()));
    if (x < 0 || y < 0 || x >= w || y >= h) return Color::clear();
    const unsigned char* row =
        cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    const uint32_t px = reinterpret_cast<const uint32_t*>(row)[x];
    const double a = ((px >> 24) & 0xff) / 255.0;
    if (a <= 0.0) return Color::clear();
    auto ch = [&](int shift) { return ((px >> shift) & 0xff) / 255.0 / a; };
    return {ch(16), ch(8), ch(0), a};
}

bool HeadlessWindow::savePNG(const std::filesystem::path& path, std::string* error) const {
    return writeSurfacePNG(surface_, path, error);
}

} // namespace tk
