// SPDX-License-Identifier: GPL-3.0-or-later
// A slider control; its cell (SliderCell or a subclass) does the work.
#pragma once

#include "platform/toolkit/Control.h"
#include "platform/toolkit/SliderCell.h"

namespace tk {

class Slider : public Control {
  public:
    explicit Slider(const Rect& frame, std::shared_ptr<SliderCell> cell = nullptr);
    explicit Slider(const Coder& coder);

    SliderCell* sliderCell() const { return dynamic_cast<SliderCell*>(cell()); }
    double minValue() const;
    double maxValue() const;
    void setMinValue(double v);
    void setMaxValue(double v);
};

} // namespace tk
