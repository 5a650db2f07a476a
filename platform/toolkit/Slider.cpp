// SPDX-License-Identifier: GPL-3.0-or-later
// Slider control.
#include "platform/toolkit/Slider.h"

#include "platform/toolkit/Coder.h"

namespace tk {

Slider::Slider(const Rect& frame, std::shared_ptr<SliderCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<SliderCell>()) {}

Slider::Slider(const Coder& coder) : Control(coder, "SliderCell") {
    if (!sliderCell()) throw DescriptionError("a Slider needs a slider cell");
}

double Slider::minValue() const {
    return sliderCell() ? sliderCell()->minValue() : 0.0;
}
double Slider::maxValue() const {
    return sliderCell() ? sliderCell()->maxValue() : 0.0;
}
void Slider::setMinValue(double v) {
    if (auto* c = sliderCell()) c->setMinValue(v);
}
void Slider::setMaxValue(double v) {
    if (auto* c = sliderCell()) c->setMaxValue(v);
}

} // namespace tk
