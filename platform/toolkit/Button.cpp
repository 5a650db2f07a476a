// SPDX-License-Identifier: GPL-3.0-or-later
// Button control.
#include "platform/toolkit/Button.h"

#include "platform/toolkit/Coder.h"

namespace tk {

Button::Button(const Rect& frame, std::shared_ptr<ButtonCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<ButtonCell>()) {}

Button::Button(const Coder& coder) : Control(coder, "ButtonCell") {
    if (!buttonCell()) throw DescriptionError("a Button needs a button cell");
}

void Button::setState(CellState s) {
    if (cell()) cell()->setState(s);
}
void Button::setState(int s) {
    if (cell()) cell()->setState(s);
}
void Button::setTitle(std::string t) {
    if (cell()) cell()->setTitle(std::move(t));
}
void Button::setButtonType(ButtonType t) {
    if (auto* c = buttonCell()) c->setButtonType(t);
}

} // namespace tk
