// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view's binding to its plug-in instance: the controls take their ranges and items
// from the parameter table, show the values the host announces and write what the user sets,
// and the controls' gestures become the host's gesture events. Each control's part is one
// row of kControlBindings.
#include "editor/zembra_CocoaView.h"

#include "controls/VerticalSliderCell.h"
#include "controls/ZembraXYView.h"
#include "editor/ControlBindings.h"
#include "editor/ZembraNotifications.h"
#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "support/BundleIdentity.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>

using namespace zembra;

namespace {

constexpr float kNotificationInterval = 0.1f; // seconds between deliveries of one parameter
constexpr float kAxisUnchanged = -1.0f;       // tells the pad to keep that axis

const char* const kSourceName = __FILE_NAME__;

// Truncation toward zero that stays defined for every float: NaN gives 0 and values beyond
// the range saturate.
std::int32_t truncateToInt32(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    if (v < -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

template <class T> T* typedOutlet(const zembra_CocoaView& view, std::string_view name) {
    return name.empty() ? nullptr : dynamic_cast<T*>(view.outlet(name));
}

// "[zembra_CocoaView iaParamRoomChanged:]", the method an action's failure names.
std::string methodName(std::string_view action) {
    return "[zembra_CocoaView " + std::string(action) + ":]";
}

// What a pop-up or a button writes: its index or state, else the sender's whole value.
float controlValue(ControlKind kind, const tk::Control& sender) {
    if (kind == ControlKind::PopUp)
        if (const auto* popUp = dynamic_cast<const tk::PopUpButton*>(&sender))
            return static_cast<float>(popUp->indexOfSelectedItem());
    if (kind == ControlKind::Toggle)
        if (const auto* button = dynamic_cast<const tk::Button*>(&sender))
            return static_cast<float>(static_cast<int>(button->state()));
    return static_cast<float>(sender.intValue());
}

} // namespace

void ParameterListenerDispatcher(void* context, void* object, const AudioUnitParameter* parameter,
                                 AudioUnitParameterValue value) {
    static_cast<zembra_CocoaView*>(context)->_parameterListener(object, *parameter, value);
}

void zembra_CocoaView::_report(const char* method, int line, const char* description) {
    fnd::AssertionHandler::current().report(method, this, kSourceName, line, description);
}

void zembra_CocoaView::_configureControlsFromParameterTable() {
    for (const ControlBinding& binding : kControlBindings) {
        const ParameterInfo& parameter = kControls[static_cast<std::size_t>(binding.parameter)];
        if (auto* slider = typedOutlet<tk::Slider>(*this, binding.control);
            slider && binding.kind == ControlKind::SliderPair) {
            slider->setMinValue(parameter.min);
            slider->setMaxValue(parameter.max);
        }
        if (auto* popUp = typedOutlet<tk::PopUpButton>(*this, binding.control)) {
            popUp->removeAllItems();
            popUp->addItemsWithTitles({parameter.labels.begin(), parameter.labels.end()});
        }
    }
}

void zembra_CocoaView::configureUiControls() {
    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(kBundleIdentifier);
    if (!bundle) {
        fnd::log(fnd::LogLevel::Error, "bundle not valid!!");
        return;
    }
    const auto thumb = bundle->pathForResource(kSliderThumbPicture, "png");
    for (const ControlBinding& binding : kControlBindings) {
        auto* slider = typedOutlet<tk::Slider>(*this, binding.control);
        auto* cell = slider ? dynamic_cast<VerticalSliderCell*>(slider->cell()) : nullptr;
        if (cell) cell->setThumbImage(thumb.value_or(std::filesystem::path()));
    }
}

void zembra_CocoaView::setAU(AudioUnit au) {
    if (mAU != 0 || mParameterListener != 0) _removeListeners();
    mAU = au;
    mBoundCount = 0;
    _startSpectra();
    if (au == 0) return; // unbinding only: there is nothing to listen to
    // The routing belongs to the audio side: an instance without one (a host of the twelve
    // alone) leaves its control at the default, out of use.
    AudioUnitParameterValue routing = 0.0f;
    const bool routes = AudioUnitGetParameter(au, kParamSourceRouting, kAudioUnitScope_Global, 0,
                                              &routing) == kAUNoErr;
    mBoundCount = routes ? kParameterCount : kZembraParameterCount;
    if (uiSourceRoutingPopUp) uiSourceRoutingPopUp->setEnabled(routes);
    _addListeners();
    _synchronizeUIWithParameterValues();
}

void zembra_CocoaView::_addListeners() {
    static constexpr char kMethod[] = "[zembra_CocoaView _addListeners]";
    if (AUListenerCreate(ParameterListenerDispatcher, this, fnd::RunLoop::current(),
                         kNotificationInterval, &mParameterListener) != kAUNoErr)
        _report(kMethod, __LINE__, "[zembra_CocoaView _addListeners] AUListenerCreate()");
    for (AudioUnitParameterID i = 0; i < mBoundCount; ++i) {
        mParameter[i] = {mAU, i, kAudioUnitScope_Global, 0};
        mRegistered[i] =
            AUListenerAddParameter(mParameterListener, nullptr, &mParameter[i]) == kAUNoErr;
        if (!mRegistered[i])
            _report(kMethod, __LINE__, "[zembra_CocoaView _addListeners] AUListenerAddParameter()");
    }
}

void zembra_CocoaView::_removeListeners() {
    static constexpr char kMethod[] = "[zembra_CocoaView _removeListeners]";
    // A view never bound (or whose listener could not be made) has nothing registered.
    if (mParameterListener == 0) return;
    // The host must not be left recording a gesture this view can no longer end.
    _endBegunGestures();
    for (AudioUnitParameterID i = 0; i < kParameterCount; ++i) {
        // A parameter the listener refused (its failure was reported then) has nothing to
        // remove.
        if (!std::exchange(mRegistered[i], false)) continue;
        if (AUListenerRemoveParameter(mParameterListener, nullptr, &mParameter[i]) != kAUNoErr)
            _report(kMethod, __LINE__,
                    "[zembra_CocoaView _removeListeners] AUListenerRemoveParameter()");
    }
    if (AUListenerDispose(mParameterListener) != kAUNoErr)
        _report(kMethod, __LINE__, "[zembra_CocoaView _removeListeners] AUListenerDispose()");
    mParameterListener = 0;
}

void zembra_CocoaView::_synchronizeUIWithParameterValues() {
    static constexpr char kMethod[] = "[zembra_CocoaView _synchronizeUIWithParameterValues]";
    for (AudioUnitParameterID i = 0; i < mBoundCount; ++i) {
        AudioUnitParameterValue value = 0.0f;
        if (AudioUnitGetParameter(mAU, i, kAudioUnitScope_Global, 0, &value) != kAUNoErr) {
            _report(kMethod, __LINE__, "[zembra_CocoaView synchronizeUIWithParameterValues] (x.1)");
            continue; // writing back a value never read would change the plug-in
        }
        if (AUParameterSet(mParameterListener, this, &mParameter[i], value, 0) != kAUNoErr)
            _report(kMethod, __LINE__, "[zembra_CocoaView synchronizeUIWithParameterValues] (x.2)");
        if (AUParameterListenerNotify(mParameterListener, this, &mParameter[i]) != kAUNoErr)
            _report(kMethod, __LINE__, "[zembra_CocoaView synchronizeUIWithParameterValues] (x.3)");
    }
}

void zembra_CocoaView::_parameterListener(void*, const AudioUnitParameter& parameter,
                                          AudioUnitParameterValue value) {
    const AudioUnitParameterID id = parameter.mParameterID;
    if (id >= kControlBindings.size()) return;
    const ControlBinding& binding = kControlBindings[id];
    switch (binding.kind) {
    case ControlKind::SliderPair:
        if (auto* slider = typedOutlet<tk::Slider>(*this, binding.control))
            slider->setFloatValue(value);
        if (auto* field = typedOutlet<tk::TextField>(*this, binding.field))
            field->setIntValue(truncateToInt32(value));
        return;
    case ControlKind::Pad: {
        const bool x = binding.parameter == kParamX;
        fnd::NotificationCenter::defaultCenter().post(
            kSetValuesFromHostNotification, postingObject(this),
            {{kXValueKey, x ? value : kAxisUnchanged}, {kYValueKey, x ? kAxisUnchanged : value}});
        return;
    }
    case ControlKind::PopUp:
        if (auto* popUp = typedOutlet<tk::PopUpButton>(*this, binding.control))
            popUp->selectItemAtIndex(truncateToInt32(value));
        return;
    case ControlKind::Toggle:
        if (auto* button = typedOutlet<tk::Button>(*this, binding.control))
            button->setState(static_cast<std::int8_t>(truncateToInt32(value)));
        return;
    }
}

OSStatus zembra_CocoaView::_setFromUser(AudioUnitParameterID id, void* sender, float value) {
    // Within a gesture the host hears a begin only for what the gesture really changes: in
    // a Touch or Latch pass every parameter begun would have its automation overwritten.
    if (mGestureOpen && !mGestureBegun[id]) {
        AudioUnitParameterValue held = 0.0f;
        if (AudioUnitGetParameter(mAU, id, kAudioUnitScope_Global, 0, &held) != kAUNoErr ||
            held != value) {
            mGestureBegun[id] = true;
            _sendEvent(kAudioUnitEvent_BeginParameterChangeGesture, id);
        }
    }
    return AUParameterSet(mParameterListener, sender, &mParameter[id], value, 0);
}

void zembra_CocoaView::_endBegunGestures() {
    mGestureOpen = false;
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id)
        if (std::exchange(mGestureBegun[id], false))
            _sendEvent(kAudioUnitEvent_EndParameterChangeGesture, id);
}

void zembra_CocoaView::_controlChanged(AudioUnitParameterID id, tk::Control& sender) {
    const ControlBinding& binding = kControlBindings[id];
    if (binding.kind != ControlKind::SliderPair)
        return _setFromControl(binding, sender, controlValue(binding.kind, sender));

    auto* slider = typedOutlet<tk::Slider>(*this, binding.control);
    auto* field = typedOutlet<tk::TextField>(*this, binding.field);
    const float value = sender.floatValue();
    if (&sender != slider && !std::isfinite(value)) {
        // "nan" or "inf" typed into a field would reach the plug-in as such: show the value
        // the slider holds instead.
        if (field && slider) field->setIntValue(truncateToInt32(slider->floatValue()));
        return;
    }
    _setFromControl(binding, sender, value);
    if (&sender == slider) {
        if (field) field->setIntValue(truncateToInt32(value));
    } else if (slider) {
        slider->setIntValue(truncateToInt32(value));
    }
}

void zembra_CocoaView::_setFromControl(const ControlBinding& binding, tk::Control& sender,
                                       float value) {
    const auto id = static_cast<AudioUnitParameterID>(binding.parameter);
    if (_setFromUser(id, &sender, value) == kAUNoErr) return;
    const std::string method = methodName(binding.action);
    _report(method.c_str(), __LINE__, (method + " AUParameterSet()").c_str());
}

void zembra_CocoaView::iaParamZembraXYChangedNotification(const fnd::Notification& n) {
    static constexpr char kMethod[] = "[zembra_CocoaView iaParamZembraXYChangedNotification:]";
    static constexpr char kFailure[] =
        "[zembra_CocoaView iaParamZembraXYChangedNotification:] AUParameterSet()";
    // Pads of other editors in the process post the same notification.
    if (n.object == nullptr || !uiZembra2DView || n.object != postingObject(uiZembra2DView)) return;
    const auto x = fnd::floatValue(n.userInfo, kXValueKey);
    const auto y = fnd::floatValue(n.userInfo, kYValueKey);
    auto* pad = static_cast<void*>(uiZembra2DView);
    // An axis the notification does not carry as a finite number is left as it is.
    if (x && std::isfinite(*x) && _setFromUser(kParamX, pad, *x) != kAUNoErr)
        _report(kMethod, __LINE__, kFailure);
    if (y && std::isfinite(*y) && _setFromUser(kParamY, pad, *y) != kAUNoErr)
        _report(kMethod, __LINE__, kFailure);
}

bool zembra_CocoaView::_isOwnControl(const void* object) const {
    // Compares addresses only: a foreign object is never dereferenced.
    auto inTree = [object](const tk::View& v, const auto& self) -> bool {
        for (const auto& sub : v.subviews())
            if (postingObject(sub.get()) == object || self(*sub, self)) return true;
        return false;
    };
    return object == postingObject(this) || inTree(*this, inTree);
}

void zembra_CocoaView::_sendEvent(AudioUnitEventType type, AudioUnitParameterID id) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = mParameter[id];
    (void)AUEventListenerNotify(mParameterListener, this, &event);
}

void zembra_CocoaView::handleBeginGesture(const fnd::Notification& n) {
    // Another editor's control is another instance's gesture: counting it here would mark
    // this instance's parameters as touched in the host's automation.
    if (n.object && !_isOwnControl(n.object)) return;
    if (mSessions > 0) {
        ++mSessions;
        return;
    }
    ++mSessions;
    // The outermost begin: each parameter is begun at its first change (_setFromUser).
    mGestureOpen = true;
}

void zembra_CocoaView::handleEndGesture(const fnd::Notification& n) {
    // An end without a begin (a control that lost its press, a second release) has nothing
    // to close: counted, it would make the next gesture's inner end close the outer one.
    if ((n.object && !_isOwnControl(n.object)) || mSessions == 0) return;
    if (--mSessions == 0) _endBegunGestures();
}

void zembra_CocoaView::handleUpdateParameterValue(const fnd::Notification&) {
    for (AudioUnitParameterID id = 0; id < mBoundCount; ++id)
        _sendEvent(kAudioUnitEvent_ParameterValueChange, id);
}
