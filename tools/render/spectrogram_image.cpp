// SPDX-License-Identifier: GPL-3.0-or-later
// Layout, palette and text helpers live here together; each panel's cells become one small
// image that cairo scales into its plot, so the picture's resolution never depends on the
// stream's length.
#include "spectrogram_image.h"

#include "pending_file.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <pango/pangocairo.h>
#include <stdexcept>
#include <unistd.h>

namespace zembra::render {

namespace {

// Layout, in pixels.
constexpr int kLeft = 78;   // frequency labels
constexpr int kRight = 122; // colour bar and its labels
constexpr int kTop = 12;
constexpr int kTitleHeight = 30;
constexpr int kPanelGap = 18;
constexpr int kBottom = 54; // time labels and axis name
constexpr int kBarGap = 26;
constexpr int kBarWidth = 16;
constexpr double kRangeDb = 90.0; // span of the colour scale below its top

struct Rgb {
    double r, g, b;
};

// Palette.
constexpr Rgb kBackground{0.059, 0.066, 0.082};
constexpr Rgb kText{0.86, 0.87, 0.90};
constexpr Rgb kDimText{0.55, 0.58, 0.64};
constexpr Rgb kFrame{0.26, 0.28, 0.33};
constexpr double kGridAlpha = 0.13;
constexpr const char* kTitleFont = "DejaVu Sans Bold 11";
constexpr const char* kLabelFont = "DejaVu Sans 9";

// Inferno, as a degree-6 polynomial fit per channel: perceptually even, dark at the bottom
// so quiet cells sink into the background.
Rgb inferno(double t) {
    t = std::clamp(t, 0.0, 1.0);
    static constexpr double c[7][3] = {
        {0.0002189403691192265, 0.001651004631001012, -0.01948089843709184},
        {0.1065134194856116, 0.5639564367884091, 3.932712388889277},
        {11.60249308247187, -3.972853965665698, -15.9423941062914},
        {-41.70399613139459, 17.43639888205313, 44.35414519872813},
        {77.162935699427, -33.40235894210092, -81.80730925738993},
        {-71.31942824499214, 32.62606426397723, 73.20951985803202},
        {25.13112622477341, -12.24266895238567, -23.07032500287172}};
    double out[3];
    for (int ch = 0; ch < 3; ++ch) {
        double v = c[6][ch];
        for (int k = 5; k >= 0; --k)
            v = v * t + c[k][ch];
        out[ch] = std::clamp(v, 0.0, 1.0);
    }
    return {out[0], out[1], out[2]};
}

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

enum class Align { Start, Centre, End };

// Text goes through a font map of our own, released after the picture: pango's shared
// default map would keep fontconfig's patterns alive to the end of the process.
struct Fonts {
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(map);
    Fonts() = default;
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;
    ~Fonts() {
        g_object_unref(context);
        g_object_unref(map);
    }
};

struct Canvas {
    cairo_t* cr;
    PangoContext* text;
};

// Draws text with its box aligned to (x, y) as asked.
void drawText(const Canvas& canvas, const std::string& text, double x, double y, Align h, Align v,
              const char* font, Rgb colour) {
    cairo_t* cr = canvas.cr;
    pango_cairo_update_context(cr, canvas.text);
    PangoLayout* layout = pango_layout_new(canvas.text);
    PangoFontDescription* description = pango_font_description_from_string(font);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_text(layout, text.c_str(), -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    const auto offset = [](Align a, int size) {
        return a == Align::Start ? 0.0 : a == Align::Centre ? -size / 2.0 : -double(size);
    };
    setColour(cr, colour);
    cairo_move_to(cr, std::round(x + offset(h, width)), std::round(y + offset(v, height)));
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
}

std::string hzLabel(double hz) {
    char buffer[16];
    if (hz >= 1000.0)
        std::snprintf(buffer, sizeof buffer, "%gk", hz / 1000.0);
    else
        std::snprintf(buffer, sizeof buffer, "%g", hz);
    return buffer;
}

double timeStep(double seconds) {
    static constexpr double steps[] = {0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
    for (double step : steps)
        if (seconds / step <= 16.0) return step;
    return 1200.0;
}

struct Plot {
    double x, y, width, height;
};

struct Scale {
    double seconds; // the shared time axis, 0..seconds across the plot width
    double topDb;   // colour scale
    double lowHz, highHz;
};

double yForHz(const Plot& plot, const Scale& scale, double hz) {
    const double t = std::log(hz / scale.lowHz) / std::log(scale.highHz / scale.lowHz);
    return plot.y + plot.height * (1.0 - t);
}

void drawCells(cairo_t* cr, const Plot& plot, const Scale& scale, const Spectrogram& data) {
    const int columns = data.columns();
    const int rows = data.rows();
    if (columns == 0 || rows == 0 || scale.seconds <= 0.0) return;
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> cells(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, columns, rows), cairo_surface_destroy);
    cairo_surface_flush(cells.get());
    unsigned char* pixels = cairo_image_surface_get_data(cells.get());
    const int stride = cairo_image_surface_get_stride(cells.get());
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            const double t = (data.levelDb(c, r) - (scale.topDb - kRangeDb)) / kRangeDb;
            const Rgb colour = inferno(t);
            auto* pixel = reinterpret_cast<uint32_t*>(pixels + (rows - 1 - r) * stride) + c;
            *pixel = uint32_t(std::lround(colour.r * 255)) << 16 |
                     uint32_t(std::lround(colour.g * 255)) << 8 |
                     uint32_t(std::lround(colour.b * 255));
        }
    }
    cairo_surface_mark_dirty(cells.get());

    const double pxPerSecond = plot.width / scale.seconds;
    const double dataWidth = std::min(plot.width, data.duration() * pxPerSecond);
    cairo_save(cr);
    cairo_rectangle(cr, plot.x, plot.y, dataWidth, plot.height);
    cairo_clip(cr);
    cairo_translate(cr, plot.x, plot.y);
    cairo_scale(cr, data.secondsPerColumn() * pxPerSecond, plot.height / rows);
    cairo_set_source_surface(cr, cells.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
}

void drawPanel(const Canvas& canvas, const Plot& plot, const Scale& scale,
               const SpectrogramPanel& panel, bool timeLabels) {
    cairo_t* cr = canvas.cr;
    setColour(cr, inferno(0.0));
    cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
    cairo_fill(cr);
    drawCells(cr, plot, scale, *panel.data);

    drawText(canvas, panel.title, plot.x, plot.y - 7, Align::Start, Align::End, kTitleFont, kText);
    if (!panel.note.empty()) {
        drawText(canvas, panel.note, plot.x + plot.width, plot.y - 8, Align::End, Align::End,
                 kLabelFont, kDimText);
    }

    cairo_set_line_width(cr, 1.0);
    // Frequency grid and labels.
    drawText(canvas, "Hz", plot.x - 8, plot.y - 8, Align::End, Align::End, kLabelFont, kDimText);
    for (double decade = 10.0; decade <= 100000.0; decade *= 10.0) {
        for (double step : {1.0, 2.0, 5.0}) {
            const double hz = decade * step;
            if (hz < scale.lowHz * 1.15 || hz > scale.highHz * 0.97) continue;
            const double y = std::round(yForHz(plot, scale, hz)) + 0.5;
            setColour(cr, {1, 1, 1}, step == 1.0 ? kGridAlpha * 1.4 : kGridAlpha * 0.6);
            cairo_move_to(cr, plot.x, y);
            cairo_line_to(cr, plot.x + plot.width, y);
            cairo_stroke(cr);
            setColour(cr, kFrame);
            cairo_move_to(cr, plot.x - 5, y);
            cairo_line_to(cr, plot.x, y);
            cairo_stroke(cr);
            drawText(canvas, hzLabel(hz), plot.x - 8, y, Align::End, Align::Centre, kLabelFont,
                     kText);
        }
    }

    // Time grid, ticks and (under the last panel) labels.
    const double step = timeStep(scale.seconds);
    for (int i = 0;; ++i) {
        const double seconds = i * step;
        if (seconds > scale.seconds + 1e-9) break;
        const double x = std::round(plot.x + plot.width * seconds / scale.seconds) + 0.5;
        setColour(cr, {1, 1, 1}, kGridAlpha * 0.6);
        cairo_move_to(cr, x, plot.y);
        cairo_line_to(cr, x, plot.y + plot.height);
        cairo_stroke(cr);
        setColour(cr, kFrame);
        cairo_move_to(cr, x, plot.y + plot.height);
        cairo_line_to(cr, x, plot.y + plot.height + 5);
        cairo_stroke(cr);
        if (timeLabels) {
            char label[16];
            std::snprintf(label, sizeof label, step < 1.0 ? "%.1f" : "%.0f", seconds);
            drawText(canvas, label, x, plot.y + plot.height + 8, Align::Centre, Align::Start,
                     kLabelFont, kText);
        }
    }

    setColour(cr, kFrame);
    cairo_rectangle(cr, plot.x + 0.5, plot.y + 0.5, plot.width - 1, plot.height - 1);
    cairo_stroke(cr);
}

void drawColourBar(const Canvas& canvas, double top, double bottom, const Scale& scale) {
    cairo_t* cr = canvas.cr;
    const double x = kLeft + SpectrogramLayout::plotWidth() + kBarGap;
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, bottom, 0, top);
    for (int i = 0; i <= 64; ++i) {
        const Rgb c = inferno(i / 64.0);
        cairo_pattern_add_color_stop_rgb(gradient, i / 64.0, c.r, c.g, c.b);
    }
    cairo_rectangle(cr, x, top, kBarWidth, bottom - top);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);

    setColour(cr, kFrame);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, x + 0.5, top + 0.5, kBarWidth - 1, bottom - top - 1);
    cairo_stroke(cr);
    drawText(canvas, "dBFS", x + kBarWidth / 2.0, top - 8, Align::Centre, Align::End, kLabelFont,
             kDimText);
    for (double db = 0.0; db <= kRangeDb + 1e-9; db += 10.0) {
        const double y = std::round(top + (bottom - top) * db / kRangeDb) + 0.5;
        setColour(cr, kFrame);
        cairo_move_to(cr, x + kBarWidth, y);
        cairo_line_to(cr, x + kBarWidth + 4, y);
        cairo_stroke(cr);
        char label[16];
        std::snprintf(label, sizeof label, "%.0f", scale.topDb - db);
        drawText(canvas, label, x + kBarWidth + 7, y, Align::Start, Align::Centre, kLabelFont,
                 kText);
    }
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<FILE*>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

int SpectrogramLayout::plotWidth() {
    return kWidth - kLeft - kRight;
}

int SpectrogramLayout::height(int panels) {
    return kTop + panels * (kTitleHeight + kPlotHeight) + std::max(0, panels - 1) * kPanelGap +
           kBottom;
}

void writeSpectrogramPng(PendingFile& file, const std::vector<SpectrogramPanel>& panels) {
    const int count = static_cast<int>(panels.size());
    Scale scale{0.0, -200.0, Spectrogram::kLowestHz, 0.0};
    for (const SpectrogramPanel& panel : panels) {
        const Spectrogram& data = *panel.data;
        scale.seconds = std::max(scale.seconds, data.duration());
        scale.highHz = std::max(scale.highHz, data.highestHz());
        for (int c = 0; c < data.columns(); ++c)
            for (int r = 0; r < data.rows(); ++r)
                scale.topDb = std::max(scale.topDb, double(data.levelDb(c, r)));
    }
    // The top of the colour scale follows the loudest cell, in 10 dB steps, so quiet
    // material still fills the palette.
    scale.topDb = std::clamp(std::ceil(scale.topDb / 10.0) * 10.0, -60.0, 0.0);
    if (scale.highHz <= scale.lowHz) scale.highHz = 2.0 * scale.lowHz;

    const int height = SpectrogramLayout::height(count);
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, SpectrogramLayout::kWidth, height),
        cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                               cairo_destroy);
    cairo_t* cr = context.get();
    Fonts fonts;
    const Canvas canvas{cr, fonts.context};
    setColour(cr, kBackground);
    cairo_paint(cr);

    double y = kTop + kTitleHeight;
    const double firstTop = y;
    for (int i = 0; i < count; ++i) {
        const Plot plot{double(kLeft), y, double(SpectrogramLayout::plotWidth()),
                        double(SpectrogramLayout::kPlotHeight)};
        drawPanel(canvas, plot, scale, panels[i], i == count - 1);
        y += SpectrogramLayout::kPlotHeight + kPanelGap + kTitleHeight;
    }
    const double lastBottom = y - kPanelGap - kTitleHeight;
    drawText(canvas, "Time (s)", kLeft + SpectrogramLayout::plotWidth() / 2.0, lastBottom + 30,
             Align::Centre, Align::Start, kLabelFont, kDimText);
    if (count > 0) drawColourBar(canvas, firstTop, lastBottom, scale);

    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("drawing failed: ") +
                                 cairo_status_to_string(cairo_status(cr)));
    FILE* out = fdopen(dup(file.descriptor()), "wb");
    if (out == nullptr) throw std::runtime_error("cannot write '" + file.destination() + "'");
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface.get(), writeToFile, out);
    const bool closed = std::fclose(out) == 0;
    if (status != CAIRO_STATUS_SUCCESS || !closed) {
        throw std::runtime_error("writing '" + file.destination() +
                                 "' failed: " + cairo_status_to_string(status));
    }
}

} // namespace zembra::render
