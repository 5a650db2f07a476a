// SPDX-License-Identifier: GPL-3.0-or-later
// A view that hosts a cell, carries a value, and sends an action to a target when the
// user changes it.
#pragma once

#include "platform/toolkit/Cell.h"
#include "platform/toolkit/View.h"

#include <memory>
#include <string>

namespace tk {

class Control : public View {
  public:
    explicit Control(const Rect& frame, std::shared_ptr<Cell> cell = nullptr);
    // Decoding: "enabled", "continuous", the cell (class "cell" or `defaultCellClass`).
    Control(const Coder& coder, const std::string& defaultCellClass);
    ~Control() override;

    Cell* cell() const { return cell_.get(); }
    const std::shared_ptr<Cell>& sharedCell() const { return cell_; }
    void setCell(std::shared_ptr<Cell> cell);

    double doubleValue() const { return cell_ ? cell_->doubleValue() : 0.0; }
    float floatValue() const { return cell_ ? cell_->floatValue() : 0.0f; }
    int intValue() const { return cell_ ? cell_->intValue() : 0; }
    std::string stringValue() const { return cell_ ? cell_->stringValue() : std::string(); }
    void setDoubleValue(double v);
    void setFloatValue(float v) { setDoubleValue(v); }
    void setIntValue(int v) { setDoubleValue(v); }
    void setStringValue(const std::string& s);

    bool isEnabled() const { return cell_ ? cell_->isEnabled() : true; }
    void setEnabled(bool e);

    // The target is not owned: whoever sets it outlives the control or clears it.
    void setTarget(Connectable* target) { target_ = target; }
    Connectable* target() const { return target_; }
    void setAction(std::string selector) { action_ = std::move(selector); }
    const std::string& action() const { return action_; }
    // False without a target or action.
    bool sendAction();

    void drawRect(GraphicsContext& g, const Rect& dirty) override;
    void mouseDown(const Event& e) override;

  private:
    std::shared_ptr<Cell> cell_;
    Connectable* target_ = nullptr;
    std::string action_;
};

} // namespace tk
