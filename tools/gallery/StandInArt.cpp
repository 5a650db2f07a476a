// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in knob and thumb: a soft glowing orb (it is added to the pad with
// plus-lighter, so black is transparent) and a brushed slider cap.
#include "StandInArt.h"

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Image.h"
#include "support/EditorPictures.h"

#include <cairo.h>

namespace gallery {

namespace {

void paintKnob(tk::GraphicsContext& g) {
    cairo_t* cr = g.cairo();
    const double s = g.size().width;
    const double c = s * 0.5;
    cairo_pattern_t* glow = cairo_pattern_create_radial(c, c, 0.0, c, c, c);
    cairo_pattern_add_color_stop_rgba(glow, 0.00, 0.95, 1.00, 1.00, 1.0);
    cairo_pattern_add_color_stop_rgba(glow, 0.22, 0.55, 0.90, 1.00, 1.0);
    cairo_pattern_add_color_stop_rgba(glow, 0.55, 0.10, 0.35, 0.75, 0.8);
    cairo_pattern_add_color_stop_rgba(glow, 1.00, 0.00, 0.05, 0.20, 0.0);
    cairo_set_source(cr, glow);
    cairo_arc(cr, c, c, c, 0, 6.283185307179586);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    // A thin ring marks the exact spot.
    cairo_set_source_rgba(cr, 0.7, 0.95, 1.0, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, c, c, s * 0.27, 0, 6.283185307179586);
    cairo_stroke(cr);
}

void paintThumb(tk::GraphicsContext& g) {
    cairo_t* cr = g.cairo();
    const double w = g.size().width, h = g.size().height;
    const double y0 = h * 0.22, y1 = h * 0.78, r = 3.0;
    cairo_new_sub_path(cr);
    cairo_arc(cr, 1.5 + r, y0 + r, r, 3.14159265, 4.71238898);
    cairo_arc(cr, w - 1.5 - r, y0 + r, r, 4.71238898, 6.28318531);
    cairo_arc(cr, w - 1.5 - r, y1 - r, r, 0, 1.57079633);
    cairo_arc(cr, 1.5 + r, y1 - r, r, 1.57079633, 3.14159265);
    cairo_close_path(cr);
    cairo_pattern_t* metal = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(metal, 0.0, 0.46, 0.49, 0.55);
    cairo_pattern_add_color_stop_rgb(metal, 0.5, 0.86, 0.88, 0.92);
    cairo_pattern_add_color_stop_rgb(metal, 1.0, 0.55, 0.58, 0.64);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(metal);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // The grip line across the middle.
    cairo_set_source_rgba(cr, 0.15, 0.55, 0.95, 0.95);
    cairo_rectangle(cr, 4.0, h * 0.5 - 0.75, w - 8.0, 1.5);
    cairo_fill(cr);
}

} // namespace

bool writeStandInArt(const std::filesystem::path& dir, std::string* error) {
    // One pixel per point: the controls take their geometry from these sizes.
    auto knob = tk::Image::draw({22, 22}, 1.0, paintKnob);
    auto thumb = tk::Image::draw({24, 21}, 1.0, paintThumb);
    const auto png = [&dir](const char* name) { return dir / (std::string(name) + ".png"); };
    return knob->writePNG(png(zembra::kPadKnobPicture), error) &&
           thumb->writePNG(png(zembra::kSliderThumbPicture), error);
}

} // namespace gallery
