// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-art OUTDIR: draws the editor's pictures into OUTDIR at build time: the background
// frames, a seamless loop of slow aurora bands over a dark field, the still background (the
// loop's first frame), the pad's glowing knob and the slider thumb (names in
// support/EditorPictures.h). Deterministic: the same build draws the same bytes.
//
// The frames are mapped through one palette of 256 colours, a ramp in which each channel
// only rises; the editor keeps them as steps along that ramp from pixel to pixel, about two
// bits a pixel, without changing a single drawn pixel.
#include "support/EditorPictures.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The editor view's size in points (the interface description's root frame).
constexpr int kWidth = 720;
constexpr int kHeight = 460;
constexpr int kFrames = zembra::kBackgroundFrameCount;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

struct Rgb {
    double r, g, b;
};

// Dark navy through deep blue to a muted teal: the brighter, the more teal.
std::array<std::uint32_t, 256> makePalette() {
    struct Stop {
        double at;
        Rgb c;
    };
    static constexpr Stop stops[] = {
        {0.00, {0.016, 0.022, 0.040}}, {0.30, {0.035, 0.055, 0.105}}, {0.55, {0.055, 0.110, 0.190}},
        {0.75, {0.070, 0.215, 0.290}}, {0.90, {0.110, 0.370, 0.420}}, {1.00, {0.260, 0.640, 0.660}},
    };
    std::array<std::uint32_t, 256> palette{};
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        int k = 0;
        while (k + 2 < int(std::size(stops)) && t > stops[k + 1].at)
            ++k;
        const Stop& lo = stops[k];
        const Stop& hi = stops[k + 1];
        const double f = std::clamp((t - lo.at) / (hi.at - lo.at), 0.0, 1.0);
        auto channel = [f](double a, double b) {
            return static_cast<std::uint32_t>(std::lround((a + (b - a) * f) * 255.0));
        };
        palette[i] = 0xff000000u | channel(lo.c.r, hi.c.r) << 16 | channel(lo.c.g, hi.c.g) << 8 |
                     channel(lo.c.b, hi.c.b);
    }
    return palette;
}

// Brightness 0..1 of the field at pixel (x, y) (y down) and loop phase theta. Every time
// term is a whole multiple of theta, so the last frame leads back into frame 1.
class Aurora {
  public:
    explicit Aurora(double theta) : mTheta(theta) {
        mRow.resize(kHeight);
        mColumn.resize(kWidth);
        for (int y = 0; y < kHeight; ++y)
            mRow[y] = 0.32 * std::sin(kTwoPi * 0.85 * y / kHeight + theta);
        for (int x = 0; x < kWidth; ++x)
            mColumn[x] = 0.22 * std::sin(kTwoPi * 1.25 * x / kWidth - 2.0 * theta);
    }

    double at(int x, int y) const {
        const double u = double(x) / kWidth, v = double(y) / kHeight;
        const double s1 = std::sin(kTwoPi * (1.05 * u + mRow[y]) - mTheta);
        const double s2 = std::sin(kTwoPi * (1.35 * v + mColumn[x]) + 2.0 * mTheta);
        const double s3 = std::sin(kTwoPi * 0.75 * (u + 0.6 * v) + 3.0 * mTheta);
        const double f = (s1 + 0.75 * s2 + 0.45 * s3) / 2.2;
        // Two soft ribbons where the field crosses two levels.
        const double ribbon = std::exp(-(f - 0.32) * (f - 0.32) / 0.018) +
                              0.6 * std::exp(-(f + 0.28) * (f + 0.28) / 0.010);
        // Lighter towards the top, darker into the corners.
        const double base = 0.36 + 0.16 * (1.0 - v);
        const double dx = u - 0.5, dy = v - 0.42;
        const double vignette = std::clamp(1.0 - 1.25 * (dx * dx + dy * dy), 0.0, 1.0);
        return std::clamp((base + 0.30 * ribbon + 0.06 * f) * vignette, 0.0, 1.0);
    }

  private:
    double mTheta;
    std::vector<double> mRow, mColumn;
};

// An ordered dither spreads the 256 levels so gradients show no steps.
constexpr int kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

bool save(cairo_surface_t* s, const fs::path& file) {
    const cairo_status_t st = cairo_surface_write_to_png(s, file.c_str());
    if (st != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "zembra-art: %s: %s\n", file.c_str(), cairo_status_to_string(st));
        return false;
    }
    return true;
}

bool writeFrame(const fs::path& file, double theta, const std::array<std::uint32_t, 256>& palette) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const Aurora aurora(theta);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * stride);
        for (int x = 0; x < kWidth; ++x) {
            const double level =
                aurora.at(x, y) * 255.0 + (kBayer4[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
            row[x] = palette[static_cast<std::size_t>(std::clamp(std::lround(level), 0L, 255L))];
        }
    }
    cairo_surface_mark_dirty(s);
    const bool ok = save(s, file);
    cairo_surface_destroy(s);
    return ok;
}

// A glowing orb that adds its light to the pad beneath it (drawn plus-lighter).
bool writeKnob(const fs::path& file) {
    constexpr int size = 29;
    const double c = size / 2.0;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_pattern_t* glow = cairo_pattern_create_radial(c, c, 0.0, c, c, c);
    cairo_pattern_add_color_stop_rgba(glow, 0.00, 0.85, 1.00, 1.00, 1.00);
    cairo_pattern_add_color_stop_rgba(glow, 0.22, 0.45, 0.95, 1.00, 0.95);
    cairo_pattern_add_color_stop_rgba(glow, 0.45, 0.10, 0.55, 0.80, 0.55);
    cairo_pattern_add_color_stop_rgba(glow, 1.00, 0.00, 0.20, 0.40, 0.00);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0.55, 0.95, 1.0, 0.75);
    cairo_arc(cr, c, c, 9.0, 0, kTwoPi);
    cairo_stroke(cr);
    cairo_destroy(cr);
    const bool ok = save(s, file);
    cairo_surface_destroy(s);
    return ok;
}

// The slider thumb: a light, rounded grip with a groove, as wide as the slider and as
// high as the toolkit's knob (21 points).
bool writeThumb(const fs::path& file) {
    constexpr int w = 28, h = 21;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    auto rounded = [cr](double x, double y, double rw, double rh, double r) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x + rw - r, y + r, r, -std::numbers::pi / 2, 0);
        cairo_arc(cr, x + rw - r, y + rh - r, r, 0, std::numbers::pi / 2);
        cairo_arc(cr, x + r, y + rh - r, r, std::numbers::pi / 2, std::numbers::pi);
        cairo_arc(cr, x + r, y + r, r, std::numbers::pi, 1.5 * std::numbers::pi);
        cairo_close_path(cr);
    };
    // Soft shadow below.
    rounded(1.5, 3.0, w - 3.0, h - 3.5, 4.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    rounded(1.5, 1.5, w - 3.0, h - 4.0, 4.0);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 1.5, 0, h - 2.5);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.93, 0.95, 0.97);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.62, 0.66, 0.72);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0.05, 0.08, 0.12, 0.8);
    cairo_stroke(cr);
    // The groove, in the meter's cyan.
    cairo_set_source_rgba(cr, 0.05, 0.45, 0.60, 0.95);
    cairo_rectangle(cr, 6.0, (h - 2.5) / 2.0 - 0.5, w - 12.0, 2.0);
    cairo_fill(cr);
    cairo_destroy(cr);
    const bool ok = save(s, file);
    cairo_surface_destroy(s);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zembra-art OUTDIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "zembra-art: cannot create %s: %s\n", out.c_str(),
                     ec.message().c_str());
        return 1;
    }
    const auto palette = makePalette();
    const auto png = [&out](const std::string& name) { return out / (name + ".png"); };
    bool ok = writeFrame(png(zembra::kStillBackgroundPicture), 0.0, palette);
    for (int n = 1; n <= kFrames && ok; ++n)
        ok = writeFrame(png(zembra::backgroundFrameName(n)), kTwoPi * (n - 1) / kFrames, palette);
    ok = ok && writeKnob(png(zembra::kPadKnobPicture)) &&
         writeThumb(png(zembra::kSliderThumbPicture));
    return ok ? 0 : 1;
}
