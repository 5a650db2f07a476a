// SPDX-License-Identifier: GPL-3.0-or-later
// Pango layouts for attributed strings.
#include "platform/toolkit/Text.h"

#include <pango/pangocairo.h>

namespace tk::detail {

namespace {
// Points, not pixels: the toolkit's user space is in points.
constexpr double kDpi = 72.0;

void configure(PangoContext* ctx) {
    pango_cairo_context_set_resolution(ctx, kDpi);
    cairo_font_options_t* fo = cairo_font_options_create();
    // Hinted metrics would make widths depend on the window scale; titles must truncate
    // the same way on every screen.
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(ctx, fo);
    cairo_font_options_destroy(fo);
}

PangoContext* measuringContext() {
    // Per thread: pango's default font map is per thread, and all text lives on the UI thread.
    thread_local PangoContext* ctx = [] {
        PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
        configure(c);
        return c;
    }();
    return ctx;
}
} // namespace

PangoLayout* createLayout(cairo_t* cr, const AttributedString& s, double width) {
    PangoLayout* layout = nullptr;
    if (cr) {
        layout = pango_cairo_create_layout(cr);
        configure(pango_layout_get_context(layout));
        pango_layout_context_changed(layout);
    } else {
        layout = pango_layout_new(measuringContext());
    }
    const TextAttributes& a = s.attributes();
    PangoFontDescription* fd = pango_font_description_new();
    pango_font_description_set_family(fd, a.font.family.c_str());
    pango_font_description_set_absolute_size(fd, a.font.size * PANGO_SCALE);
    pango_font_description_set_weight(fd, a.font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, fd);
    pango_font_description_free(fd);

    pango_layout_set_text(layout, s.string().c_str(), static_cast<int>(s.length()));
    switch (a.paragraph.alignment) {
    case TextAlignment::Left:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    case TextAlignment::Center:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
    case TextAlignment::Right:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
    }
    if (width >= 0.0) pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    if (a.paragraph.tabInterval > 0.0) {
        PangoTabArray* tabs = pango_tab_array_new(1, TRUE);
        pango_tab_array_set_tab(tabs, 0, PANGO_TAB_LEFT, static_cast<int>(a.paragraph.tabInterval));
        pango_layout_set_tabs(layout, tabs);
        pango_tab_array_free(tabs);
    }
    switch (a.paragraph.lineBreak) {
    case LineBreakMode::WordWrap:
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        break;
    case LineBreakMode::Clip:
        pango_layout_set_width(layout, -1);
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        break;
    case LineBreakMode::TruncateTail:
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout, -1); // one line
        break;
    }
    return layout;
}

} // namespace tk::detail

namespace tk {

Size measureText(const AttributedString& s, double maxWidth) {
    PangoLayout* layout = detail::createLayout(nullptr, s, maxWidth);
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    g_object_unref(layout);
    return {static_cast<double>(w) / PANGO_SCALE, static_cast<double>(h) / PANGO_SCALE};
}

} // namespace tk
