// SPDX-License-Identifier: GPL-3.0-or-later
// Looks of the toolkit's own controls, all from the one palette in Style.h.
#include "platform/toolkit/Drawing.h"

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/Path.h"
#include "platform/toolkit/Style.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <list>
#include <numbers>
#include <utility>

namespace tk::drawing {

namespace {

constexpr double kPi = std::numbers::pi;

struct ArtEntry {
    std::string key;
    std::shared_ptr<Image> image;
};

std::string artKey(const std::string& key, Size size, double scale) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "|%.3f|%.3f|%.3f", size.width, size.height, scale);
    return key + buf;
}

// Static art only (drawn once into a bitmap), so it may use cairo's gradients directly.
void verticalGradientFill(GraphicsContext& g, const Rect& r, double radius, Color top,
                          Color bottom) {
    cairo_t* cr = g.cairo();
    cairo_save(cr);
    cairo_new_sub_path(cr);
    const double rr = std::min(radius, std::min(r.width(), r.height()) * 0.5);
    cairo_arc(cr, r.minX() + rr, r.minY() + rr, rr, kPi, 1.5 * kPi);
    cairo_arc(cr, r.maxX() - rr, r.minY() + rr, rr, 1.5 * kPi, 2.0 * kPi);
    cairo_arc(cr, r.maxX() - rr, r.maxY() - rr, rr, 0.0, 0.5 * kPi);
    cairo_arc(cr, r.minX() + rr, r.maxY() - rr, rr, 0.5 * kPi, kPi);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0.0, r.minY(), 0.0, r.maxY());
    cairo_pattern_add_color_stop_rgba(p, 0.0, bottom.red, bottom.green, bottom.blue, bottom.alpha);
    cairo_pattern_add_color_stop_rgba(p, 1.0, top.red, top.green, top.blue, top.alpha);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
}

} // namespace

std::shared_ptr<Image> cachedArt(const std::string& key, Size size, double scale,
                                 const std::function<void(GraphicsContext&)>& paint) {
    constexpr size_t kCapacity = 64;
    thread_local std::list<ArtEntry> cache; // the UI thread's
    const std::string k = artKey(key, size, scale);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->key == k) {
            cache.splice(cache.begin(), cache, it);
            return cache.front().image;
        }
    }
    auto image = Image::draw(size, scale, paint);
    cache.push_front({k, image});
    if (cache.size() > kCapacity) cache.pop_back();
    return image;
}

void drawSliderBar(GraphicsContext& g, const Rect& r, bool vertical) {
    if (r.isEmpty()) return;
    const Rect local{0, 0, r.width(), r.height()};
    auto art = cachedArt(
        vertical ? "slider-bar-v" : "slider-bar-h", r.size, g.scale(), [&](GraphicsContext& a) {
            const Rect groove = vertical ? local.insetBy(style::kTrackInsetX, style::kTrackInsetY)
                                         : local.insetBy(style::kTrackInsetY, style::kTrackInsetX);
            if (groove.isEmpty()) return;
            const double radius = std::min(groove.width(), groove.height()) * 0.5;
            const Path p = Path::roundedRect(groove, radius);
            a.setColor(style::kTrackFill);
            a.fillPath(p);
            // A darker inner top edge and a faint light lower lip read as a recess.
            a.setColor(Color::calibratedWhite(0.0, 0.5));
            a.setLineWidth(1.0);
            a.strokePath(Path::roundedRect(groove.insetBy(0.5, 0.5), radius - 0.5));
            a.setColor(style::kTrackEdge);
            a.strokePath(Path::roundedRect(groove.insetBy(-0.5, -0.5), radius + 0.5));
        });
    g.drawImage(*art, r.origin, CompositingOperation::SourceOver, 1.0);
}

void drawSliderKnob(GraphicsContext& g, const Rect& knob) {
    if (knob.isEmpty()) return;
    g.saveGraphicsState();
    g.setShadow(Shadow{{0.0, -1.0}, 3.0, style::kDropShadow});
    g.setColor(style::kKnobFill);
    g.fillPath(Path::roundedRect(knob.insetBy(2.0, knob.height() * 0.3), 2.0));
    g.restoreGraphicsState();
}

void drawButtonBezel(GraphicsContext& g, const Rect& r, bool pressed, bool emphasised) {
    if (r.isEmpty()) return;
    const std::string key = std::string("bezel") + (pressed ? "-p" : "") + (emphasised ? "-e" : "");
    auto art = cachedArt(key, r.size, g.scale(), [&](GraphicsContext& a) {
        const Rect b = Rect{0, 0, r.width(), r.height()}.insetBy(1.0, 1.0);
        Color base = emphasised ? style::kDefaultButtonFill
                                : (pressed ? style::kControlFillPressed : style::kControlFill);
        if (emphasised && pressed) base = Color::calibratedRGBA(0.12, 0.30, 0.64);
        const Color top{base.red * 1.12 + 0.02, base.green * 1.12 + 0.02, base.blue * 1.12 + 0.02,
                        1.0};
        verticalGradientFill(a, b, style::kCornerRadius, top, base);
        a.setColor(style::kControlEdge);
        a.setLineWidth(1.0);
        a.strokePath(Path::roundedRect(b.insetBy(0.5, 0.5), style::kCornerRadius - 0.5));
    });
    g.drawImage(*art, r.origin, CompositingOperation::SourceOver, 1.0);
}

void drawToggleMark(GraphicsContext& g, const Rect& r, bool on, bool mixed) {
    const double side = std::min(14.0, std::min(r.width(), r.height()));
    const Rect box{r.x() + 2.0, r.midY() - side * 0.5, side, side};
    g.saveGraphicsState();
    g.setColor(style::kFieldFill);
    g.fillPath(Path::roundedRect(box, 3.0));
    g.setColor(style::kFieldEdge);
    g.strokePath(Path::roundedRect(box.insetBy(0.5, 0.5), 2.5));
    if (on || mixed) {
        g.setColor(style::kDefaultButtonFill);
        g.fillPath(Path::roundedRect(box.insetBy(3.0, mixed ? side * 0.4 : 3.0), 1.5));
    }
    g.restoreGraphicsState();
}

void drawFieldWell(GraphicsContext& g, const Rect& r, bool focused) {
    if (r.isEmpty()) return;
    auto art = cachedArt(focused ? "field-f" : "field", r.size, g.scale(), [&](GraphicsContext& a) {
        const Rect b = Rect{0, 0, r.width(), r.height()}.insetBy(0.5, 0.5);
        a.setColor(style::kFieldFill);
        a.fillPath(Path::roundedRect(b, 3.0));
        a.setColor(focused ? style::kFieldEdgeFocused : style::kFieldEdge);
        a.setLineWidth(focused ? 1.5 : 1.0);
        a.strokePath(Path::roundedRect(b, 3.0));
    });
    g.drawImage(*art, r.origin, CompositingOperation::SourceOver, 1.0);
}

void drawPopUpFace(GraphicsContext& g, const Rect& r, bool pressed) {
    drawButtonBezel(g, r, pressed);
    // Up and down chevrons, the pop-up's mark.
    const double cx = r.maxX() - 11.0, cy = r.midY();
    g.saveGraphicsState();
    g.setColor(style::kTextSecondary);
    g.setLineWidth(1.3);
    Path up;
    up.moveTo({cx - 3.0, cy + 1.5});
    up.lineTo({cx, cy + 4.5});
    up.lineTo({cx + 3.0, cy + 1.5});
    g.strokePath(up);
    Path down;
    down.moveTo({cx - 3.0, cy - 1.5});
    down.lineTo({cx, cy - 4.5});
    down.lineTo({cx + 3.0, cy - 1.5});
    g.strokePath(down);
    g.restoreGraphicsState();
}

void drawPanel(GraphicsContext& g, const Rect& r, bool menu) {
    if (r.isEmpty()) return;
    const double radius = menu ? 5.0 : 8.0;
    g.saveGraphicsState();
    g.setShadow(Shadow{{0.0, -4.0}, menu ? 10.0 : 18.0, Color::calibratedWhite(0.0, 0.7)});
    g.setColor(menu ? style::kMenuFill : style::kPanelFill);
    g.fillPath(Path::roundedRect(r, radius));
    g.restoreGraphicsState();
    g.saveGraphicsState();
    g.setColor(style::kPanelEdge);
    g.setLineWidth(1.0);
    g.strokePath(Path::roundedRect(r.insetBy(0.5, 0.5), radius - 0.5));
    g.restoreGraphicsState();
}

} // namespace tk::drawing
