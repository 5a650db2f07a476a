// SPDX-License-Identifier: GPL-3.0-or-later
// A drop shadow: offset in points (y up, so (2, -3) falls right and down), Gaussian
// blur radius in points, and colour.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Geometry.h"

namespace tk {

struct Shadow {
    Size offset;
    double blurRadius = 0.0;
    Color color = Color::calibratedWhite(0.0, 1.0 / 3.0);
    friend bool operator==(const Shadow&, const Shadow&) = default;
};

} // namespace tk
