// SPDX-License-Identifier: GPL-3.0-or-later
// Text fields: a label when not editable; when editable, a one-line editor that takes the
// keyboard focus on a click and sends its action on Return and when the focus leaves it
// after an edit. Its numbers are read from the text as the user typed it.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Control.h"

#include <cstddef>
#include <string>

namespace tk {

class TextFieldCell : public Cell {
  public:
    TextFieldCell();
    // Decoding: "text", "editable", "bezeled", "drawsBackground", "alignment" ("left",
    // "center", "right"), "textColor".
    explicit TextFieldCell(const Coder& coder);

    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    bool isBezeled() const { return bezeled_; }
    void setBezeled(bool b);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d);
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment a);
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c);

    // The text's frame inside the cell frame.
    Rect textFrame(const Rect& cellFrame) const;
    TextAttributes textAttributes(bool editing) const;

    void drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) override;
    void drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame,
                               View& controlView) override;

  private:
    bool editable_ = true;
    bool bezeled_ = true;
    bool drawsBackground_ = true;
    TextAlignment alignment_ = TextAlignment::Left;
    Color textColor_;
};

class TextField : public Control {
  public:
    explicit TextField(const Rect& frame);
    explicit TextField(const Coder& coder);

    TextFieldCell* textFieldCell() const { return dynamic_cast<TextFieldCell*>(cell()); }
    bool isEditable() const;
    void setEditable(bool e);
    bool isEditing() const { return editing_; }
    // Caret position, in bytes of the UTF-8 text (always on a character boundary).
    size_t caret() const { return caret_; }

    void mouseDown(const Event& e) override;
    void mouseDragged(const Event&) override {}
    void mouseUp(const Event&) override {}
    void keyDown(const Event& e) override;
    bool acceptsFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

  private:
    void replaceText(std::string text, size_t caret);
    size_t caretAt(Point local) const;
    void commit();

    bool editing_ = false;
    bool edited_ = false;
    std::string original_; // the text when editing began, for Escape
    size_t caret_ = 0;
};

} // namespace tk
