// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view: built from the interface description "zembra_CocoaView", it draws the
// animated (or still) background behind its controls, binds the controls to the twelve
// parameters of one plug-in instance (and to its routing of the sources, where it has one)
// through the host's parameter services, turns the controls' gestures into the host's
// gesture events, and shows the input levels, the hardware controller's status, the
// information panel, and the blend: live spectra, what the pad gives where, and a hint when a
// source is missing. Its methods live in one file per job: zembra_CocoaView.cpp (waking,
// wiring, teardown), zembra_CocoaViewBinding.cpp, zembra_CocoaViewBackground.cpp,
// zembra_CocoaViewInformation.cpp and zembra_CocoaViewBlend.cpp.
//
// Everything runs on the main (interface) thread except its graphics thread, which only
// asks the main thread to run update(), and the controller's notifications, whose handlers
// hand their work to the main thread.
#pragma once

#include "editor/CompactImage.h"
#include "editor/GraphicsThread.h"
#include "editor/SourceSilence.h"
#include "engine/ZembraParameters.h"
#include "platform/audiounit/AudioUnit.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/View.h"
#include "support/EditorPictures.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ZembraPadGuide;
class ZembraSpectrumView;
class ZembraXYView;
namespace zembra {
struct ControlBinding;
class LiveSpectra;
}
namespace tk {
class Button;
class Coder;
class Control;
class PopUpButton;
class Slider;
class TextField;
} // namespace tk

class zembra_CocoaView : public tk::View {
  public:
    static constexpr int kAnimationFrameCount = zembra::kBackgroundFrameCount;
    // The twelve and the routing.
    static constexpr int kParameterCount = static_cast<int>(zembra::kControls.size());
    // The phase advance per tick: 0 to 1 in 200 ticks, about 12 s.
    static constexpr float kAnimationIncrement = 0.005f;

    explicit zembra_CocoaView(const tk::Coder& coder);
    ~zembra_CocoaView() override; // dealloc

    // Outlets and actions of the interface description.
    bool setOutlet(std::string_view name, const std::shared_ptr<tk::View>& object) override;
    // The view connected to the outlet `name` ("uiRoomSlider"), or null.
    tk::View* outlet(std::string_view name) const;
    bool respondsToAction(std::string_view selector) const override;
    void performAction(std::string_view selector, tk::Control& sender) override;

    // Lifecycle.
    void awakeFromNib() override;
    // Gives the five sliders their thumb image.
    void configureUiControls();
    void drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) override;
    void update();
    void animateBackground();
    void mouseDown(const tk::Event& e) override;
    bool acceptsFirstResponder() const override { return true; }
    bool becomeFirstResponder() override { return true; }
    bool isOpaque() const override { return false; }

    // Binding to a plug-in instance; 0 unbinds. While bound to an instance whose sound the
    // editor can reach, it shows the spectra. The control actions share one body.
    void setAU(AudioUnit au);
    void iaParamMixAChanged(tk::Control& s) { _controlChanged(kParamMixA, s); }
    void iaParamMixBChanged(tk::Control& s) { _controlChanged(kParamMixB, s); }
    void iaParamVolumeChanged(tk::Control& s) { _controlChanged(kParamVolume, s); }
    void iaParamWetDryChanged(tk::Control& s) { _controlChanged(kParamWetDry, s); }
    void iaParamRoomChanged(tk::Control& s) { _controlChanged(kParamRoom, s); }
    void iaParamXControlChanged(tk::Control& s) { _controlChanged(kParamXControl, s); }
    void iaParamYControlChanged(tk::Control& s) { _controlChanged(kParamYControl, s); }
    void iaParamStereoModeChanged(tk::Control& s) { _controlChanged(kParamStereoMode, s); }
    void iaParamSoloAChanged(tk::Control& s) { _controlChanged(kParamSoloA, s); }
    void iaParamSoloBChanged(tk::Control& s) { _controlChanged(kParamSoloB, s); }
    void iaParamSourceRoutingChanged(tk::Control& s) {
        _controlChanged(zembra::kParamSourceRouting, s);
    }
    void iaParamZembraXYChangedNotification(const fnd::Notification& n);
    void handleBeginGesture(const fnd::Notification& n);
    void handleEndGesture(const fnd::Notification& n);
    void handleUpdateParameterValue(const fnd::Notification& n);

    // Status, meters and the information panel.
    void iaUpdateLevelMeters(const fnd::Notification& n);
    void iaKlovConnect();
    void iaKlovDisconnect();
    void iaGetInfo(tk::Control* sender);

    // Which frames the background shows at a phase: frame `a` opaque, frame `b` over it at
    // `opacity`, eased so that the loop slows at both ends.
    struct BackgroundFrames {
        int a;
        int b;
        float opacity;
    };
    static BackgroundFrames backgroundFramesForStep(float step);

    // What the view is bound to and showing, for the plug-in shell and tests.
    AudioUnit audioUnit() const { return mAU; }
    bool doesAnimation() const { return mDoAnimation; }
    float animationStep() const { return mAnimationStep; }
    bool showsSpectra() const { return mSpectra != nullptr; }
    const std::shared_ptr<const zembra::CompactImage>& animationFrame(int index) const {
        return mAnimatedBackground.at(static_cast<std::size_t>(index));
    }
    const std::shared_ptr<const zembra::CompactImage>& stillBackground() const {
        return mBackground;
    }

  private:
    friend void ParameterListenerDispatcher(void* context, void* object,
                                            const AudioUnitParameter* parameter,
                                            AudioUnitParameterValue value);

    // Calls visit(name, field) for every outlet field.
    template <class Visit> void _forEachOutlet(Visit&& visit);

    // Waking, one job each: the pictures and the phase; the controls' ranges and items from
    // the parameter table; the controller's status.
    void _loadBackground();
    void _configureControlsFromParameterTable();
    void _showControllerStatus();

    // The blend, once per editor frame `seconds` after the last: the spectra, the pad's
    // words and the hint about a missing source.
    void _startSpectra();
    void _showBlend(double seconds);

    void _addListeners();
    void _removeListeners();
    void _synchronizeUIWithParameterValues();
    void _parameterListener(void* object, const AudioUnitParameter& parameter,
                            AudioUnitParameterValue value);
    // What every control action does: writes the sender's value to `id` and shows it on the
    // control's partner.
    void _controlChanged(AudioUnitParameterID id, tk::Control& sender);
    void _setFromControl(const zembra::ControlBinding& binding, tk::Control& sender, float value);
    // AUParameterSet for a change the user made, begun for the host at its first change
    // within the gesture.
    OSStatus _setFromUser(AudioUnitParameterID id, void* sender, float value);
    // The outermost end of a gesture: ends, for the host, exactly the parameters begun.
    void _endBegunGestures();
    void _sendEvent(AudioUnitEventType type, AudioUnitParameterID id);
    bool _isOwnControl(const void* object) const;
    void _report(const char* method, int line, const char* description);
    // Runs `work` on the main thread: at once when called there, else later, and then only
    // if the view still exists.
    void _onMainThread(std::function<void(zembra_CocoaView&)> work);

    // Outlets; the view tree owns them.
    ZembraXYView* uiZembra2DView = nullptr;
    tk::Slider* uiMixASlider = nullptr;
    tk::TextField* uiMixATextField = nullptr;
    tk::Slider* uiMixBSlider = nullptr;
    tk::TextField* uiMixBTextField = nullptr;
    tk::Slider* uiVolumeSlider = nullptr;
    tk::TextField* uiVolumeTextField = nullptr;
    tk::Slider* uiWetDrySlider = nullptr;
    tk::TextField* uiWetDryTextField = nullptr;
    tk::Slider* uiRoomSlider = nullptr;
    tk::TextField* uiRoomTextField = nullptr;
    tk::Button* uiSoloAButton = nullptr;
    tk::Button* uiSoloBButton = nullptr;
    tk::Button* uiStereoModeButton = nullptr;
    tk::PopUpButton* uiXControlPopUp = nullptr;
    tk::PopUpButton* uiYControlPopUp = nullptr;
    tk::PopUpButton* uiSourceRoutingPopUp = nullptr;
    tk::TextField* uiKlovStatus = nullptr;
    ZembraSpectrumView* uiSpectrumView = nullptr;
    ZembraPadGuide* uiPadGuide = nullptr;
    tk::TextField* uiRoutingHint = nullptr;

    std::shared_ptr<const zembra::CompactImage> mBackground;
    tk::View* uiProgressPanel = nullptr;
    // Shared with every other open editor (CompactImage keeps one copy per process).
    std::array<std::shared_ptr<const zembra::CompactImage>, kAnimationFrameCount>
        mAnimatedBackground;
    float mAnimationStep = 0.0f;
    float mAnimationDirection = 0.0f;
    bool mDoAnimation = true;

    AudioUnit mAU = 0;
    // What the instance offers: the twelve, and the routing unless it is a host of the twelve
    // alone (a test host, the snapshot tool).
    AudioUnitParameterID mBoundCount = 0;
    AUParameterListenerRef mParameterListener = 0;
    std::array<AudioUnitParameter, kParameterCount> mParameter{};
    // Which entries of mParameter the listener took, so that teardown unregisters those.
    std::array<bool, kParameterCount> mRegistered{};

    // Carries the stop flag the graphics thread reads, so the thread never reads the view.
    std::unique_ptr<zembra::GraphicsThread> mGraphicsThread;
    std::unique_ptr<zembra::LiveSpectra> mSpectra;
    zembra::SourceSilence mSilence;
    float mPeakA = 0.0f;
    float mPeakB = 0.0f;
    std::int64_t mSessions = 0;
    // Between the outermost begin and end; which parameters the host was told are begun.
    bool mGestureOpen = false;
    std::array<bool, kParameterCount> mGestureBegun{};
};

// The plain callback the parameter listener calls; `context` is the view.
void ParameterListenerDispatcher(void* context, void* object, const AudioUnitParameter* parameter,
                                 AudioUnitParameterValue value);
