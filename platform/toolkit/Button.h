// SPDX-License-Identifier: GPL-3.0-or-later
// A button control over a ButtonCell (or a subclass).
#pragma once

#include "platform/toolkit/ButtonCell.h"
#include "platform/toolkit/Control.h"

namespace tk {

class Button : public Control {
  public:
    explicit Button(const Rect& frame, std::shared_ptr<ButtonCell> cell = nullptr);
    explicit Button(const Coder& coder);

    ButtonCell* buttonCell() const { return dynamic_cast<ButtonCell*>(cell()); }
    CellState state() const { return cell() ? cell()->state() : CellState::Off; }
    void setState(CellState s);
    void setState(int s);
    std::string title() const { return cell() ? cell()->title() : std::string(); }
    void setTitle(std::string t);
    void setButtonType(ButtonType t);
};

} // namespace tk
