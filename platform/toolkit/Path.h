// SPDX-License-Identifier: GPL-3.0-or-later
// Bezier paths in view coordinates: straight lines, cubic curves, circular arcs given in
// degrees counter-clockwise (y up), rectangles, ovals and rounded rectangles.
#pragma once

#include "platform/toolkit/Geometry.h"

#include <vector>

namespace tk {

class Path {
  public:
    struct Element {
        enum class Kind { MoveTo, LineTo, CurveTo, Arc, Close };
        Kind kind;
        Point points[3]{};   // MoveTo/LineTo: [0]; CurveTo: control 1, control 2, end
        double radius = 0.0; // Arc: centre in points[0]
        double startDegrees = 0.0;
        double endDegrees = 0.0;
    };

    static Path rect(const Rect& r);
    static Path ovalInRect(const Rect& r);
    // One radius for all four corners, clamped to half the shorter side.
    static Path roundedRect(const Rect& r, double radius);

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point c1, Point c2, Point end);
    // Counter-clockwise arc; like the platform's, it first joins the current point (if
    // any) to the arc's start with a straight line.
    void arc(Point centre, double radius, double startDegrees, double endDegrees);
    void close();

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // Bounds of the control points (arcs by their whole circle's extent clipped to the
    // swept quadrants would be tighter; this is used for damage and shadow extents only).
    Rect bounds() const;

  private:
    std::vector<Element> elements_;
};

} // namespace tk
