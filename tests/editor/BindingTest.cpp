// SPDX-License-Identifier: GPL-3.0-or-later
// Binding the editor to its plug-in instance: every value shown on binding and sent back
// once, host changes moving only their control, what the controls write, gestures counted
// into one begin and one end for each parameter they change, rebinding, and editors that do
// not drive each other.
#include "EditorTestSupport.h"

#include "controls/ZembraXYView.h"
#include "editor/ZembraNotifications.h"
#include "engine/RTzembra.h"
#include "platform/audiounit/AudioUnitInstance.h"
#include "platform/foundation/AssertionHandler.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "support/BundleIdentity.h"

using namespace editor_test;
using Kind = au::TestHost::Call::Kind;

namespace {

class Binding : public EditorTest {};

void session(au::TestHost& h) {
    const float values[] = {35.5f, 20.f, 80.f, 0.62f, 0.36f, 25.f, 60.f, 3.f, 5.f, 1.f, 0.f, 1.f};
    for (AudioUnitParameterID i = 0; i < 12; ++i)
        h.store(i, values[i]);
}

void post(const char* name, const void* object) {
    fnd::NotificationCenter::defaultCenter().post(name, object);
}

TEST_F(Binding, ShowsEveryValueAndSendsEachBackOnce) {
    Editor e(session);
    EXPECT_FLOAT_EQ(e.outlet<tk::Slider>("uiMixASlider").floatValue(), 35.5f);
    EXPECT_EQ(e.outlet<tk::TextField>("uiMixATextField").stringValue(), "35");
    EXPECT_EQ(e.outlet<tk::TextField>("uiVolumeTextField").stringValue(), "80");
    EXPECT_EQ(e.outlet<tk::TextField>("uiRoomTextField").stringValue(), "60");
    EXPECT_FLOAT_EQ(e.outlet<ZembraXYView>("uiZembra2DView").storedX(), 0.62f);
    EXPECT_FLOAT_EQ(e.outlet<ZembraXYView>("uiZembra2DView").storedY(), 0.36f);
    EXPECT_EQ(e.outlet<tk::PopUpButton>("uiXControlPopUp").indexOfSelectedItem(), 3);
    EXPECT_EQ(e.outlet<tk::PopUpButton>("uiYControlPopUp").indexOfSelectedItem(), 5);
    EXPECT_EQ(e.outlet<tk::Button>("uiStereoModeButton").state(), tk::CellState::On);
    EXPECT_EQ(e.outlet<tk::Button>("uiSoloAButton").state(), tk::CellState::Off);
    EXPECT_EQ(e.outlet<tk::Button>("uiSoloBButton").state(), tk::CellState::On);

    const auto sets = e.host().calls(Kind::Set);
    ASSERT_EQ(sets.size(), 12u);
    for (AudioUnitParameterID i = 0; i < 12; ++i) {
        EXPECT_EQ(sets[i].id, i);
        EXPECT_EQ(sets[i].value, e.host().getParameter(i));
    }
    for (AudioUnitParameterID i = 0; i < 12; ++i)
        EXPECT_EQ(au::registrationCount(e.unit(), i), 1u);
}

TEST_F(Binding, AHostChangeOfOneAxisMovesOnlyThatAxis) {
    Editor e(session);
    auto& pad = e.outlet<ZembraXYView>("uiZembra2DView");
    e.host().clearCalls();
    e.hostChange(kParamX, 0.25f);
    ASSERT_TRUE(pumpUntil([&] { return pad.storedX() == 0.25f; }));
    EXPECT_NEAR(pad.floatValueY(), 0.36f, 1e-2);
    e.hostChange(kParamY, 0.9f);
    ASSERT_TRUE(pumpUntil([&] { return pad.storedY() == 0.9f; }));
    EXPECT_NEAR(pad.floatValueX(), 0.25f, 1e-2);
    EXPECT_TRUE(e.host().calls().empty()) << "a host change is not written back";
}

TEST_F(Binding, HostValuesAreTruncatedForFieldsPopUpsAndButtons) {
    Editor e;
    auto& soloA = e.outlet<tk::Button>("uiSoloAButton");
    auto& field = e.outlet<tk::TextField>("uiMixBTextField");
    e.hostChange(kParamSoloA, 1.0f);
    e.hostChange(kParamMixB, 12.9f);
    e.hostChange(kParamXControl, 2.9f);
    ASSERT_TRUE(pumpUntil([&] {
        return soloA.state() == tk::CellState::On && field.stringValue() == "12" &&
               e.outlet<tk::PopUpButton>("uiXControlPopUp").indexOfSelectedItem() == 2;
    }));
    EXPECT_FLOAT_EQ(e.outlet<tk::Slider>("uiMixBSlider").floatValue(), 12.9f);

    // 0.7 truncates to 0: off. NaN shows as 0 rather than as whatever it would convert to.
    e.hostChange(kParamSoloA, 0.7f);
    e.hostChange(kParamMixB, std::nanf(""));
    EXPECT_TRUE(pumpUntil([&] { return soloA.state() == tk::CellState::Off; }));
    EXPECT_TRUE(pumpUntil([&] { return field.stringValue() == "0"; }));
}

TEST_F(Binding, TypedAndDraggedValuesAreWrittenWholeAndShownTruncated) {
    Editor e;
    auto& field = e.outlet<tk::TextField>("uiRoomTextField");
    auto& slider = e.outlet<tk::Slider>("uiRoomSlider");
    e.host().clearCalls();

    field.setStringValue("37.9");
    field.sendAction();
    EXPECT_FLOAT_EQ(e.host().getParameter(kParamRoom), 37.9f);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 37.0);

    slider.setDoubleValue(41.6);
    slider.sendAction();
    EXPECT_FLOAT_EQ(e.host().getParameter(kParamRoom), 41.6f);
    EXPECT_EQ(field.stringValue(), "41");

    // Text that is no finite number is not sent; the field shows the slider's value again.
    field.setStringValue("nan");
    field.sendAction();
    EXPECT_EQ(e.host().calls(Kind::Set).size(), 2u);
    EXPECT_EQ(field.stringValue(), "41");
}

TEST_F(Binding, PopUpsAndButtonsWriteTheirIndexAndState) {
    Editor e;
    e.host().clearCalls();
    auto& popUp = e.outlet<tk::PopUpButton>("uiYControlPopUp");
    popUp.selectItemAtIndex(4);
    popUp.sendAction();
    e.click(e.outlet<tk::Button>("uiSoloBButton"));
    const auto sets = e.host().calls(Kind::Set);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].id, static_cast<AudioUnitParameterID>(kParamYControl));
    EXPECT_EQ(sets[0].value, 4.0f);
    EXPECT_EQ(sets[1].id, static_cast<AudioUnitParameterID>(kParamSoloB));
    EXPECT_EQ(sets[1].value, 1.0f);
}

TEST_F(Binding, NestedGesturesBeginEachParameterAtItsFirstChangeAndEndOnlyThoseAlsoOnUnbinding) {
    Editor e(session);
    auto& padView = e.outlet<ZembraXYView>("uiZembra2DView");
    auto& room = e.outlet<tk::Slider>("uiRoomSlider");
    const void* pad = zembra::postingObject(&padView);
    const void* slider = zembra::postingObject(&room);
    auto movePad = [&](float x) { // along X only: Y is sent as it stands
        fnd::NotificationCenter::defaultCenter().post(
            zembra::kSendUpdatedValuesToHostNotification, pad,
            {{zembra::kXValueKey, x}, {zembra::kYValueKey, e.host().getParameter(kParamY)}});
    };
    auto moveRoom = [&](float value) {
        room.setFloatValue(value);
        e.view().iaParamRoomChanged(room);
    };
    // What the host was told since the last call, as "begin 3", "set 3", "end 3".
    auto told = [&] {
        std::vector<std::string> seen;
        for (const auto& call : e.host().calls()) {
            const char* kind = call.kind == Kind::BeginGesture ? "begin "
                               : call.kind == Kind::EndGesture ? "end "
                                                               : "set ";
            seen.push_back(kind + std::to_string(call.id));
        }
        e.host().clearCalls();
        return seen;
    };
    told();
    post(zembra::kBeginGestureNotification, pad);
    post(zembra::kBeginGestureNotification, slider);
    EXPECT_TRUE(e.host().calls(Kind::BeginGesture).empty()) << "nothing changed yet";
    movePad(0.62f); // where X already is
    EXPECT_TRUE(e.host().calls(Kind::BeginGesture).empty());
    movePad(0.7f);
    movePad(0.8f);
    moveRoom(40.0f);
    moveRoom(45.0f);
    post(zembra::kEndGestureNotification, slider);
    EXPECT_TRUE(e.host().calls(Kind::EndGesture).empty());
    post(zembra::kEndGestureNotification, pad);

    // Each begin comes before the first value of its parameter; the ends come together.
    EXPECT_EQ(told(),
              (std::vector<std::string>{"set 3", "set 4", "begin 3", "set 3", "set 4", "set 3",
                                        "set 4", "begin 6", "set 6", "set 6", "end 3", "end 6"}));
    EXPECT_EQ(e.view().gestureSessions(), 0);

    // The next gesture starts afresh.
    post(zembra::kBeginGestureNotification, slider);
    moveRoom(50.0f);
    post(zembra::kEndGestureNotification, slider);
    EXPECT_EQ(told(), (std::vector<std::string>{"begin 6", "set 6", "end 6"}));

    // An editor unbound mid-gesture ends what it began.
    post(zembra::kBeginGestureNotification, slider);
    moveRoom(55.0f);
    e.view().setAU(0);
    EXPECT_EQ(told(), (std::vector<std::string>{"begin 6", "set 6", "end 6"}));
}

TEST_F(Binding, AnEndWithoutABeginSendsNothingAndTheNextBeginBalancesIt) {
    Editor e;
    e.host().clearCalls();
    post(zembra::kEndGestureNotification, nullptr);
    EXPECT_TRUE(e.host().calls(Kind::EndGesture).empty());
    EXPECT_EQ(e.view().gestureSessions(), -1);
    post(zembra::kBeginGestureNotification, nullptr);
    EXPECT_EQ(e.view().gestureSessions(), 0);
    auto& solo = e.outlet<tk::Button>("uiSoloAButton");
    solo.setState(tk::CellState::On);
    e.view().iaParamSoloAChanged(solo);
    EXPECT_EQ(e.host().calls(Kind::BeginGesture).size(), 1u);
    post(zembra::kEndGestureNotification, nullptr);
    EXPECT_EQ(e.host().calls(Kind::EndGesture).size(), 1u);

    post(zembra::kParameterValueChangedNotification, nullptr);
    EXPECT_EQ(e.host().calls(Kind::ValueEvent).size(), 12u);
}

TEST_F(Binding, BindingTwiceLeavesOneRegistrationPerParameterOnTheSecondInstance) {
    Editor e;
    auto second = makeHost();
    second->store(kParamVolume, 12.f);
    au::InstanceRegistration reg(second);
    const std::size_t listeners = au::listenerCount();
    e.view().setAU(reg.unit());
    pump();
    for (AudioUnitParameterID i = 0; i < 12; ++i) {
        EXPECT_EQ(au::registrationCount(e.unit(), i), 0u);
        EXPECT_EQ(au::registrationCount(reg.unit(), i), 1u);
    }
    EXPECT_EQ(au::listenerCount(), listeners);
    EXPECT_EQ(e.outlet<tk::TextField>("uiVolumeTextField").stringValue(), "12");
    // The first instance no longer reaches the editor: a change of it is not shown, while
    // one of the second instance, announced after it, is.
    e.hostChange(kParamVolume, 90.f);
    second->store(kParamVolume, 13.f);
    reg.parameterChanged(kParamVolume, 13.f);
    ASSERT_TRUE(pumpUntil(
        [&] { return e.outlet<tk::TextField>("uiVolumeTextField").stringValue() != "12"; }));
    EXPECT_EQ(e.outlet<tk::TextField>("uiVolumeTextField").stringValue(), "13");
    e.view().setAU(0);
    EXPECT_EQ(au::registrationCount(reg.unit(), kParamVolume), 0u);
}

TEST_F(Binding, PadValuesAreTakenOnlyFromTheEditorsOwnPad) {
    Editor e;
    e.host().clearCalls();
    ZembraXYView stranger(tk::Rect{0, 0, 100, 100}, zembra::kBundleIdentifier);
    fnd::UserInfo info{{zembra::kXValueKey, 0.1f}, {zembra::kYValueKey, 0.2f}};
    auto& centre = fnd::NotificationCenter::defaultCenter();
    centre.post(zembra::kSendUpdatedValuesToHostNotification, zembra::postingObject(&stranger),
                info);
    centre.post(zembra::kSendUpdatedValuesToHostNotification, nullptr, info);
    EXPECT_TRUE(e.host().calls().empty());
    centre.post(zembra::kSendUpdatedValuesToHostNotification,
                zembra::postingObject(&e.outlet<ZembraXYView>("uiZembra2DView")), info);
    EXPECT_FLOAT_EQ(e.host().getParameter(kParamX), 0.1f);
    EXPECT_FLOAT_EQ(e.host().getParameter(kParamY), 0.2f);
}

TEST_F(Binding, TwoEditorsInOneProcessDoNotDriveEachOther) {
    Editor one, two;
    one.host().clearCalls();
    two.host().clearCalls();
    auto& pad = one.outlet<ZembraXYView>("uiZembra2DView");
    const tk::Rect r = pad.convertRectToView(pad.bounds(), nullptr);
    one.window().mouseDown({r.minX() + 40, r.minY() + 30});
    one.window().mouseDragged({r.minX() + 60, r.minY() + 50});
    one.window().mouseUp({r.minX() + 60, r.minY() + 50});
    EXPECT_EQ(one.host().calls(Kind::BeginGesture).size(), 2u); // X and Y moved
    EXPECT_EQ(one.host().calls(Kind::EndGesture).size(), 2u);
    EXPECT_EQ(one.host().calls(Kind::Set).size(), 6u); // X and Y for press, drag, release
    EXPECT_TRUE(two.host().calls().empty()) << "not even the other editor's gestures";

    const float padTwoX = two.outlet<ZembraXYView>("uiZembra2DView").storedX();
    one.hostChange(kParamX, 0.05f);
    ASSERT_TRUE(pumpUntil([&] { return pad.storedX() == 0.05f; }));
    EXPECT_FLOAT_EQ(two.outlet<ZembraXYView>("uiZembra2DView").storedX(), padTwoX);
}

TEST_F(Binding, FailedHostCallsAreReportedAndTheEditorGoesOn) {
    Editor e;
    fnd::AssertionRecorder recorder;
    e.unregister();
    auto& field = e.outlet<tk::TextField>("uiRoomTextField");
    field.setStringValue("12.7");
    field.sendAction();
    EXPECT_DOUBLE_EQ(e.outlet<tk::Slider>("uiRoomSlider").doubleValue(), 12.0);

    e.view().setAU(e.unit()); // no longer registered: nothing can be added or read
    std::map<std::string, int> seen;
    for (const auto& r : recorder.reports()) {
        ++seen[r.description];
        EXPECT_EQ(r.object, &e.view());
        EXPECT_TRUE(r.file.starts_with("zembra_CocoaView")) << r.file;
    }
    EXPECT_EQ(seen["[zembra_CocoaView iaParamRoomChanged:] AUParameterSet()"], 1);
    EXPECT_EQ(seen["[zembra_CocoaView _addListeners] AUListenerAddParameter()"], 12);
    EXPECT_EQ(seen["[zembra_CocoaView synchronizeUIWithParameterValues] (x.1)"], 12);
    EXPECT_EQ(seen["[zembra_CocoaView synchronizeUIWithParameterValues] (x.2)"], 0)
        << "a value that could not be read is not written";
}

} // namespace
