// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing on cairo with a y-up user space, platform-style compositing and blurred shadows.
#include "platform/toolkit/GraphicsContext.h"

#include "platform/toolkit/Image.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <utility>
#include <vector>

namespace tk {

// ---------------------------------------------------------------------------------------
// Shadow cache

ShadowCache::~ShadowCache() {
    for (auto& e : entries_)
        cairo_surface_destroy(e.mask);
}

cairo_surface_t* ShadowCache::find(const std::string& key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->key == key) {
            entries_.splice(entries_.begin(), entries_, it);
            ++hits_;
            return entries_.front().mask;
        }
    }
    return nullptr;
}

void ShadowCache::insert(std::string key, cairo_surface_t* mask) {
    entries_.push_front({std::move(key), mask});
    while (entries_.size() > capacity_) {
        cairo_surface_destroy(entries_.back().mask);
        entries_.pop_back();
    }
}

namespace {

cairo_operator_t toCairo(CompositingOperation op) {
    switch (op) {
    case CompositingOperation::Copy:
        return CAIRO_OPERATOR_SOURCE;
    case CompositingOperation::PlusLighter:
        return CAIRO_OPERATOR_ADD;
    case CompositingOperation::SourceOver:
        break;
    }
    return CAIRO_OPERATOR_OVER;
}

bool finite(const Rect& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

void setSource(cairo_t* cr, const Color& c) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

void appendEllipse(cairo_t* cr, const Rect& r) {
    cairo_save(cr);
    cairo_translate(cr, r.midX(), r.midY());
    cairo_scale(cr, r.width() * 0.5, r.height() * 0.5);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * std::numbers::pi);
    cairo_close_path(cr);
    cairo_restore(cr); // the path stays; the stroke must not see the ellipse's scale
}

std::string fmt(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f,", v);
    return buf;
}

// Three box blurs approximate a Gaussian of deviation `sigma` (pixels); the mask carries
// enough transparent margin that treating the outside as zero is exact.
void blurA8(cairo_surface_t* s, double sigma) {
    if (sigma < 0.3) return;
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s);
    const int h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    uint8_t* data = cairo_image_surface_get_data(s);

    constexpr int kPasses = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / kPasses + 1.0);
    int wl = static_cast<int>(std::floor(ideal));
    if (wl % 2 == 0) --wl;
    const int wu = wl + 2;
    const double mIdeal =
        (12.0 * sigma * sigma - kPasses * wl * wl - 4.0 * kPasses * wl - 3.0 * kPasses) /
        (-4.0 * wl - 4.0);
    const int m = static_cast<int>(std::lround(mIdeal));

    std::vector<float> a(static_cast<size_t>(w) * h), b(a.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            a[static_cast<size_t>(y) * w + x] = data[y * stride + x];

    auto pass = [&](std::vector<float>& src, std::vector<float>& dst, int radius, bool horiz) {
        const int n = horiz ? w : h, lines = horiz ? h : w;
        const float norm = 1.0f / static_cast<float>(2 * radius + 1);
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> float& {
                return horiz ? src[static_cast<size_t>(l) * w + i]
                             : src[static_cast<size_t>(i) * w + l];
            };
            auto out = [&](int i) -> float& {
                return horiz ? dst[static_cast<size_t>(l) * w + i]
                             : dst[static_cast<size_t>(i) * w + l];
            };
            float sum = 0.0f;
            for (int i = 0; i <= std::min(radius, n - 1); ++i)
                sum += at(i);
            for (int i = 0; i < n; ++i) {
                out(i) = sum * norm;
                const int add = i + radius + 1, drop = i - radius;
                if (add < n) sum += at(add);
                if (drop >= 0) sum -= at(drop);
            }
        }
    };
    for (int p = 0; p < kPasses; ++p) {
        const int radius = ((p < m ? wl : wu) - 1) / 2;
        pass(a, b, radius, true);
        pass(b, a, radius, false);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data[y * stride + x] = static_cast<uint8_t>(
                std::clamp(std::lround(a[static_cast<size_t>(y) * w + x]), 0L, 255L));
    cairo_surface_mark_dirty(s);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Context

GraphicsContext::GraphicsContext(cairo_surface_t* target, Size size, double scale,
                                 ShadowCache* shadows)
    : cr_(cairo_create(target)), ownsContext_(true), size_(size), scale_(scale), shadows_(shadows) {
    setUpBaseTransform();
}

GraphicsContext::GraphicsContext(cairo_t* cr, Size size, double scale, ShadowCache* shadows)
    : cr_(cr), ownsContext_(false), size_(size), scale_(scale), shadows_(shadows) {
    cairo_save(cr_);
    setUpBaseTransform();
}

GraphicsContext::~GraphicsContext() {
    // Unbalanced saves are the caller's bug; unwind them so the host's context is intact.
    for (size_t i = 0; i < stack_.size(); ++i)
        cairo_restore(cr_);
    if (ownsContext_)
        cairo_destroy(cr_);
    else
        cairo_restore(cr_);
}

void GraphicsContext::setUpBaseTransform() {
    if (!(scale_ > 0.0) || !std::isfinite(scale_)) scale_ = 1.0;
    // The one flip between the toolkit's y-up points and cairo's y-down pixels.
    cairo_scale(cr_, scale_, scale_);
    cairo_translate(cr_, 0.0, size_.height);
    cairo_scale(cr_, 1.0, -1.0);
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    baseMatrix_[0] = m.xx, baseMatrix_[1] = m.yx, baseMatrix_[2] = m.xy;
    baseMatrix_[3] = m.yy, baseMatrix_[4] = m.x0, baseMatrix_[5] = m.y0;
}

void GraphicsContext::saveGraphicsState() {
    cairo_save(cr_);
    stack_.push_back(state_);
}

size_t GraphicsContext::fence() {
    return std::exchange(floor_, stack_.size());
}

void GraphicsContext::unfence(size_t previous) {
    while (stack_.size() > floor_)
        restoreGraphicsState();
    floor_ = previous;
}

void GraphicsContext::restoreGraphicsState() {
    if (stack_.size() <= floor_) return; // an extra restore must not pop a level it did not save
    cairo_restore(cr_);
    state_ = stack_.back();
    stack_.pop_back();
}

void GraphicsContext::translate(double dx, double dy) {
    cairo_translate(cr_, dx, dy);
}

void GraphicsContext::clipToRect(const Rect& r) {
    if (!finite(r)) return;
    cairo_rectangle(cr_, r.x(), r.y(), r.width(), r.height());
    cairo_clip(cr_);
}

void GraphicsContext::setColor(const Color& c) {
    state_.color = c;
}

Point GraphicsContext::userToWindow(Point p) const {
    double x = p.x, y = p.y;
    cairo_user_to_device(cr_, &x, &y);
    cairo_matrix_t base;
    cairo_matrix_init(&base, baseMatrix_[0], baseMatrix_[1], baseMatrix_[2], baseMatrix_[3],
                      baseMatrix_[4], baseMatrix_[5]);
    cairo_matrix_invert(&base);
    cairo_matrix_transform_point(&base, &x, &y);
    return {x, y};
}

Rect GraphicsContext::userToWindow(const Rect& r) const {
    const Point a = userToWindow(r.origin);
    const Point b = userToWindow(Point{r.maxX(), r.maxY()});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

void GraphicsContext::applyPath(cairo_t* cr, const Path& p) const {
    cairo_new_path(cr);
    for (const auto& e : p.elements()) {
        using K = Path::Element::Kind;
        switch (e.kind) {
        case K::MoveTo:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            break;
        case K::LineTo:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            break;
        case K::CurveTo:
            cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                           e.points[2].x, e.points[2].y);
            break;
        case K::Arc:
            if (e.radius > 0.0)
                cairo_arc(cr, e.points[0].x, e.points[0].y, e.radius,
                          e.startDegrees * std::numbers::pi / 180.0,
                          e.endDegrees * std::numbers::pi / 180.0);
            break;
        case K::Close:
            cairo_close_path(cr);
            break;
        }
    }
}

void GraphicsContext::render(const std::string& shapeKey, const Rect& userBounds,
                             double strokeOutset, const std::function<void(cairo_t*)>& shape,
                             CompositingOperation op) {
    const bool hasShadow = state_.shadow && state_.shadow->color.alpha > 0.0;
    cairo_save(cr_);
    cairo_set_operator(cr_, toCairo(op));
    if (!hasShadow) {
        shape(cr_);
        cairo_restore(cr_);
        return;
    }

    const Shadow& sh = *state_.shadow;
    const double sigma = std::max(0.0, sh.blurRadius) * 0.5 * scale_;
    const int pad = static_cast<int>(std::ceil(3.0 * sigma)) + 2;
    // Device extent of the shape, with room for the blur to spread.
    const Rect b = userBounds.insetBy(-strokeOutset, -strokeOutset);
    double xs[4] = {b.minX(), b.maxX(), b.minX(), b.maxX()};
    double ys[4] = {b.minY(), b.minY(), b.maxY(), b.maxY()};
    double dx0 = INFINITY, dy0 = INFINITY, dx1 = -INFINITY, dy1 = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        cairo_user_to_device(cr_, &xs[i], &ys[i]);
        dx0 = std::min(dx0, xs[i]), dy0 = std::min(dy0, ys[i]);
        dx1 = std::max(dx1, xs[i]), dy1 = std::max(dy1, ys[i]);
    }
    // Nothing can land beyond the target and a runaway rectangle must not allocate a
    // giant mask: bound the mask by the window's device extent plus the shadow's reach.
    const double offX = sh.offset.width * scale_, offY = -sh.offset.height * scale_;
    const double limX0 = baseMatrix_[4] - std::abs(offX) - pad;
    const double limX1 = baseMatrix_[4] + size_.width * scale_ + std::abs(offX) + pad;
    const double limY0 = -std::abs(offY) - pad;
    const double limY1 = size_.height * scale_ + std::abs(offY) + pad;
    const int bx0 = static_cast<int>(std::floor(std::max(dx0, limX0))) - pad;
    const int by0 = static_cast<int>(std::floor(std::max(dy0, limY0))) - pad;
    const int bx1 = static_cast<int>(std::ceil(std::min(dx1, limX1))) + pad;
    const int by1 = static_cast<int>(std::ceil(std::min(dy1, limY1))) + pad;
    if (bx1 <= bx0 || by1 <= by0) {
        cairo_restore(cr_);
        return;
    }

    cairo_matrix_t original;
    cairo_get_matrix(cr_, &original);
    cairo_matrix_t ctm = original;
    ctm.x0 -= bx0;
    ctm.y0 -= by0;
    const std::string key = shapeKey + "|" + fmt(ctm.xx) + fmt(ctm.yx) + fmt(ctm.xy) + fmt(ctm.yy) +
                            fmt(ctm.x0) + fmt(ctm.y0) + fmt(sigma) + std::to_string(bx1 - bx0) +
                            "x" + std::to_string(by1 - by0);
    cairo_surface_t* mask = shadows_ ? shadows_->find(key) : nullptr;
    cairo_surface_t* owned = nullptr;
    if (!mask) {
        mask = cairo_image_surface_create(CAIRO_FORMAT_A8, bx1 - bx0, by1 - by0);
        cairo_t* m = cairo_create(mask);
        cairo_set_matrix(m, &ctm);
        shape(m);
        cairo_destroy(m);
        blurA8(mask, sigma);
        if (shadows_)
            shadows_->insert(key, mask);
        else
            owned = mask;
    }

    // Shadow and shape are composited onto the destination together, as one layer, with
    // the current operation: under plus-lighter the grey shadow adds light too.
    cairo_identity_matrix(cr_);
    const double ux0 = std::min<double>(bx0, bx0 + offX), uy0 = std::min<double>(by0, by0 + offY);
    const double ux1 = std::max<double>(bx1, bx1 + offX), uy1 = std::max<double>(by1, by1 + offY);
    cairo_rectangle(cr_, ux0, uy0, ux1 - ux0, uy1 - uy0);
    cairo_clip(cr_);
    cairo_push_group(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    setSource(cr_, sh.color);
    cairo_mask_surface(cr_, mask, bx0 + offX, by0 + offY);
    cairo_set_matrix(cr_, &original);
    shape(cr_);
    cairo_pop_group_to_source(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_operator(cr_, toCairo(op));
    cairo_paint(cr_);
    cairo_restore(cr_);
    if (owned) cairo_surface_destroy(owned);
}

void GraphicsContext::fillRect(const Rect& r) {
    if (!finite(r) || r.isEmpty()) return;
    const Color c = state_.color;
    render(
        "rect" + fmt(r.width()) + fmt(r.height()) + fmt(c.alpha), r, 0.0,
        [&](cairo_t* cr) {
            cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
            setSource(cr, c);
            cairo_fill(cr);
        },
        state_.operation);
}

void GraphicsContext::fillEllipse(const Rect& r) {
    if (!finite(r) || r.isEmpty()) return;
    const Color c = state_.color;
    render(
        "oval" + fmt(r.width()) + fmt(r.height()) + fmt(c.alpha), r, 0.0,
        [&](cairo_t* cr) {
            appendEllipse(cr, r);
            setSource(cr, c);
            cairo_fill(cr);
        },
        state_.operation);
}

void GraphicsContext::strokeEllipse(const Rect& r) {
    if (!finite(r) || r.isEmpty()) return;
    const Color c = state_.color;
    const double lw = state_.lineWidth;
    render(
        "ring" + fmt(r.width()) + fmt(r.height()) + fmt(lw) + fmt(c.alpha), r, lw,
        [&](cairo_t* cr) {
            appendEllipse(cr, r);
            setSource(cr, c);
            cairo_set_line_width(cr, lw);
            cairo_stroke(cr);
        },
        state_.operation);
}

namespace {
std::string pathKey(const Path& p) {
    std::string k = "path";
    for (const auto& e : p.elements()) {
        k += static_cast<char>('a' + static_cast<int>(e.kind));
        for (const auto& pt : e.points)
            k += fmt(pt.x) + fmt(pt.y);
        k += fmt(e.radius) + fmt(e.startDegrees) + fmt(e.endDegrees);
    }
    return k;
}
} // namespace

void GraphicsContext::fillPath(const Path& p) {
    if (p.isEmpty()) return;
    const Color c = state_.color;
    render(
        pathKey(p) + fmt(c.alpha), p.bounds(), 0.0,
        [&](cairo_t* cr) {
            applyPath(cr, p);
            setSource(cr, c);
            cairo_fill(cr);
        },
        state_.operation);
}

void GraphicsContext::strokePath(const Path& p) {
    if (p.isEmpty()) return;
    const Color c = state_.color;
    const double lw = state_.lineWidth;
    render(
        pathKey(p) + "s" + fmt(lw) + fmt(c.alpha), p.bounds(), lw,
        [&](cairo_t* cr) {
            applyPath(cr, p);
            setSource(cr, c);
            cairo_set_line_width(cr, lw);
            cairo_stroke(cr);
        },
        state_.operation);
}

void GraphicsContext::drawImage(const Image& image, Point p, CompositingOperation op,
                                double fraction) {
    drawImage(image, Rect{p, image.size()}, op, fraction);
}

void GraphicsContext::drawImage(const Image& image, const Rect& dest, CompositingOperation op,
                                double fraction) {
    const Size sz = image.size();
    const Point p = dest.origin;
    if (!finite(dest) || !std::isfinite(fraction) || sz.width <= 0 || sz.height <= 0) return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (dest.isEmpty()) return;
    const double inv = 1.0 / image.scale();
    const int pw = cairo_image_surface_get_width(image.surface());
    const int ph = cairo_image_surface_get_height(image.surface());
    char key[64];
    std::snprintf(key, sizeof key, "img%p,%.4f", static_cast<const void*>(&image), fraction);
    render(
        key, dest, 0.0,
        [&](cairo_t* cr) {
            cairo_save(cr);
            // Bitmaps are stored top row first: flip them back locally.
            cairo_translate(cr, p.x, p.y + dest.height());
            cairo_scale(cr, inv * dest.width() / sz.width, -inv * dest.height() / sz.height);
            cairo_rectangle(cr, 0, 0, pw, ph);
            cairo_clip(cr);
            if (op == CompositingOperation::Copy &&
                cairo_get_operator(cr) == CAIRO_OPERATOR_SOURCE) {
                // Copy replaces what lies beneath with the image at that opacity.
                cairo_push_group(cr);
                cairo_set_source_surface(cr, image.surface(), 0, 0);
                cairo_paint_with_alpha(cr, fraction);
                cairo_pop_group_to_source(cr);
                cairo_paint(cr);
            } else {
                cairo_set_source_surface(cr, image.surface(), 0, 0);
                cairo_paint_with_alpha(cr, fraction);
            }
            cairo_restore(cr);
        },
        op);
}

Rect GraphicsContext::drawText(const AttributedString& s, const Rect& frame, VerticalAlignment v) {
    if (!finite(frame) || s.empty()) return {};
    // Lay out once to know the line's extent; the shape below lays out again for whichever
    // cairo context it paints on (the shadow mask has its own).
    const bool wraps = s.attributes().paragraph.lineBreak != LineBreakMode::Clip;
    PangoLayout* probe = detail::createLayout(cr_, s, wraps ? frame.width() : -1.0);
    PangoRectangle logical;
    pango_layout_get_extents(probe, nullptr, &logical);
    g_object_unref(probe);
    const double lx = static_cast<double>(logical.x) / PANGO_SCALE;
    const double lw = static_cast<double>(logical.width) / PANGO_SCALE;
    const double lh = static_cast<double>(logical.height) / PANGO_SCALE;
    const double yoff =
        v == VerticalAlignment::Center ? std::round((frame.height() - lh) * 0.5) : 0.0;
    // Without a width, pango aligns within the text's own width: place it ourselves.
    double xoff = 0.0;
    if (!wraps) {
        switch (s.attributes().paragraph.alignment) {
        case TextAlignment::Left:
            break;
        case TextAlignment::Center:
            xoff = (frame.width() - lw) * 0.5;
            break;
        case TextAlignment::Right:
            xoff = frame.width() - lw;
            break;
        }
    }
    const Rect lineRect{frame.x() + xoff + lx, frame.maxY() - yoff - lh, lw, lh};

    const Color c = s.attributes().foreground;
    render(
        "text" + s.string() + fmt(frame.width()) + fmt(frame.height()) + fmt(c.alpha), frame, 0.0,
        [&](cairo_t* cr) {
            cairo_save(cr);
            cairo_rectangle(cr, frame.x(), frame.y(), frame.width(), frame.height());
            cairo_clip(cr);
            cairo_translate(cr, frame.x() + xoff, frame.maxY() - yoff);
            cairo_scale(cr, 1.0, -1.0); // text is laid out top-down
            PangoLayout* layout = detail::createLayout(cr, s, wraps ? frame.width() : -1.0);
            setSource(cr, c);
            cairo_move_to(cr, 0.0, 0.0);
            pango_cairo_show_layout(cr, layout);
            g_object_unref(layout);
            cairo_restore(cr);
        },
        state_.operation);
    return userToWindow(lineRect);
}

} // namespace tk
