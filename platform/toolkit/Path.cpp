// SPDX-License-Identifier: GPL-3.0-or-later
// Path construction; rendering lives in GraphicsContext.
#include "platform/toolkit/Path.h"

#include <cmath>
#include <limits>

namespace tk {

namespace {
// Control-point distance that makes a cubic Bezier approximate a quarter circle.
constexpr double kKappa = 0.5522847498307936;
} // namespace

Path Path::rect(const Rect& r) {
    Path p;
    p.moveTo({r.minX(), r.minY()});
    p.lineTo({r.maxX(), r.minY()});
    p.lineTo({r.maxX(), r.maxY()});
    p.lineTo({r.minX(), r.maxY()});
    p.close();
    return p;
}

Path Path::ovalInRect(const Rect& r) {
    Path p;
    const double cx = r.midX(), cy = r.midY();
    const double rx = r.width() * 0.5, ry = r.height() * 0.5;
    const double kx = rx * kKappa, ky = ry * kKappa;
    p.moveTo({cx + rx, cy});
    p.curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
    p.curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
    p.curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
    p.curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
    p.close();
    return p;
}

Path Path::roundedRect(const Rect& r, double radius) {
    const double rr = std::min(radius, std::min(r.width(), r.height()) * 0.5);
    if (!(rr > 0.0)) return rect(r);
    const Rect in = r.insetBy(rr, rr);
    Path p;
    p.moveTo({in.minX() - rr, in.minY()});
    p.arc({in.minX(), in.minY()}, rr, 180.0, 270.0);
    p.arc({in.maxX(), in.minY()}, rr, 270.0, 360.0);
    p.arc({in.maxX(), in.maxY()}, rr, 0.0, 90.0);
    p.arc({in.minX(), in.maxY()}, rr, 90.0, 180.0);
    p.close();
    return p;
}

void Path::moveTo(Point p) {
    elements_.push_back({Element::Kind::MoveTo, {p}});
}
void Path::lineTo(Point p) {
    elements_.push_back({Element::Kind::LineTo, {p}});
}
void Path::curveTo(Point c1, Point c2, Point end) {
    elements_.push_back({Element::Kind::CurveTo, {c1, c2, end}});
}
void Path::arc(Point centre, double radius, double startDegrees, double endDegrees) {
    Element e{Element::Kind::Arc, {centre}};
    e.radius = radius;
    e.startDegrees = startDegrees;
    e.endDegrees = endDegrees;
    elements_.push_back(e);
}
void Path::close() {
    elements_.push_back({Element::Kind::Close});
}

Rect Path::bounds() const {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
    double x1 = -x0, y1 = -x0;
    auto add = [&](Point p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    };
    for (const auto& e : elements_) {
        switch (e.kind) {
        case Element::Kind::MoveTo:
        case Element::Kind::LineTo:
            add(e.points[0]);
            break;
        case Element::Kind::CurveTo:
            for (const auto& pt : e.points)
                add(pt);
            break;
        case Element::Kind::Arc:
            add({e.points[0].x - e.radius, e.points[0].y - e.radius});
            add({e.points[0].x + e.radius, e.points[0].y + e.radius});
            break;
        case Element::Kind::Close:
            break;
        }
    }
    if (x1 < x0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace tk
