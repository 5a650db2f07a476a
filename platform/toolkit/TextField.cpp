// SPDX-License-Identifier: GPL-3.0-or-later
// Text field drawing and one-line editing.
#include "platform/toolkit/TextField.h"

#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Drawing.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/Style.h"
#include "platform/toolkit/Window.h"

#include <cmath>

namespace tk {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t previousBoundary(const std::string& s, size_t i) {
    if (i == 0) return 0;
    --i;
    while (i > 0 && isContinuation(s[i]))
        --i;
    return i;
}

size_t nextBoundary(const std::string& s, size_t i) {
    if (i >= s.size()) return s.size();
    ++i;
    while (i < s.size() && isContinuation(s[i]))
        ++i;
    return i;
}

// Typed text only: control characters would break the one-line layout.
std::string printable(const std::string& s) {
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
    return out;
}

} // namespace

// A field holds text, empty to begin with, not the number 0.
TextFieldCell::TextFieldCell() : textColor_(style::kText) {
    setStringValue("");
}

TextFieldCell::TextFieldCell(const Coder& coder) : Cell(coder), textColor_(style::kText) {
    setStringValue(coder.string("text").value_or(""));
    editable_ = coder.boolean("editable").value_or(true);
    bezeled_ = coder.boolean("bezeled").value_or(true);
    drawsBackground_ = coder.boolean("drawsBackground").value_or(bezeled_);
    if (auto a = coder.choice("alignment", {"left", "center", "right"}))
        alignment_ = static_cast<TextAlignment>(*a);
    if (auto c = coder.color("textColor")) textColor_ = *c;
}

void TextFieldCell::setBezeled(bool b) {
    bezeled_ = b;
    updateControlView();
}
void TextFieldCell::setDrawsBackground(bool d) {
    drawsBackground_ = d;
    updateControlView();
}
void TextFieldCell::setAlignment(TextAlignment a) {
    alignment_ = a;
    updateControlView();
}
void TextFieldCell::setTextColor(const Color& c) {
    textColor_ = c;
    updateControlView();
}

Rect TextFieldCell::textFrame(const Rect& cellFrame) const {
    const double inset = bezeled_ ? style::kFieldTextInset : 1.0;
    return cellFrame.insetBy(inset, 0.0);
}

TextAttributes TextFieldCell::textAttributes(bool editing) const {
    TextAttributes a;
    a.font = font();
    a.foreground = isEnabled() ? textColor_ : style::kTextDisabled;
    // While editing, the caret must stay visible: clip instead of an ellipsis.
    a.paragraph = {alignment_, editing ? LineBreakMode::Clip : LineBreakMode::TruncateTail};
    return a;
}

void TextFieldCell::drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) {
    const auto* field = dynamic_cast<const TextField*>(&controlView);
    const bool focused = field && field->isEditing();
    if (bezeled_ || drawsBackground_) drawing::drawFieldWell(g, cellFrame, focused);
    drawInteriorWithFrame(g, cellFrame, controlView);
}

void TextFieldCell::drawInteriorWithFrame(GraphicsContext& g, const Rect& cellFrame,
                                          View& controlView) {
    const auto* field = dynamic_cast<const TextField*>(&controlView);
    const bool editing = field && field->isEditing();
    const std::string text = stringValue();
    const Rect frame = textFrame(cellFrame);
    if (!text.empty()) g.drawText(AttributedString(text, textAttributes(editing)), frame);
    if (editing) {
        // Caret after the text's prefix, measured the way it is drawn.
        const TextAttributes a = textAttributes(true);
        const double full = measureText(AttributedString(text, a)).width;
        const double prefix =
            measureText(AttributedString(text.substr(0, field->caret()), a)).width;
        double x0 = frame.x();
        if (a.paragraph.alignment == TextAlignment::Center) x0 += (frame.width() - full) * 0.5;
        if (a.paragraph.alignment == TextAlignment::Right) x0 += frame.width() - full;
        const double h = std::min(frame.height() - 4.0, a.font.size * 1.3);
        g.saveGraphicsState();
        g.setColor(style::kCaret);
        g.fillRect({std::round(x0 + prefix), frame.midY() - h * 0.5, 1.0, h});
        g.restoreGraphicsState();
    }
}

TextField::TextField(const Rect& frame) : Control(frame, std::make_shared<TextFieldCell>()) {}

TextField::TextField(const Coder& coder) : Control(coder, "TextFieldCell") {
    if (!textFieldCell()) throw DescriptionError("a TextField needs a text field cell");
}

bool TextField::isEditable() const {
    return textFieldCell() && textFieldCell()->isEditable();
}

void TextField::setEditable(bool e) {
    if (auto* c = textFieldCell()) c->setEditable(e);
    if (!e && editing_ && window()) window()->makeFirstResponder(nullptr);
}

bool TextField::acceptsFirstResponder() const {
    return isEditable() && isEnabled();
}

bool TextField::becomeFirstResponder() {
    if (!acceptsFirstResponder()) return false;
    editing_ = true;
    edited_ = false;
    original_ = stringValue();
    caret_ = original_.size();
    setNeedsDisplay();
    return true;
}

bool TextField::resignFirstResponder() {
    if (editing_) {
        editing_ = false;
        // Leaving the field after an edit commits it, as Return would have.
        if (edited_) commit();
        setNeedsDisplay();
    }
    return true;
}

void TextField::commit() {
    edited_ = false;
    original_ = stringValue();
    sendAction();
}

size_t TextField::caretAt(Point local) const {
    const auto* c = textFieldCell();
    if (!c) return 0;
    const std::string text = stringValue();
    const TextAttributes a = c->textAttributes(true);
    const Rect frame = c->textFrame(bounds());
    const double full = measureText(AttributedString(text, a)).width;
    double x0 = frame.x();
    if (a.paragraph.alignment == TextAlignment::Center) x0 += (frame.width() - full) * 0.5;
    if (a.paragraph.alignment == TextAlignment::Right) x0 += frame.width() - full;
    size_t best = 0;
    double bestDist = std::abs(local.x - x0);
    for (size_t i = nextBoundary(text, 0); i <= text.size(); i = nextBoundary(text, i)) {
        const double x = x0 + measureText(AttributedString(text.substr(0, i), a)).width;
        if (std::abs(local.x - x) < bestDist) bestDist = std::abs(local.x - x), best = i;
        if (i == text.size()) break;
    }
    return best;
}

void TextField::mouseDown(const Event& e) {
    if (!editing_) return; // the window has made us first responder if we take focus
    caret_ = caretAt(convertPointFromView(e.locationInWindow, nullptr));
    setNeedsDisplay();
}

void TextField::replaceText(std::string text, size_t caret) {
    edited_ = true;
    setStringValue(text);
    caret_ = std::min(caret, text.size());
}

void TextField::keyDown(const Event& e) {
    if (!editing_) {
        Control::keyDown(e);
        return;
    }
    std::string text = stringValue();
    caret_ = std::min(caret_, text.size());
    switch (e.key) {
    case Key::Return:
    case Key::Enter:
        commit();
        break;
    case Key::Escape:
        setStringValue(original_);
        caret_ = original_.size();
        edited_ = false;
        break;
    case Key::Tab:
        if (window()) window()->makeFirstResponder(nullptr);
        break;
    case Key::Backspace:
        if (caret_ > 0) {
            const size_t p = previousBoundary(text, caret_);
            text.erase(p, caret_ - p);
            replaceText(text, p);
        }
        break;
    case Key::Delete:
        if (caret_ < text.size()) {
            text.erase(caret_, nextBoundary(text, caret_) - caret_);
            replaceText(text, caret_);
        }
        break;
    case Key::Left:
        caret_ = previousBoundary(text, caret_);
        break;
    case Key::Right:
        caret_ = nextBoundary(text, caret_);
        break;
    case Key::Home:
    case Key::Up:
        caret_ = 0;
        break;
    case Key::End:
    case Key::Down:
        caret_ = text.size();
        break;
    case Key::None: {
        const std::string typed = printable(e.characters);
        if (typed.empty() || (e.modifierFlags & (kControlKey | kCommandKey))) break;
        text.insert(caret_, typed);
        replaceText(text, caret_ + typed.size());
        break;
    }
    }
    setNeedsDisplay();
}

} // namespace tk
