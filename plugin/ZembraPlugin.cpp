// SPDX-License-Identifier: GPL-3.0-or-later
// The DPF shell (LV2, VST3, CLAP, JACK): describes ports, parameters and presets from the shared
// tables and forwards everything else to the DSP object.
#include "DistrhoPlugin.hpp"
#include "DistrhoPluginUtils.hpp"

#include "FactoryPresets.h"
#include "HostParameterOrder.h"
#include "HostParameters.h"
#include "ZembraDsp.h"
#include "ZembraParameters.h"
#include "support/BundleIdentity.h"
#include "support/PluginBundle.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

START_NAMESPACE_DISTRHO

namespace {

using zembra::kControls;
using zembra::ParameterKind;
using zembra::plugin::Dsp;
using zembra::plugin::HostParameterOrder;
using zembra::plugin::kFactoryPresets;
using zembra::plugin::MidiMessage;

class ZembraPlugin : public Plugin {
  public:
    // The instance is registered under the plug-in object DPF hands the UI.
    ZembraPlugin()
        : Plugin(zembra::kPluginParameterCount, kFactoryPresets.size(), 0),
          mOrder(getPluginFormatName()),
          mInstance(static_cast<const Plugin*>(this), mDsp.signalTap()), mMidi() {
        mDsp.setSampleRate(getSampleRate());
        // What the blend and the dry mix really take (the engine's own
        // RTzembraGetProcessingLatency says one hop); the solo paths are delayed to match, so
        // turning solo on does not shift the sound under the host's delay compensation.
        setLatency(static_cast<uint32_t>(zembra::kLatency));
    }

  protected:
    const char* getLabel() const override { return "Zembra"; }
    const char* getDescription() const override {
        return "Two-source spectral morphing: sources A and B cross-fade along Y and, towards "
               "the middle of X, the spectral envelope of one shapes the other; a small room "
               "sits behind the blend.";
    }
    const char* getMaker() const override { return "Zembra"; }
    // A URI, which DPF writes into the LV2 metadata as it stands.
    const char* getLicense() const override { return zembra::kLicenseUri; }
    uint32_t getVersion() const override {
        return d_version(ZEMBRA_VERSION_MAJOR, ZEMBRA_VERSION_MINOR, ZEMBRA_VERSION_PATCH);
    }
    int64_t getUniqueId() const override { return d_cconst('Z', 'm', 'b', 'r'); }

    // The inputs are the track's own stereo pair (the main input) and a stereo side-chain,
    // marked as such so that DAWs offer their side-chain routing for it: lv2:isSideChain, a
    // VST3 aux bus, a CLAP input port that is not the main one. Hosts without side-chain
    // routing see four plain inputs, the track's first. The routing control says which
    // channels become sources A and B (HostInputs.h).
    void initAudioPort(bool input, uint32_t index, AudioPort& port) override {
        static constexpr const char* kInputNames[] = {"Input Left", "Input Right",
                                                      "Side-chain Left", "Side-chain Right"};
        static constexpr const char* kInputSymbols[] = {"in_l", "in_r", "sc_l", "sc_r"};
        static constexpr const char* kOutputNames[] = {"Output Left", "Output Right"};
        static constexpr const char* kOutputSymbols[] = {"out_l", "out_r"};
        if (input) {
            port.name = kInputNames[index];
            port.symbol = kInputSymbols[index];
            // DPF puts a port on the bus of its group before it looks at the side-chain mark:
            // the side-chain needs a group of its own, or it would join the track's bus.
            if (index < 2) {
                port.groupId = kPortGroupStereo;
            } else {
                port.groupId = kSideChainGroup;
                port.hints |= kAudioPortIsSidechain;
            }
        } else {
            port.name = kOutputNames[index];
            port.symbol = kOutputSymbols[index];
            port.groupId = kPortGroupStereo;
        }
    }

    void initPortGroup(uint32_t groupId, PortGroup& group) override {
        if (groupId != kSideChainGroup) return Plugin::initPortGroup(groupId, group);
        group.name = "Side-chain";
        group.symbol = "sidechain";
    }

    void initParameter(uint32_t hostIndex, Parameter& parameter) override {
        const uint32_t index = mOrder.toOurs(hostIndex);
        if (index >= kControls.size()) {
            const auto& meter = zembra::kMeters[index - kControls.size()];
            parameter.hints = kParameterIsOutput;
            parameter.name = meter.name;
            parameter.symbol = meter.symbol;
            parameter.ranges = ParameterRanges(0.0f, 0.0f, 1.0f);
            return;
        }
        const zembra::ParameterInfo& info = kControls[index];
        parameter.name = info.name;
        parameter.shortName = info.shortName;
        parameter.symbol = info.symbol;
        parameter.unit = info.unit;
        parameter.ranges = ParameterRanges(info.def, info.min, info.max);
        parameter.hints = kParameterIsAutomatable;
        switch (info.kind) {
        case ParameterKind::Continuous:
            break;
        case ParameterKind::Toggle:
            parameter.hints |= kParameterIsBoolean | kParameterIsInteger;
            break;
        case ParameterKind::Enumeration: {
            parameter.hints |= kParameterIsInteger;
            // DPF takes ownership of the array.
            auto* values = new ParameterEnumerationValue[info.labels.size()];
            for (size_t i = 0; i < info.labels.size(); ++i)
                values[i] = ParameterEnumerationValue(static_cast<float>(i), info.labels[i]);
            parameter.enumValues.count = static_cast<uint8_t>(info.labels.size());
            parameter.enumValues.restrictedMode = true;
            parameter.enumValues.values = values;
            break;
        }
        }
    }

    void initProgramName(uint32_t index, String& programName) override {
        programName = kFactoryPresets[index].name;
    }

    float getParameterValue(uint32_t hostIndex) const override {
        return mDsp.parameter(mOrder.toOurs(hostIndex));
    }
    // The editor's parameter services read what the audio side holds (one atomic store each,
    // as this may run on the audio thread).
    void setParameterValue(uint32_t hostIndex, float value) override {
        const uint32_t index = mOrder.toOurs(hostIndex);
        mDsp.setParameter(index, value);
        mInstance.parameters().pluginValueStored(index, mDsp.parameter(index));
    }
    void loadProgram(uint32_t index) override {
        mDsp.loadPreset(index);
        for (const zembra::ParameterInfo& info : zembra::kParameters) {
            const auto id = static_cast<uint32_t>(info.id);
            mInstance.parameters().pluginValueStored(id, mDsp.parameter(id));
        }
    }

    void sampleRateChanged(double newSampleRate) override { mDsp.setSampleRate(newSampleRate); }
    // Hosts activate after a bypass, a relocation or a new sample rate: nothing of the old
    // sound may follow into the new one.
    void activate() override { mDsp.reset(); }

    void run(const float** inputs, float** outputs, uint32_t frames, const MidiEvent* midiEvents,
             uint32_t midiEventCount) override {
        uint32_t count = 0;
        for (uint32_t i = 0; i < midiEventCount && count < kMaxMidi; ++i) {
            const MidiEvent& event = midiEvents[i];
            if (event.size == 0 || event.size > 3) continue;
            MidiMessage& message = mMidi[count++];
            message.frame = event.frame;
            message.size = event.size;
            std::memcpy(message.bytes, event.data, event.size);
        }
        const TimePosition& time = getTimePosition();
        mDsp.process({.trackLeft = inputs[0],
                      .trackRight = inputs[1],
                      .sideChainLeft = inputs[2],
                      .sideChainRight = inputs[3]},
                     outputs[0], outputs[1], frames, mMidi, count, {time.playing, time.frame});
    }

  private:
    static constexpr uint32_t kSideChainGroup = 0; // our own port group; DPF's are negative
    static constexpr uint32_t kMaxMidi = 512;      // what DPF's wrappers pass per block at most
    Dsp mDsp;
    const HostParameterOrder mOrder;
    zembra::plugin::RegisteredInstance mInstance;
    MidiMessage mMidi[kMaxMidi];

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ZembraPlugin)
};

} // namespace

Plugin* createPlugin() {
    return new ZembraPlugin();
}

namespace {

// Resources and the version text are looked up in the bundle this module was loaded from.
// The standalone and the CLAP module are single files with no bundle around them; they use
// share/zembra: beside bin/ (the standalone; the CLAP module in the build tree), at the prefix
// of <prefix>/lib/clap, or, for a module in ~/.clap, in the user's data folder, where a
// per-user install puts it.
std::vector<std::filesystem::path>
sharedResourceFolders(const std::filesystem::path& moduleFolder) {
    std::vector<std::filesystem::path> folders = {moduleFolder / ".." / "share" / "zembra",
                                                  moduleFolder / ".." / ".." / "share" / "zembra"};
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome)
        folders.push_back(std::filesystem::path(dataHome) / "zembra");
    else if (home && *home)
        folders.push_back(std::filesystem::path(home) / ".local" / "share" / "zembra");
    return folders;
}

const fnd::Bundle* registerBundle() {
    const fnd::Bundle* bundle =
        zembra::registerPluginBundle(reinterpret_cast<const void*>(&createPlugin));
    if (!bundle || bundle->pathForResource("Info", "plist")) return bundle;
    for (const auto& shared : sharedResourceFolders(bundle->directory())) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(shared / "Info.plist", ec))
            return &fnd::Bundle::registerBundle(zembra::kBundleIdentifier,
                                                shared.lexically_normal());
    }
    return bundle;
}

[[maybe_unused]] const bool gBundleRegistered = registerBundle() != nullptr;

} // namespace

END_NAMESPACE_DISTRHO
