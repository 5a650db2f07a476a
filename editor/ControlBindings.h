// SPDX-License-Identifier: GPL-3.0-or-later
// Which of the editor's controls show and set each of the twelve parameters and the audio
// side's routing, and how: one row per control of the host, read by the editor for every change
// in either direction and by the test that holds the interface description to the table.
#pragma once

#include "editor/zembra_CocoaView.h"
#include "engine/ZembraParameters.h"

#include <array>
#include <string_view>

namespace zembra {

enum class ControlKind : std::uint8_t {
    SliderPair, // a slider and its text field, both sending `action`
    Pad,        // one axis of the XY pad, which speaks through notifications
    PopUp,      // the selected item's index
    Toggle,     // a button's state
};

struct ControlBinding {
    int parameter;
    ControlKind kind;
    // The action the controls send ("iaParamRoomChanged:" without its colon) and its method.
    std::string_view action;
    void (zembra_CocoaView::*method)(tk::Control&);
    std::string_view control;
    std::string_view field; // slider pairs only: the text field beside the slider
};

// Whether a control of `control`'s kind can show every value of a parameter of `kind`.
constexpr bool controlFits(ControlKind control, ParameterKind kind) {
    switch (control) {
    case ControlKind::SliderPair:
    case ControlKind::Pad:
        return kind == ParameterKind::Continuous;
    case ControlKind::PopUp:
        return kind == ParameterKind::Enumeration;
    case ControlKind::Toggle:
        return kind == ParameterKind::Toggle;
    }
    return false;
}

// Indexed by parameter id. An action is named once: the macro gives its text and its method.
#define ZEMBRA_ACTION(method) #method, &zembra_CocoaView::method
// clang-format off
inline constexpr std::array<ControlBinding, kControlCount> kControlBindings = {{
    {kParamMixA, ControlKind::SliderPair, ZEMBRA_ACTION(iaParamMixAChanged),
     "uiMixASlider", "uiMixATextField"},
    {kParamMixB, ControlKind::SliderPair, ZEMBRA_ACTION(iaParamMixBChanged),
     "uiMixBSlider", "uiMixBTextField"},
    {kParamVolume, ControlKind::SliderPair, ZEMBRA_ACTION(iaParamVolumeChanged),
     "uiVolumeSlider", "uiVolumeTextField"},
    {kParamX, ControlKind::Pad, "", nullptr, "uiZembra2DView", ""},
    {kParamY, ControlKind::Pad, "", nullptr, "uiZembra2DView", ""},
    {kParamWetDry, ControlKind::SliderPair, ZEMBRA_ACTION(iaParamWetDryChanged),
     "uiWetDrySlider", "uiWetDryTextField"},
    {kParamRoom, ControlKind::SliderPair, ZEMBRA_ACTION(iaParamRoomChanged),
     "uiRoomSlider", "uiRoomTextField"},
    {kParamXControl, ControlKind::PopUp, ZEMBRA_ACTION(iaParamXControlChanged),
     "uiXControlPopUp", ""},
    {kParamYControl, ControlKind::PopUp, ZEMBRA_ACTION(iaParamYControlChanged),
     "uiYControlPopUp", ""},
    {kParamStereoMode, ControlKind::Toggle, ZEMBRA_ACTION(iaParamStereoModeChanged),
     "uiStereoModeButton", ""},
    {kParamSoloA, ControlKind::Toggle, ZEMBRA_ACTION(iaParamSoloAChanged), "uiSoloAButton", ""},
    {kParamSoloB, ControlKind::Toggle, ZEMBRA_ACTION(iaParamSoloBChanged), "uiSoloBButton", ""},
    {kParamSourceRouting, ControlKind::PopUp, ZEMBRA_ACTION(iaParamSourceRoutingChanged),
     "uiSourceRoutingPopUp", ""},
}};
// clang-format on
#undef ZEMBRA_ACTION

constexpr bool bindingsFitTheTable() {
    for (std::size_t id = 0; id < kControlBindings.size(); ++id)
        if (kControlBindings[id].parameter != static_cast<int>(id) ||
            !controlFits(kControlBindings[id].kind, kControls[id].kind))
            return false;
    return true;
}
static_assert(bindingsFitTheTable(), "a parameter is bound to a control that cannot show it");

} // namespace zembra
