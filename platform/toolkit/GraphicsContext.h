// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing context handed to views and cells: a cairo context whose user space is the
// toolkit's (points, y up), with the platform-style graphics state on top of it: colour,
// compositing operation, shadow and line width, all saved and restored together.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Geometry.h"
#include "platform/toolkit/Path.h"
#include "platform/toolkit/Shadow.h"
#include "platform/toolkit/Text.h"

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace tk {

class Image;

// Values match the platform's compositing constants (copy 1, source-over 2, plus-lighter 13).
enum class CompositingOperation : int { Copy = 1, SourceOver = 2, PlusLighter = 13 };

// Blurred shadow masks by shape, so a shadow that repeats frame after frame (a meter at the
// same level, a button's oval) is blurred once. Bounded; least recently used go first.
class ShadowCache {
  public:
    explicit ShadowCache(size_t capacity = 48) : capacity_(capacity) {}
    ~ShadowCache();
    ShadowCache(const ShadowCache&) = delete;
    ShadowCache& operator=(const ShadowCache&) = delete;

    // Borrowed reference, valid until the next insert.
    cairo_surface_t* find(const std::string& key);
    void insert(std::string key, cairo_surface_t* mask); // takes ownership
    size_t size() const { return entries_.size(); }
    size_t hits() const { return hits_; }

  private:
    struct Entry {
        std::string key;
        cairo_surface_t* mask;
    };
    size_t capacity_;
    size_t hits_ = 0;
    std::list<Entry> entries_;
};

enum class VerticalAlignment { Top, Center };

class GraphicsContext {
  public:
    // Draws on `target`, whose extent is `size` points at `scale` device pixels per point.
    GraphicsContext(cairo_surface_t* target, Size size, double scale,
                    ShadowCache* shadows = nullptr);
    // Draws with a host's cairo context, whose user space is y-down device pixels with the
    // window's top-left at the origin. The context's state is restored on destruction.
    GraphicsContext(cairo_t* cr, Size size, double scale, ShadowCache* shadows = nullptr);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    void saveGraphicsState();
    void restoreGraphicsState();

    // Fences the current save level: until the matching unfence, a restore cannot pop it,
    // and unfence unwinds saves left open. The window fences each view's drawing so that
    // one view's unbalanced saves or restores cannot disturb the next.
    size_t fence();
    void unfence(size_t previous);

    void translate(double dx, double dy);
    void clipToRect(const Rect& r);

    void setColor(const Color& c); // for filling and stroking alike
    const Color& color() const { return state_.color; }
    void setCompositingOperation(CompositingOperation op) { state_.operation = op; }
    CompositingOperation compositingOperation() const { return state_.operation; }
    void setShadow(std::optional<Shadow> s) { state_.shadow = std::move(s); }
    const std::optional<Shadow>& shadow() const { return state_.shadow; }
    void setLineWidth(double w) { state_.lineWidth = w; }
    double lineWidth() const { return state_.lineWidth; }

    void fillRect(const Rect& r);
    void fillEllipse(const Rect& r);
    void strokeEllipse(const Rect& r);
    void fillPath(const Path& p);
    void strokePath(const Path& p);
    // The whole image with its lower-left corner at `p`, unscaled, at opacity `fraction`.
    void drawImage(const Image& image, Point p, CompositingOperation op, double fraction);
    // The whole image stretched over `dest`.
    void drawImage(const Image& image, const Rect& dest, CompositingOperation op, double fraction);
    // Lays `s` out in `frame` by its paragraph style; single-line styles are centred
    // vertically. Returns the laid-out text's logical rectangle (window coordinates).
    Rect drawText(const AttributedString& s, const Rect& frame,
                  VerticalAlignment v = VerticalAlignment::Center);

    double scale() const { return scale_; }
    Size size() const { return size_; }
    cairo_t* cairo() const { return cr_; }
    Point userToWindow(Point p) const;
    Rect userToWindow(const Rect& r) const;

  private:
    struct State {
        Color color = Color::calibratedWhite(0.0);
        CompositingOperation operation = CompositingOperation::SourceOver;
        std::optional<Shadow> shadow;
        double lineWidth = 1.0;
    };
    void setUpBaseTransform();
    void applyPath(cairo_t* cr, const Path& p) const;
    // Paints `shape` (which sets its own path and source and fills/paints) with the
    // current compositing operation, under the current shadow if there is one.
    void render(const std::string& shapeKey, const Rect& userBounds, double strokeOutset,
                const std::function<void(cairo_t*)>& shape, CompositingOperation op);

    cairo_t* cr_;
    bool ownsContext_;
    Size size_;
    double scale_;
    ShadowCache* shadows_;
    State state_;
    std::vector<State> stack_;
    size_t floor_ = 0;
    double baseMatrix_[6]{}; // window points -> device pixels
};

} // namespace tk
