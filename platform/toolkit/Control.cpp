// SPDX-License-Identifier: GPL-3.0-or-later
// Controls: a view over a cell, with target and action.
#include "platform/toolkit/Control.h"

#include "platform/toolkit/ClassRegistry.h"
#include "platform/toolkit/Coder.h"
#include "platform/toolkit/GraphicsContext.h"

namespace tk {

Control::Control(const Rect& frame, std::shared_ptr<Cell> cell) : View(frame) {
    setCell(cell ? std::move(cell) : std::make_shared<Cell>());
}

Control::Control(const Coder& coder, const std::string& defaultCellClass) : View(coder) {
    setCell(coder.decodeCell(defaultCellClass));
}

Control::~Control() {
    if (cell_ && cell_->controlView() == this) cell_->setControlView(nullptr);
}

void Control::setCell(std::shared_ptr<Cell> cell) {
    if (cell_ && cell_->controlView() == this) cell_->setControlView(nullptr);
    cell_ = std::move(cell);
    if (cell_) cell_->setControlView(this);
    setNeedsDisplay();
}

void Control::setDoubleValue(double v) {
    if (cell_) cell_->setDoubleValue(v);
}

void Control::setStringValue(const std::string& s) {
    if (cell_) cell_->setStringValue(s);
}

void Control::setEnabled(bool e) {
    if (cell_) cell_->setEnabled(e);
}

bool Control::sendAction() {
    if (!target_ || action_.empty()) return false;
    target_->performAction(action_, *this);
    return true;
}

void Control::drawRect(GraphicsContext& g, const Rect&) {
    if (cell_) cell_->drawWithFrame(g, bounds(), *this);
}

void Control::mouseDown(const Event& e) {
    if (!cell_ || !cell_->isEnabled()) return;
    cell_->trackMouse(e, bounds(), *this, cell_->prefersTrackingUntilMouseUp(), nullptr);
}

} // namespace tk
