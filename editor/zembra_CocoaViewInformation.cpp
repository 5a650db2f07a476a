// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view's status and information: the input levels in the Mix sliders' meters, the
// hardware controller's status line, and the information panel with its way to the change
// log.
#include "editor/zembra_CocoaView.h"

#include "controls/VerticalSliderCell.h"
#include "editor/SystemServices.h"
#include "editor/ZembraNotifications.h"
#include "engine/RTzembra.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/Window.h"
#include "support/BundleIdentity.h"
#include "support/ControllerStatus.h"
#include "support/PluginBundle.h"

#include <cmath>
#include <utility>

using namespace zembra;

void zembra_CocoaView::_showControllerStatus() {
    if (controllerConnected())
        iaKlovConnect();
    else
        iaKlovDisconnect();
}

void zembra_CocoaView::_onMainThread(std::function<void(zembra_CocoaView&)> work) {
    if (fnd::RunLoop::main().isCurrent()) return work(*this);
    fnd::RunLoop::main().perform([weak = weak_from_this(), work = std::move(work)] {
        if (auto view = weak.lock()) work(static_cast<zembra_CocoaView&>(*view));
    });
}

void zembra_CocoaView::iaUpdateLevelMeters(const fnd::Notification& n) {
    const auto refCon = fnd::int32Value(n.userInfo, kRefConKey);
    if (!refCon) return;
    auto level = [&n](const char* key) {
        const float v = fnd::floatValue(n.userInfo, key).value_or(0.0f);
        return std::isfinite(v) ? v : 0.0f;
    };
    const AudioUnit unit = *refCon;
    const float a = level(kInAPeakKey);
    const float b = level(kInBPeakKey);
    // The audio side may post from its own thread; the meters redraw on the main one.
    _onMainThread([unit, a, b](zembra_CocoaView& view) {
        // Handles are positive, so an unbound view (mAU 0) shows no instance's levels.
        if (view.mAU == 0 || unit != view.mAU) return;
        view.mPeakA = a;
        view.mPeakB = b;
        for (auto [slider, value] : {std::pair{view.uiMixASlider, a}, {view.uiMixBSlider, b}})
            if (auto* cell = slider ? dynamic_cast<VerticalSliderCell*>(slider->cell()) : nullptr)
                cell->setRmsLevel(value);
    });
}

void zembra_CocoaView::iaKlovConnect() {
    if (uiKlovStatus) uiKlovStatus->setStringValue("Kallnor <KLOV> found");
}

void zembra_CocoaView::iaKlovDisconnect() {
    if (uiKlovStatus) uiKlovStatus->setStringValue("");
}

void zembra_CocoaView::iaGetInfo(tk::Control*) {
    const std::string version = GetVersion().value_or(kVersion);
    std::string text;
    text += "Product Version: \t" + version + "\n";
    text += std::string("Algorithm Version:\t") + RTzembraGetVersion() + "\n";
    text += std::string("Klov Status:\t") +
            (controllerConnected() ? "Kallnor <KLOV> is connected" : "No Kallnor <KLOV> found") +
            "\n";
    text += std::string("Bg Animation:\t") +
            (mDoAnimation ? "Using animated background" : "Animated background is off") + "\n";
    text += "Platform:\tIntel 64bit\n";

    tk::Window* w = window();
    if (!w) return; // a view outside any window has nowhere to show the panel
    auto alert = tk::Alert::make("About", text, "Ok", "Show ChangeLog");
    alert->beginModal(*w, [](int answer) {
        if (answer == tk::Alert::kAlternateReturn) openChangeLog();
    });
}
