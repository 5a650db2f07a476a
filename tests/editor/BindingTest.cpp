// SPDX-License-Identifier: GPL-3.0-or-later
// Binding the editor to its plug-in instance, one table over the parameters: every value
// shown on binding and sent back once, host changes moving only their controls, and what
// each control writes; then gestures, failed host calls, and editors that do not drive each
// other.
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

#include <sstream>

using namespace editor_test;
using Kind = au::TestHost::Call::Kind;
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

TEST_F(Binding, NestedGesturesBeginEachParameterAtItsFirstChangeAndEndOnlyThoseOnceAlsoOnUnbinding) {
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
    // What the host was told since the last call, as " b3 s3 e3" (begin, set, end).
    auto told = [&] {
        std::string seen;
        for (const auto& call : e.host().calls())
            seen += std::string(" ") + "sbev"[static_cast<int>(call.kind)] + std::to_string(call.id);
        e.host().clearCalls();
        return seen;
    };
    told();
    post(zembra::kEndGestureNotification, pad); // without a begin: nothing to end, now or later
    post(zembra::kBeginGestureNotification, pad);
    post(zembra::kBeginGestureNotification, slider);
    movePad(0.62f); // where X already is
    movePad(0.7f);
    movePad(0.8f);
    moveRoom(40.0f);
    moveRoom(45.0f);
    post(zembra::kEndGestureNotification, slider);
    EXPECT_TRUE(e.host().calls(Kind::EndGesture).empty()) << "the pad's gesture is still open";
    post(zembra::kEndGestureNotification, pad);

    // Each begin comes before the first value of its parameter, not at the gesture's start;
    // the ends come together, when the outermost gesture ends.
    EXPECT_EQ(told(), " s3 s4 b3 s3 s4 s3 s4 b6 s6 s6 e3 e6");
    // A preset: the host hears a value event of every control.
    post(zembra::kParameterValueChangedNotification, nullptr);
    EXPECT_EQ(e.host().calls(Kind::ValueEvent).size(), zembra::kControls.size());
    told();

    // The next gesture starts afresh; an editor unbound in the middle ends what it began.
    post(zembra::kBeginGestureNotification, slider);
    moveRoom(55.0f);
    e.view().setAU(0);
    EXPECT_EQ(told(), " b6 s6 e6");
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
    EXPECT_EQ(recorder.reports().size(), 1u);

    e.view().setAU(e.unit()); // no longer registered: nothing can be added or read
    for (const auto& r : recorder.reports()) {
        EXPECT_EQ(r.object, &e.view());
        EXPECT_EQ(r.description.find("(x.2)"), std::string::npos)
            << "a value that could not be read is not written";
    }
    EXPECT_EQ(recorder.reports().size(), 1u + 12 + 12); // each listener, then each value
}

} // namespace
