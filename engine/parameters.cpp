// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters, instance set-up, the MIDI-style controller inputs, the queries and the
// sample sanitisers.
#include "ZembraParameters.h"
#include "denormals.h"
#include "instance.h"
#include "windows.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

using namespace zembra;

namespace {

// The table's defaults in the engine's units.
constexpr std::array<float, kZembraParameterCount> kDefaults = [] {
    std::array<float, kZembraParameterCount> values{};
    for (const ParameterInfo& p : kParameters)
        values[static_cast<std::size_t>(p.id)] = p.toEngine(p.def);
    return values;
}();

// The MIDI 7-bit scaling: the double 1/127 applied to the value converted to float.
constexpr double kInv127 = 1.0 / 127.0;

float scale7bit(long value) {
    return static_cast<float>(static_cast<double>(static_cast<float>(value)) * kInv127);
}

void applyDefaultsIfFresh(RTzembraInstance& inst) {
    if (inst.initialised == 0) std::memcpy(inst.params, kDefaults.data(), sizeof kDefaults);
}

void resetControllerValues(RTzembraInstance& inst) {
    for (float& v : inst.controllerValue)
        v = 0.0f;
    inst.controllerValue[kSourcePitchWheel] = 0.5f;
}

// A source index outside the table would read past the controller values: read it as
// "none" instead.
int64_t sourceIndex(float stored) {
    const auto index = static_cast<int64_t>(stored);
    return (index >= 0 && index < kSourceCount) ? index : int64_t{kSourceNone};
}

void buildFixedTables(RTzembraInstance& inst) {
    inst.log2FrameSize =
        static_cast<int64_t>(std::log(static_cast<double>(kFrameSize)) / std::log(2.0) + 0.5);
    inst.cosTable[0] = 1.0f;
    for (long k = 1; k < kCosTableSize; ++k)
        inst.cosTable[k] = static_cast<float>(
            std::cos(2.0 * M_PI * static_cast<double>(k) / static_cast<double>(kFrameSize)));
    fftPlanInit(inst.fft, inst.log2FrameSize, inst.cosTable);
    smoothingInit(inst.smoothing, inst.log2FrameSize, inst.cosTable);
    makeTrapezoidWindow(inst.analysisWindow, kFrameSize, 32);
    makeHannSynthesisWindow(inst.synthesisWindow, kFrameSize);
    resetControllerValues(inst);
}

void updateDerivedParameters(const float* params, RTzembraInstance& inst) {
    inst.mixA = params[kParamMixA];
    inst.mixB = params[kParamMixB];
    inst.volume = params[kParamVolume];
    inst.wetDry = params[kParamWetDry];
    inst.xSource = sourceIndex(params[kParamXControl]);
    inst.ySource = sourceIndex(params[kParamYControl]);
    inst.posX = params[kParamX];
    inst.posY = params[kParamY];
    inst.stereoMode = params[kParamStereoMode] > 0.5f ? 1 : 0;
    inst.soloA = params[kParamSoloA] > 0.5f ? 1 : 0;
    inst.soloB = params[kParamSoloB] > 0.5f ? 1 : 0;

    if (inst.initialised == 0) {
        buildFixedTables(inst);
        inst.initialised = 1;
    }
    updateRoomSettings(inst.room, params[kParamWetDry], params[kParamRoom]);
}

} // namespace

extern "C" {

long RTzembraGetStructSize(void) {
    return static_cast<long>(sizeof(RTzembraInstance));
}

const char* RTzembraGetVersion(void) {
    return "1.2.9 [1112021500]";
}

long RTzembraGetProcessingLatency(void) {
    return kHop;
}

float RTzembraGetParameter(int id, RTzembraInstance* instance) {
    applyDefaultsIfFresh(*instance);
    if (static_cast<unsigned>(id) >= kZembraParameterCount) return 0.0f;
    return instance->params[id];
}

void RTzembraSetParameter(int id, float value, RTzembraInstance* instance) {
    applyDefaultsIfFresh(*instance);
    // A non-finite value would spread through the blend or the room for good: keep the
    // previous one.
    if (static_cast<unsigned>(id) < kZembraParameterCount && std::isfinite(value)) {
        instance->params[id] = kParameters[static_cast<std::size_t>(id)].isInteger()
                                   ? static_cast<float>(static_cast<int32_t>(value))
                                   : value;
    }
    updateDerivedParameters(instance->params, *instance);
}

long RTnoteOn(long note, long /*velocity*/, RTzembraInstance* instance) {
    if (note >= 28 && note <= 108)
        instance->controllerValue[kSourceNote] = static_cast<float>(note) * 0.0078125f;
    return 1;
}

void RTnoteOff(long /*note*/, RTzembraInstance* /*instance*/) {}

void RTallNotesOff(RTzembraInstance* instance) {
    resetControllerValues(*instance);
}

void RTsetPitchWheel(long value, RTzembraInstance* instance) {
    instance->controllerValue[kSourcePitchWheel] = scale7bit(value);
}

void RTsetModWheel(long value, RTzembraInstance* instance) {
    instance->controllerValue[kSourceModWheel] = scale7bit(value);
}

void RTsetPedal(long value, RTzembraInstance* instance) {
    instance->controllerValue[kSourcePedal] = scale7bit(value);
}

void RTsetChannelAfterTouch(long value, RTzembraInstance* instance) {
    instance->controllerValue[kSourceAftertouch] = scale7bit(value);
}

void RTsetSustainPedal(long value, RTzembraInstance* instance) {
    instance->controllerValue[kSourceSustain] = value > 63 ? 1.0f : 0.0f;
}

void RTseqStartStop(RTzembraInstance* /*instance*/) {}

void erase_NaN_Infinity_And_Denormal(float* value) {
    *value = withoutNonFinite(*value);
}

void erase_All_NaNs_Infinities_And_Denormals(float* values, int* count) {
    copyWithoutNonFinite(values, values, *count);
}

} // extern "C"
