// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and attributed strings, laid out by pango. Sizes are in points: the layout runs at
// 72 dpi with metric hinting off, so a measurement holds at any window scale.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Geometry.h"
#include "platform/toolkit/Style.h"

#include <string>

typedef struct _PangoLayout PangoLayout;
typedef struct _cairo cairo_t;

namespace tk {

struct Font {
    std::string family = style::kFontFamily;
    double size = style::kSystemFontSize;
    bool bold = false;

    static Font systemFont(double size = style::kSystemFontSize) {
        return {style::kFontFamily, size, false};
    }
    static Font boldSystemFont(double size = style::kSystemFontSize) {
        return {style::kFontFamily, size, true};
    }
    friend bool operator==(const Font&, const Font&) = default;
};

enum class TextAlignment { Left, Center, Right };
enum class LineBreakMode { WordWrap, Clip, TruncateTail };

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Left;
    LineBreakMode lineBreak = LineBreakMode::WordWrap;
    double tabInterval = 0.0; // points between tab stops; 0 keeps pango's default
    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

// Attributes over a whole string.
struct TextAttributes {
    Color foreground = style::kText;
    Font font;
    ParagraphStyle paragraph;
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

class AttributedString {
  public:
    AttributedString() = default;
    AttributedString(std::string text, TextAttributes attributes)
        : text_(std::move(text)), attributes_(std::move(attributes)) {}

    const std::string& string() const { return text_; }
    const TextAttributes& attributes() const { return attributes_; }
    // In UTF-8 bytes.
    size_t length() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

    void setAttributes(TextAttributes a) { attributes_ = std::move(a); }
    void setParagraphStyle(ParagraphStyle p) { attributes_.paragraph = p; }

  private:
    std::string text_;
    TextAttributes attributes_;
};

// Size a string takes when laid out `maxWidth` points wide (negative: unbounded).
Size measureText(const AttributedString& s, double maxWidth = -1.0);

namespace detail {
// A layout of `s` for `cr` (or for measuring when `cr` is null), `width` points wide
// (negative: unbounded). The caller owns the layout (g_object_unref).
PangoLayout* createLayout(cairo_t* cr, const AttributedString& s, double width);
} // namespace detail

} // namespace tk
