// SPDX-License-Identifier: GPL-3.0-or-later
// Binding the editor to its plug-in instance, one table over the parameters: every value
// shown on binding and sent back once, host changes moving only their controls, what each
// control writes, and the interface description holding no values of its own; then gestures,
// rebinding, and editors that do not drive each other.
#include "EditorTestSupport.h"

#include "controls/ZembraXYView.h"
#include "editor/ControlBindings.h"
#include "editor/ZembraNotifications.h"
#include "engine/RTzembra.h"
#include "platform/audiounit/AudioUnitInstance.h"
#include "platform/foundation/AssertionHandler.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

using namespace editor_test;
using Kind = au::TestHost::Call::Kind;
using nlohmann::json;
using zembra::ControlKind;

namespace {

class Binding : public EditorTest {};

// A session's values, what the controls show of them, a change the host then makes, and
// what they show of that: a control's value, with the text field's beside a slider's.
const struct {
    AudioUnitParameterID id;
    float session;
    const char* shownBound;
    float changed;
    const char* shownChanged;
} kShown[] = {{kParamMixA, 35.5f, "35.5|35", 12.9f, "12.9|12"},
              {kParamMixB, 20.f, "20|20", 7.2f, "7.2|7"},
              {kParamVolume, 80.f, "80|80", 90.f, "90|90"},
              {kParamX, 0.62f, "0.62", 0.25f, "0.25"},
              {kParamY, 0.36f, "0.36", 0.9f, "0.9"},
              {kParamWetDry, 25.f, "25|25", 33.3f, "33.3|33"},
              {kParamRoom, 60.f, "60|60", 41.6f, "41.6|41"},
              {kParamXControl, 3.f, "3", 2.9f, "2"},
              {kParamYControl, 5.f, "5", 0.f, "0"},
              {kParamStereoMode, 1.f, "1", 0.7f, "0"}, // 0.7 truncates to off
              {kParamSoloA, 0.f, "0", 1.f, "1"},
              {kParamSoloB, 1.f, "1", 0.f, "0"},
              {zembra::kParamSourceRouting, 1.f, "1", 0.f, "0"}};

void session(au::TestHost& h) {
    for (const auto& row : kShown)
        h.store(row.id, row.session);
}

std::string shown(const Editor& e, AudioUnitParameterID id) {
    const auto& b = zembra::kControlBindings[id];
    std::ostringstream out;
    if (b.kind == ControlKind::Pad) {
        const auto& pad = e.outlet<ZembraXYView>(std::string(b.control));
        out << (id == kParamX ? pad.storedX() : pad.storedY());
    } else {
        out << e.outlet<tk::Control>(std::string(b.control)).floatValue();
    }
    if (!b.field.empty()) out << "|" << e.outlet<tk::TextField>(std::string(b.field)).stringValue();
    return out.str();
}

void post(const char* name, const void* object) {
    fnd::NotificationCenter::defaultCenter().post(name, object);
}

TEST_F(Binding, EveryControlShowsItsValueOnBindingAndOnlyItsOwnHostChanges) {
    Editor e(session);
    for (const auto& row : kShown)
        EXPECT_EQ(shown(e, row.id), row.shownBound) << row.id;
    const auto sets = e.host().calls(Kind::Set);
    ASSERT_EQ(sets.size(), zembra::kControls.size());
    for (AudioUnitParameterID i = 0; i < zembra::kControls.size(); ++i) {
        EXPECT_EQ(sets[i].id, i);
        EXPECT_EQ(sets[i].value, e.host().getParameter(i));
        EXPECT_EQ(au::registrationCount(e.unit(), i), 1u);
    }

    e.host().clearCalls();
    for (std::size_t i = 0; i < std::size(kShown); ++i) {
        e.hostChange(kShown[i].id, kShown[i].changed);
        EXPECT_TRUE(pumpUntil([&] { return shown(e, kShown[i].id) == kShown[i].shownChanged; }));
        for (std::size_t j = 0; j < std::size(kShown); ++j) // the others stay as they were
            EXPECT_EQ(shown(e, kShown[j].id),
                      j <= i ? kShown[j].shownChanged : kShown[j].shownBound);
    }
    EXPECT_TRUE(e.host().calls().empty()) << "a host change is not written back";
    // NaN shows as 0 rather than as whatever it would convert to.
    e.hostChange(kParamMixB, std::nanf(""));
    EXPECT_TRUE(
        pumpUntil([&] { return e.outlet<tk::TextField>("uiMixBTextField").stringValue() == "0"; }));
}

TEST_F(Binding, EveryControlWritesItsOwnParameter) {
    Editor e;
    for (const auto& b : zembra::kControlBindings) {
        SCOPED_TRACE(b.control);
        const auto id = static_cast<AudioUnitParameterID>(b.parameter);
        const auto& info = zembra::kControls[id];
        const float wanted = info.isInteger() ? info.max : info.min + 0.3f * (info.max - info.min);
        e.host().clearCalls();
        if (b.kind == ControlKind::Pad) { // the other axis is sent as it stands
            const bool isX = id == kParamX;
            fnd::NotificationCenter::defaultCenter().post(
                zembra::kSendUpdatedValuesToHostNotification,
                zembra::postingObject(&e.outlet<ZembraXYView>(std::string(b.control))),
                {{zembra::kXValueKey, isX ? wanted : e.host().getParameter(kParamX)},
                 {zembra::kYValueKey, isX ? e.host().getParameter(kParamY) : wanted}});
        } else {
            auto& control = e.outlet<tk::Control>(std::string(b.control));
            control.setFloatValue(wanted);
            control.sendAction();
            EXPECT_EQ(e.host().calls(Kind::Set).size(), 1u);
        }
        EXPECT_FLOAT_EQ(e.host().getParameter(id), wanted);
    }
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
    EXPECT_EQ(field.stringValue(), "41");
    // Text that is no finite number is not sent; the field shows the slider's value again.
    field.setStringValue("nan");
    field.sendAction();
    EXPECT_EQ(e.host().calls(Kind::Set).size(), 2u);
    EXPECT_EQ(field.stringValue(), "41");
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
    EXPECT_EQ(e.host().calls(Kind::ValueEvent).size(), zembra::kControls.size());
}

TEST_F(Binding, BindingTwiceLeavesOneRegistrationPerParameterOnTheSecondInstance) {
    Editor e;
    auto second = makeHost();
    second->store(kParamVolume, 12.f);
    au::InstanceRegistration reg(second);
    const std::size_t listeners = au::listenerCount();
    e.view().setAU(reg.unit());
    pump();
    for (AudioUnitParameterID i = 0; i < zembra::kControls.size(); ++i) {
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
    fnd::NotificationCenter::defaultCenter().post(
        zembra::kSendUpdatedValuesToHostNotification, nullptr,
        {{zembra::kXValueKey, 0.1f}, {zembra::kYValueKey, 0.2f}});
    EXPECT_EQ(one.host().calls(Kind::Set).size(), 6u) << "values from no pad are not taken";

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

void collectOutlets(const json& node, std::map<std::string, json>& outlets) {
    if (node.contains("outlet") && node["outlet"].is_string()) outlets[node["outlet"]] = node;
    for (const auto& sub : node.value("subviews", json::array()))
        collectOutlets(sub, outlets);
}

// The description lays the controls out and the parameter table says what they hold.
TEST(Description, LaysOutEveryBoundControlAndLeavesItsValuesToTheParameterTable) {
    std::ifstream in(ZEMBRA_DESCRIPTION);
    std::map<std::string, json> outlets;
    collectOutlets(json::parse(in)["root"], outlets);
    const std::map<ControlKind, std::string> classOf = {{ControlKind::SliderPair, "Slider"},
                                                        {ControlKind::Pad, "ZembraXYView"},
                                                        {ControlKind::PopUp, "PopUpButton"},
                                                        {ControlKind::Toggle, "Button"}};
    for (const auto& binding : zembra::kControlBindings) {
        const std::string action = binding.method ? std::string(binding.action) + ":" : "";
        auto expect = [&](std::string_view outlet, const std::string& cls) {
            SCOPED_TRACE(std::string(outlet));
            ASSERT_TRUE(outlets.count(std::string(outlet)));
            const json& control = outlets[std::string(outlet)];
            EXPECT_EQ(control.value("class", ""), cls);
            EXPECT_EQ(control.value("action", ""), action);
            if (binding.kind == ControlKind::Toggle) {
                EXPECT_EQ(control.value("buttonType", ""), "toggle");
            }
            for (const char* key : {"minValue", "maxValue", "items", "selectedIndex", "state"})
                EXPECT_FALSE(control.contains(key)) << key << " belongs to the parameter table";
        };
        expect(binding.control, classOf.at(binding.kind));
        if (!binding.field.empty()) expect(binding.field, "TextField");
    }
}

} // namespace
