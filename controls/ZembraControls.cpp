// SPDX-License-Identifier: GPL-3.0-or-later
// Class-name registration of the editor's controls.
#include "controls/ZembraControls.h"

#include "controls/CustomButtonCell.h"
#include "controls/CustomToggleButtonCell.h"
#include "controls/VerticalSliderCell.h"
#include "controls/ZembraXYView.h"
#include "platform/toolkit/ClassRegistry.h"

void registerZembraControls() {
    auto& r = tk::ClassRegistry::shared();
    r.registerViewClass<ZembraXYView>("ZembraXYView");
    r.registerCellClass<VerticalSliderCell>("VerticalSliderCell");
    r.registerCellClass<CustomButtonCell>("CustomButtonCell");
    r.registerCellClass<CustomToggleButtonCell>("CustomToggleButtonCell");
}
