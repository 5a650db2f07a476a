// SPDX-License-Identifier: GPL-3.0-or-later
// Class-name registration of the editor's controls.
#include "controls/ZembraControls.h"

#include "controls/CustomButtonCell.h"
#include "controls/CustomToggleButtonCell.h"
#include "controls/VerticalSliderCell.h"
#include "controls/ZembraPadGuide.h"
#include "controls/ZembraSpectrumView.h"
#include "controls/ZembraXYView.h"
#include "platform/toolkit/ClassRegistry.h"

void registerZembraControls(const std::string& resourceBundle) {
    auto& r = tk::ClassRegistry::shared();
    r.registerView("ZembraXYView", [resourceBundle](const tk::Coder& c) {
        return std::make_shared<ZembraXYView>(c, resourceBundle);
    });
    r.registerView("ZembraPadGuide",
                   [](const tk::Coder& c) { return std::make_shared<ZembraPadGuide>(c); });
    r.registerView("ZembraSpectrumView",
                   [](const tk::Coder& c) { return std::make_shared<ZembraSpectrumView>(c); });
    r.registerCellClass<VerticalSliderCell>("VerticalSliderCell");
    r.registerCellClass<CustomButtonCell>("CustomButtonCell");
    r.registerCellClass<CustomToggleButtonCell>("CustomToggleButtonCell");
}
