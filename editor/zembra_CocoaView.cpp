// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view: waking and teardown, background, parameter binding, gestures, levels,
// controller status and the information panel.
#include "editor/zembra_CocoaView.h"

#include "controls/VerticalSliderCell.h"
#include "controls/ZembraXYView.h"
#include "editor/SystemServices.h"
#include "editor/ZembraNotifications.h"
#include "engine/RTzembra.h"
#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/Window.h"
#include "support/BundleIdentity.h"
#include "support/ControllerStatus.h"
#include "support/PluginBundle.h"
#include "support/Preferences.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
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

bool animatedBackgroundEnabled() {
    const bool on = GetValueFromPrefsPosInt(kPrefEnableAnimatedBackground) != 0;
    std::fputs(on ? "Using animated background\n" : "Disabling animated background\n", stdout);
    std::fflush(stdout);
    return on;
}

std::shared_ptr<const CompactImage> loadPicture(const fnd::Bundle* bundle,
                                                const std::string& name) {
    if (!bundle) return nullptr;
    const auto path = bundle->pathForResource(name, "png");
    return path ? CompactImage::load(*path) : nullptr;
}

using Action = void (zembra_CocoaView::*)(tk::Control&);
struct ActionEntry {
    std::string_view selector;
    Action action;
};
constexpr ActionEntry kActions[] = {
    {"iaParamMixAChanged:", &zembra_CocoaView::iaParamMixAChanged},
    {"iaParamMixBChanged:", &zembra_CocoaView::iaParamMixBChanged},
    {"iaParamVolumeChanged:", &zembra_CocoaView::iaParamVolumeChanged},
    {"iaParamWetDryChanged:", &zembra_CocoaView::iaParamWetDryChanged},
    {"iaParamRoomChanged:", &zembra_CocoaView::iaParamRoomChanged},
    {"iaParamXControlChanged:", &zembra_CocoaView::iaParamXControlChanged},
    {"iaParamYControlChanged:", &zembra_CocoaView::iaParamYControlChanged},
    {"iaParamStereoModeChanged:", &zembra_CocoaView::iaParamStereoModeChanged},
    {"iaParamSoloAChanged:", &zembra_CocoaView::iaParamSoloAChanged},
    {"iaParamSoloBChanged:", &zembra_CocoaView::iaParamSoloBChanged},
};
constexpr std::string_view kInfoAction = "iaGetInfo:";

} // namespace

zembra_CocoaView::zembra_CocoaView(const tk::Coder& coder) : tk::View(coder) {}

zembra_CocoaView::~zembra_CocoaView() {
    // Leave the notification centre first: once removeObserver returns, no handler of this
    // view runs on another thread, and none starts.
    fnd::NotificationCenter::defaultCenter().removeObserver(this);
    if (mGraphicsThread) mGraphicsThread->stop();
    _removeListeners();
    mBackground.reset();
    for (auto& frame : mAnimatedBackground)
        frame.reset();
}

// ---- Interface description ----------------------------------------------------------------

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
    visit("uiKlovStatus", uiKlovStatus);
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
    if (selector == kInfoAction) return true;
    for (const auto& entry : kActions)
        if (entry.selector == selector) return true;
    return false;
}

void zembra_CocoaView::performAction(std::string_view selector, tk::Control& sender) {
    if (selector == kInfoAction) return iaGetInfo(&sender);
    for (const auto& entry : kActions)
        if (entry.selector == selector) return (this->*entry.action)(sender);
}

// ---- Lifecycle ----------------------------------------------------------------------------

void zembra_CocoaView::awakeFromNib() {
    mAU = 0;
    mSessions = 0;
    mFirstRun = true;
    mDoAnimation = true;
    setAutoresizingMask(kWidthSizable | kHeightSizable);

    auto& centre = fnd::NotificationCenter::defaultCenter();
    centre.post(kRunningCocoaUINotification);
    if (uiProgressPanel) uiProgressPanel->setHidden(false);

    for (auto& frame : mAnimatedBackground)
        frame.reset();
    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(kBundleIdentifier);
    mDoAnimation = animatedBackgroundEnabled();
    if (mDoAnimation) {
        char name[32];
        for (int n = 1; n <= kAnimationFrameCount; ++n) {
            std::snprintf(name, sizeof name, "bg-%d", n);
            mAnimatedBackground[n - 1] = loadPicture(bundle, name);
            if (!mAnimatedBackground[n - 1])
                fnd::log(fnd::LogLevel::Error,
                         std::string("bg image '") + name + ".png' not loaded!!");
        }
        mAnimationStep = 0.0f;
        mAnimationDirection = kAnimationIncrement;
    } else {
        mAnimationDirection = 0.0f;
    }

    if (!mGraphicsThread) mGraphicsThread = std::make_unique<GraphicsThread>([this] { update(); });

    mBackground = loadPicture(bundle, "128");
    if (!mBackground) fnd::log(fnd::LogLevel::Error, "bg image not loaded!!");

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

    if (controllerConnected())
        iaKlovConnect();
    else
        iaKlovDisconnect();

    if (uiProgressPanel) uiProgressPanel->setHidden(true);
}

void zembra_CocoaView::configureUiControls() {
    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(kBundleIdentifier);
    if (!bundle) {
        fnd::log(fnd::LogLevel::Error, "bundle not valid!!");
        return;
    }
    const auto thumb = bundle->pathForResource("133", "png");
    for (tk::Slider* slider :
         {uiMixASlider, uiMixBSlider, uiVolumeSlider, uiWetDrySlider, uiRoomSlider}) {
        auto* cell = slider ? dynamic_cast<VerticalSliderCell*>(slider->cell()) : nullptr;
        if (cell) cell->setThumbImage(thumb.value_or(std::filesystem::path()));
    }
}

zembra_CocoaView::BackgroundFrames zembra_CocoaView::backgroundFramesForStep(float step) {
    const double t = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(step));
    const float f = static_cast<float>(t) * static_cast<float>(kAnimationFrameCount);
    // A phase can only leave 0..1 by one increment, but keep any value inside the frames.
    const int i = std::isfinite(f) ? static_cast<int>(std::clamp(f, -1.0f, 1e6f)) : 0;
    const int a = std::clamp(i, 0, kAnimationFrameCount - 1);
    const int b = std::min(a + 1, kAnimationFrameCount - 1);
    return {a, b, f - static_cast<float>(i)};
}

void zembra_CocoaView::drawRect(tk::GraphicsContext& g, const tk::Rect&) {
    if (mFirstRun) {
        configureUiControls();
        mFirstRun = false;
    }
    g.saveGraphicsState();
    if (mDoAnimation) {
        const BackgroundFrames f = backgroundFramesForStep(mAnimationStep);
        if (const auto& a = mAnimatedBackground[f.a])
            g.drawImage(*a->image(), {0, 0}, tk::CompositingOperation::Copy, 1.0);
        if (const auto& b = mAnimatedBackground[f.b])
            g.drawImage(*b->image(), {0, 0}, tk::CompositingOperation::SourceOver, f.opacity);
    } else if (mBackground) {
        g.drawImage(*mBackground->image(), {0, 0}, tk::CompositingOperation::SourceOver, 1.0);
    }
    g.restoreGraphicsState();
}

void zembra_CocoaView::update() {
    animateBackground();
}

void zembra_CocoaView::animateBackground() {
    setNeedsDisplay(true);
    mAnimationStep += mAnimationDirection;
    if (mAnimationStep >= 1.0f || mAnimationStep <= 0.0f)
        mAnimationDirection = -mAnimationDirection;
}

void zembra_CocoaView::mouseDown(const tk::Event& e) {
    tk::View::mouseDown(e);
    if (window()) window()->makeFirstResponder(this);
}

// ---- Binding ------------------------------------------------------------------------------

void ParameterListenerDispatcher(void* context, void* object, const AudioUnitParameter* parameter,
                                 AudioUnitParameterValue value) {
    static_cast<zembra_CocoaView*>(context)->_parameterListener(object, *parameter, value);
}

void zembra_CocoaView::_report(const char* method, int line, const char* description) {
    fnd::AssertionHandler::current().report(method, this, kSourceName, line, description);
}

void zembra_CocoaView::setAU(AudioUnit au) {
    if (mAU != 0 || mParameterListener != 0) _removeListeners();
    mAU = au;
    if (au == 0) return; // unbinding only: there is nothing to listen to
    _addListeners();
    _synchronizeUIWithParameterValues();
}

void zembra_CocoaView::_addListeners() {
    static constexpr char kMethod[] = "[zembra_CocoaView _addListeners]";
    if (AUListenerCreate(ParameterListenerDispatcher, this, fnd::RunLoop::current(),
                         kNotificationInterval, &mParameterListener) != kAUNoErr)
        _report(kMethod, __LINE__, "[zembra_CocoaView _addListeners] AUListenerCreate()");
    for (AudioUnitParameterID i = 0; i < kParameterCount; ++i) {
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
    for (AudioUnitParameterID i = 0; i < kParameterCount; ++i) {
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
    auto showSlider = [value](tk::Slider* slider, tk::TextField* field) {
        if (slider) slider->setFloatValue(value);
        if (field) field->setIntValue(truncateToInt32(value));
    };
    auto showButton = [value](tk::Button* button) {
        if (button) button->setState(static_cast<std::int8_t>(truncateToInt32(value)));
    };
    auto showPopUp = [value](tk::PopUpButton* popUp) {
        if (popUp) popUp->selectItemAtIndex(truncateToInt32(value));
    };
    auto postPosition = [this](float x, float y) {
        fnd::NotificationCenter::defaultCenter().post(kSetValuesFromHostNotification,
                                                      postingObject(this),
                                                      {{kXValueKey, x}, {kYValueKey, y}});
    };
    switch (parameter.mParameterID) {
    case kParamMixA:
        return showSlider(uiMixASlider, uiMixATextField);
    case kParamMixB:
        return showSlider(uiMixBSlider, uiMixBTextField);
    case kParamVolume:
        return showSlider(uiVolumeSlider, uiVolumeTextField);
    case kParamX:
        return postPosition(value, kAxisUnchanged);
    case kParamY:
        return postPosition(kAxisUnchanged, value);
    case kParamWetDry:
        return showSlider(uiWetDrySlider, uiWetDryTextField);
    case kParamRoom:
        return showSlider(uiRoomSlider, uiRoomTextField);
    case kParamXControl:
        return showPopUp(uiXControlPopUp);
    case kParamYControl:
        return showPopUp(uiYControlPopUp);
    case kParamStereoMode:
        return showButton(uiStereoModeButton);
    case kParamSoloA:
        return showButton(uiSoloAButton);
    case kParamSoloB:
        return showButton(uiSoloBButton);
    default:
        return;
    }
}

void zembra_CocoaView::_setParameterFrom(AudioUnitParameterID id, tk::Control& sender, float value,
                                         const char* method, const char* failure) {
    if (_setFromUser(id, &sender, value) != kAUNoErr) _report(method, __LINE__, failure);
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

void zembra_CocoaView::_sliderPairChanged(AudioUnitParameterID id, tk::Slider* slider,
                                          tk::TextField* field, tk::Control& sender,
                                          const char* method, const char* failure) {
    const float value = sender.floatValue();
    if (&sender != slider && !std::isfinite(value)) {
        // "nan" or "inf" typed into a field would reach the plug-in as such: show the value
        // the slider holds instead.
        if (field && slider) field->setIntValue(truncateToInt32(slider->floatValue()));
        return;
    }
    _setParameterFrom(id, sender, value, method, failure);
    if (&sender == slider) {
        if (field) field->setIntValue(truncateToInt32(value));
    } else if (slider) {
        slider->setIntValue(truncateToInt32(value));
    }
}

void zembra_CocoaView::iaParamMixAChanged(tk::Control& sender) {
    _sliderPairChanged(kParamMixA, uiMixASlider, uiMixATextField, sender,
                       "[zembra_CocoaView iaParamMixAChanged:]",
                       "[zembra_CocoaView iaParamMixAChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamMixBChanged(tk::Control& sender) {
    _sliderPairChanged(kParamMixB, uiMixBSlider, uiMixBTextField, sender,
                       "[zembra_CocoaView iaParamMixBChanged:]",
                       "[zembra_CocoaView iaParamMixBChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamVolumeChanged(tk::Control& sender) {
    _sliderPairChanged(kParamVolume, uiVolumeSlider, uiVolumeTextField, sender,
                       "[zembra_CocoaView iaParamVolumeChanged:]",
                       "[zembra_CocoaView iaParamVolumeChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamWetDryChanged(tk::Control& sender) {
    _sliderPairChanged(kParamWetDry, uiWetDrySlider, uiWetDryTextField, sender,
                       "[zembra_CocoaView iaParamWetDryChanged:]",
                       "[zembra_CocoaView iaParamWetDryChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamRoomChanged(tk::Control& sender) {
    _sliderPairChanged(kParamRoom, uiRoomSlider, uiRoomTextField, sender,
                       "[zembra_CocoaView iaParamRoomChanged:]",
                       "[zembra_CocoaView iaParamRoomChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamXControlChanged(tk::Control& sender) {
    auto* popUp = dynamic_cast<tk::PopUpButton*>(&sender);
    _setParameterFrom(kParamXControl, sender,
                      static_cast<float>(popUp ? popUp->indexOfSelectedItem() : sender.intValue()),
                      "[zembra_CocoaView iaParamXControlChanged:]",
                      "[zembra_CocoaView iaParamXControlChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamYControlChanged(tk::Control& sender) {
    auto* popUp = dynamic_cast<tk::PopUpButton*>(&sender);
    _setParameterFrom(kParamYControl, sender,
                      static_cast<float>(popUp ? popUp->indexOfSelectedItem() : sender.intValue()),
                      "[zembra_CocoaView iaParamYControlChanged:]",
                      "[zembra_CocoaView iaParamYControlChanged:] AUParameterSet()");
}

namespace {
float buttonState(const tk::Control& sender) {
    const auto* button = dynamic_cast<const tk::Button*>(&sender);
    return static_cast<float>(button ? static_cast<int>(button->state()) : sender.intValue());
}
} // namespace

void zembra_CocoaView::iaParamStereoModeChanged(tk::Control& sender) {
    _setParameterFrom(kParamStereoMode, sender, buttonState(sender),
                      "[zembra_CocoaView iaParamStereoModeChanged:]",
                      "[zembra_CocoaView iaParamStereoModeChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamSoloAChanged(tk::Control& sender) {
    _setParameterFrom(kParamSoloA, sender, buttonState(sender),
                      "[zembra_CocoaView iaParamSoloAChanged:]",
                      "[zembra_CocoaView iaParamSoloAChanged:] AUParameterSet()");
}

void zembra_CocoaView::iaParamSoloBChanged(tk::Control& sender) {
    _setParameterFrom(kParamSoloB, sender, buttonState(sender),
                      "[zembra_CocoaView iaParamSoloBChanged:]",
                      "[zembra_CocoaView iaParamSoloBChanged:] AUParameterSet()");
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
    if (n.object && !_isOwnControl(n.object)) return;
    if (mSessions > 1) {
        --mSessions;
        return;
    }
    --mSessions;
    _endBegunGestures();
}

void zembra_CocoaView::handleUpdateParameterValue(const fnd::Notification&) {
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id)
        _sendEvent(kAudioUnitEvent_ParameterValueChange, id);
}

// ---- Status, meters, information ----------------------------------------------------------

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
