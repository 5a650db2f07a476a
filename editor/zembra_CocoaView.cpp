// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view's waking, wiring and teardown: its outlets and actions in the interface
// description, and the order in which it takes up its jobs.
#include "editor/zembra_CocoaView.h"

#include "controls/ZembraPadGuide.h"
#include "controls/ZembraSpectrumView.h"
#include "controls/ZembraXYView.h"
#include "editor/ControlBindings.h"
#include "editor/LiveSpectra.h"
#include "editor/ZembraNotifications.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/Window.h"

#include <utility>

using namespace zembra;

namespace {

constexpr std::string_view kInfoAction = "iaGetInfo:";

// The action method a selector ("iaParamRoomChanged:") names, or null.
auto actionFor(std::string_view selector) -> decltype(ControlBinding::method) {
    if (!selector.ends_with(':')) return nullptr;
    selector.remove_suffix(1);
    for (const auto& binding : kControlBindings)
        if (binding.method && binding.action == selector) return binding.method;
    return nullptr;
}

} // namespace

zembra_CocoaView::zembra_CocoaView(const tk::Coder& coder) : tk::View(coder) {}

zembra_CocoaView::~zembra_CocoaView() {
    // Leave the notification centre first: once removeObserver returns, no handler of this
    // view runs on another thread, and none starts.
    fnd::NotificationCenter::defaultCenter().removeObserver(this);
    if (mGraphicsThread) mGraphicsThread->stop();
    _removeListeners();
    mSpectra.reset();
    mBackground.reset();
    for (auto& frame : mAnimatedBackground)
        frame.reset();
}

template <class Visit> void zembra_CocoaView::_forEachOutlet(Visit&& visit) {
    visit("uiZembra2DView", uiZembra2DView);
    visit("uiMixASlider", uiMixASlider);
    visit("uiMixATextField", uiMixATextField);
    visit("uiMixBSlider", uiMixBSlider);
    visit("uiMixBTextField", uiMixBTextField);
    visit("uiVolumeSlider", uiVolumeSlider);
    visit("uiVolumeTextField", uiVolumeTextField);
    visit("uiWetDrySlider", uiWetDrySlider);
    visit("uiWetDryTextField", uiWetDryTextField);
    visit("uiRoomSlider", uiRoomSlider);
    visit("uiRoomTextField", uiRoomTextField);
    visit("uiSoloAButton", uiSoloAButton);
    visit("uiSoloBButton", uiSoloBButton);
    visit("uiStereoModeButton", uiStereoModeButton);
    visit("uiXControlPopUp", uiXControlPopUp);
    visit("uiYControlPopUp", uiYControlPopUp);
    visit("uiSourceRoutingPopUp", uiSourceRoutingPopUp);
    visit("uiKlovStatus", uiKlovStatus);
    visit("uiSpectrumView", uiSpectrumView);
    visit("uiPadGuide", uiPadGuide);
    visit("uiRoutingHint", uiRoutingHint);
    visit("uiProgressPanel", uiProgressPanel);
}

bool zembra_CocoaView::setOutlet(std::string_view name, const std::shared_ptr<tk::View>& object) {
    bool taken = false;
    _forEachOutlet([&](std::string_view outletName, auto*& field) {
        if (outletName != name) return;
        // A view of another class than the outlet's is refused: the loader names it.
        auto* typed = dynamic_cast<std::remove_reference_t<decltype(*field)>*>(object.get());
        if (typed) field = typed;
        taken = typed != nullptr;
    });
    return taken;
}

tk::View* zembra_CocoaView::outlet(std::string_view name) const {
    tk::View* found = nullptr;
    const_cast<zembra_CocoaView*>(this)->_forEachOutlet(
        [&](std::string_view outletName, auto*& field) {
            if (outletName == name) found = field;
        });
    return found;
}

bool zembra_CocoaView::respondsToAction(std::string_view selector) const {
    return selector == kInfoAction || actionFor(selector) != nullptr;
}

void zembra_CocoaView::performAction(std::string_view selector, tk::Control& sender) {
    if (selector == kInfoAction) return iaGetInfo(&sender);
    if (const auto method = actionFor(selector)) (this->*method)(sender);
}

void zembra_CocoaView::awakeFromNib() {
    mAU = 0;
    mSessions = 0;
    mDoAnimation = true;
    setAutoresizingMask(kWidthSizable | kHeightSizable);

    auto& centre = fnd::NotificationCenter::defaultCenter();
    centre.post(kRunningCocoaUINotification);
    if (uiProgressPanel) uiProgressPanel->setHidden(false);

    _loadBackground();
    if (!mGraphicsThread) mGraphicsThread = std::make_unique<GraphicsThread>([this] { update(); });
    _configureControlsFromParameterTable();
    configureUiControls();

    auto observe = [&](const char* name, fnd::NotificationCenter::Handler handler) {
        centre.addObserver(this, name, nullptr, std::move(handler));
    };
    using N = const fnd::Notification&;
    observe(kSendUpdatedValuesToHostNotification,
            [this](N n) { iaParamZembraXYChangedNotification(n); });
    // Posted on the controller's thread: the text changes on the main thread.
    observe(kKlovConnectNotification,
            [this](N) { _onMainThread([](zembra_CocoaView& v) { v.iaKlovConnect(); }); });
    observe(kKlovDisconnectNotification,
            [this](N) { _onMainThread([](zembra_CocoaView& v) { v.iaKlovDisconnect(); }); });
    observe(kSetPeakInputLevelsNotification, [this](N n) { iaUpdateLevelMeters(n); });
    observe(kBeginGestureNotification, [this](N n) { handleBeginGesture(n); });
    observe(kParameterValueChangedNotification, [this](N n) { handleUpdateParameterValue(n); });
    observe(kEndGestureNotification, [this](N n) { handleEndGesture(n); });

    _showControllerStatus();
    if (uiProgressPanel) uiProgressPanel->setHidden(true);
}

void zembra_CocoaView::mouseDown(const tk::Event& e) {
    tk::View::mouseDown(e);
    if (window()) window()->makeFirstResponder(this);
}
