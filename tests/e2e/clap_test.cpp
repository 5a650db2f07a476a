// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP module in a small host of our own, written from the CLAP headers DPF ships: it loads
// the module, reads what the plug-in declares (parameters, audio ports, latency, editor), runs
// the test material through it in uneven blocks and compares the result with zembra-render,
// reactivates it as hosts do and restores its state. Qtractor's own plug-in scanner lists it too.
#include "ClapHost.h"
#include "E2eSounds.h"
#include "E2eSupport.h"
#include "ZembraParameters.h"
#include "constants.h"

#include <gtest/gtest.h>

#include "clap/ext/audio-ports.h"
#include "clap/ext/note-ports.h"
#include "clap/ext/state.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zembra;
using namespace e2e;

namespace {

constexpr double kSampleRate = 48000.0;
constexpr uint32_t kMaxBlock = 1000;

// Parameter changes the host sends in one block.
class InputEvents {
  public:
    void set(uint32_t time, clap_id id, double value) {
        clap_event_param_value_t e{};
        e.header = {sizeof(e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param_id = id;
        e.note_id = -1;
        e.port_index = -1;
        e.channel = -1;
        e.key = -1;
        e.value = value;
        mEvents.push_back(e);
    }
    void clear() { mEvents.clear(); }
    const clap_input_events_t* clap() const { return &mList; }

  private:
    static const InputEvents& self(const clap_input_events_t* l) {
        return *static_cast<const InputEvents*>(l->ctx);
    }
    std::vector<clap_event_param_value_t> mEvents;
    clap_input_events_t mList{
        this,
        [](const clap_input_events_t* l) { return static_cast<uint32_t>(self(l).mEvents.size()); },
        [](const clap_input_events_t* l, uint32_t i) { return &self(l).mEvents[i].header; }};
};

// The largest value the plug-in reported for each parameter it sent (the meters).
class OutputEvents {
  public:
    const clap_output_events_t* clap() const { return &mList; }
    std::map<clap_id, double> largest;

  private:
    clap_output_events_t mList{
        this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
            if (e->space_id != CLAP_CORE_EVENT_SPACE_ID || e->type != CLAP_EVENT_PARAM_VALUE)
                return true;
            const auto* p = reinterpret_cast<const clap_event_param_value_t*>(e);
            auto& values = static_cast<OutputEvents*>(l->ctx)->largest;
            values[p->param_id] = std::max(values[p->param_id], p->value);
            return true;
        }};
};

// A saved state, as a host keeps it in its session.
struct SavedState {
    std::string bytes;
    size_t read = 0;
    clap_ostream_t out{this, [](const clap_ostream_t* s, const void* buffer, uint64_t size) {
                           static_cast<SavedState*>(s->ctx)->bytes.append(
                               static_cast<const char*>(buffer), size);
                           return static_cast<int64_t>(size);
                       }};
    // In small pieces, as hosts may hand it back.
    clap_istream_t in{
        this, [](const clap_istream_t* s, void* buffer, uint64_t size) {
            auto& self = *static_cast<SavedState*>(s->ctx);
            const size_t n = std::min<size_t>({size, 100000, self.bytes.size() - self.read});
            std::memcpy(buffer, self.bytes.data() + self.read, n);
            self.read += n;
            return static_cast<int64_t>(n);
        }};
};

// Plug-in instances, created and initialised; destroyed with the fixture.
class ClapPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        const clap_plugin_factory_t* f = clapFactory(ZEMBRA_E2E_CLAP_MODULE, error);
        ASSERT_NE(f, nullptr) << error;
        ASSERT_EQ(f->get_plugin_count(f), 1u);
        descriptor = f->get_plugin_descriptor(f, 0);
        ASSERT_NE(descriptor, nullptr);
        plugin = create();
        ASSERT_NE(plugin, nullptr);
    }
    void TearDown() override {
        for (const clap_plugin_t* p : mCreated)
            p->destroy(p);
    }

    const clap_plugin_t* create() {
        std::string error;
        const clap_plugin_factory_t* f = clapFactory(ZEMBRA_E2E_CLAP_MODULE, error);
        const clap_plugin_t* p = f->create_plugin(f, host.clap(), descriptor->id);
        if (!p) return nullptr;
        mCreated.push_back(p);
        return p->init(p) ? p : nullptr;
    }

    // The input ports as the plug-in declares them, and which source each channel carries:
    // one two-channel port is A left, B right; otherwise the main port carries A and any
    // other port (a sidechain) carries B.
    struct Inputs {
        std::vector<clap_audio_port_info_t> ports;
        std::vector<std::vector<int>> sourceOfChannel; // 0: A, 1: B, per port and channel
    };
    Inputs inputs() const {
        Inputs in;
        const auto* ports = clapExtension<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
        if (!ports) return in;
        for (uint32_t i = 0; i < ports->count(plugin, true); ++i) {
            clap_audio_port_info_t info{};
            if (!ports->get(plugin, i, true, &info)) return {};
            in.ports.push_back(info);
        }
        for (const auto& port : in.ports) {
            const bool main = port.flags & CLAP_AUDIO_PORT_IS_MAIN;
            std::vector<int> sources(port.channel_count, main ? 0 : 1);
            if (in.ports.size() == 1 && port.channel_count == 2) sources = {0, 1};
            in.sourceOfChannel.push_back(sources);
        }
        return in;
    }

    // Activates `p`, plays the mono sources through it in uneven blocks (as hosts split their
    // cycles around loop points and automation), with `first` sent in the first block, and
    // deactivates it: the stereo output, interleaved.
    Sound play(const clap_plugin_t* p, const std::vector<float>& a, const std::vector<float>& b,
               InputEvents& first, OutputEvents& sent) {
        const Inputs in = inputs();
        std::vector<std::vector<float>> data; // one per input channel, then the two outputs
        std::vector<int> sourceOf;
        for (const auto& sources : in.sourceOfChannel)
            for (int source : sources) {
                data.emplace_back(kMaxBlock);
                sourceOf.push_back(source);
            }
        data.resize(sourceOf.size() + 2, std::vector<float>(kMaxBlock));
        std::vector<float*> pointers;
        for (auto& channel : data)
            pointers.push_back(channel.data());
        std::vector<clap_audio_buffer_t> buffers;
        uint32_t channel = 0;
        for (const auto& port : in.ports) {
            buffers.push_back({&pointers[channel], nullptr, port.channel_count, 0, 0});
            channel += port.channel_count;
        }
        clap_audio_buffer_t output{&pointers[channel], nullptr, 2, 0, 0};
        Sound out{2, {}};
        if (in.ports.empty() || !p->activate(p, kSampleRate, 1, kMaxBlock) ||
            !p->start_processing(p))
            return out;
        static constexpr uint32_t kBlocks[] = {kMaxBlock, 1, 333, 64, 999, 512, 7};
        for (size_t n = 0, done = 0; done < a.size(); ++n) {
            const auto frames = static_cast<uint32_t>(
                std::min<size_t>(kBlocks[n % std::size(kBlocks)], a.size() - done));
            for (size_t c = 0; c < sourceOf.size(); ++c)
                std::copy_n((sourceOf[c] == 0 ? a : b).begin() + static_cast<std::ptrdiff_t>(done),
                            frames, data[c].begin());
            clap_process_t process{};
            process.steady_time = static_cast<int64_t>(done);
            process.frames_count = frames;
            process.audio_inputs = buffers.data();
            process.audio_inputs_count = static_cast<uint32_t>(buffers.size());
            process.audio_outputs = &output;
            process.audio_outputs_count = 1;
            process.in_events = first.clap();
            process.out_events = sent.clap();
            EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_CONTINUE);
            first.clear();
            for (uint32_t f = 0; f < frames; ++f)
                out.samples.insert(out.samples.end(), {output.data32[0][f], output.data32[1][f]});
            done += frames;
        }
        p->stop_processing(p);
        p->deactivate(p);
        return out;
    }

    // Host values sent to `p` while it is inactive, as a host restores a session.
    void flush(const clap_plugin_t* p, const std::map<int, float>& hostValues) const {
        const auto* params = clapExtension<clap_plugin_params_t>(p, CLAP_EXT_PARAMS);
        InputEvents events;
        OutputEvents sent;
        for (auto [id, value] : hostValues)
            events.set(0, static_cast<clap_id>(id), value);
        params->flush(p, events.clap(), sent.clap());
    }

    ClapHost host;
    const clap_plugin_descriptor_t* descriptor = nullptr;
    const clap_plugin_t* plugin = nullptr;

  private:
    std::vector<const clap_plugin_t*> mCreated;
};

} // namespace

TEST_F(ClapPlugin, DescribesItselfItsParametersPortsLatencyAndEditor) {
    EXPECT_STREQ(descriptor->id, "org.zembra.zembra");
    EXPECT_STREQ(descriptor->name, "Zembra");
    EXPECT_STREQ(descriptor->vendor, "Zembra");
    std::vector<std::string> features;
    for (const char* const* f = descriptor->features; f && *f; ++f)
        features.emplace_back(*f);
    for (const char* wanted : {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO})
        EXPECT_NE(std::find(features.begin(), features.end(), wanted), features.end()) << wanted;

    // The twelve parameters by their ids, then the meters, read-only.
    const auto* params = clapExtension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin), static_cast<uint32_t>(kPluginParameterCount));
    for (const ParameterInfo& p : kParameters) {
        SCOPED_TRACE(p.name);
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, static_cast<uint32_t>(p.id), &info));
        EXPECT_EQ(info.id, static_cast<clap_id>(p.id));
        EXPECT_STREQ(info.name, p.name);
        EXPECT_EQ(info.min_value, p.min);
        EXPECT_EQ(info.max_value, p.max);
        EXPECT_EQ(info.default_value, p.def);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_EQ(static_cast<bool>(info.flags & CLAP_PARAM_IS_STEPPED), p.isInteger());
        double value = -1.0;
        ASSERT_TRUE(params->get_value(plugin, info.id, &value));
        EXPECT_EQ(value, p.def);
    }
    for (const MeterInfo& meter : kMeters) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, static_cast<uint32_t>(meter.index), &info));
        EXPECT_STREQ(info.name, meter.name);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_READONLY) << meter.name;
        EXPECT_FALSE(info.flags & CLAP_PARAM_IS_AUTOMATABLE) << meter.name;
    }
    // Enumerations show their labels.
    char text[64] = {};
    ASSERT_TRUE(params->value_to_text(plugin, kParamXControl, 2.0, text, sizeof text));
    EXPECT_STREQ(text, kControllerSourceLabels[2]);

    const auto* latency = clapExtension<clap_plugin_latency_t>(plugin, CLAP_EXT_LATENCY);
    ASSERT_NE(latency, nullptr);
    EXPECT_EQ(latency->get(plugin), static_cast<uint32_t>(kLatency));

    // Two input channels, one for each source, and one stereo main output.
    const Inputs in = inputs();
    ASSERT_FALSE(in.ports.empty());
    size_t a = 0, b = 0;
    for (size_t i = 0; i < in.ports.size(); ++i) {
        std::cout << "[ figure ] CLAP input port " << i << ": \"" << in.ports[i].name << "\", "
                  << in.ports[i].channel_count << " channel(s)"
                  << (in.ports[i].flags & CLAP_AUDIO_PORT_IS_MAIN ? ", main" : "") << "\n";
        for (int source : in.sourceOfChannel[i])
            ++(source == 0 ? a : b);
    }
    EXPECT_TRUE(in.ports[0].flags & CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_EQ(a + b, 2u);
    EXPECT_EQ(b, 1u);
    const auto* ports = clapExtension<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
    ASSERT_EQ(ports->count(plugin, false), 1u);
    clap_audio_port_info_t out{};
    ASSERT_TRUE(ports->get(plugin, 0, false, &out));
    EXPECT_EQ(out.channel_count, 2u);
    EXPECT_TRUE(out.flags & CLAP_AUDIO_PORT_IS_MAIN);

    // MIDI in, for the X and Y controls.
    const auto* notes = clapExtension<clap_plugin_note_ports_t>(plugin, CLAP_EXT_NOTE_PORTS);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->count(plugin, true), 1u);

    // The editor, embedded in an X11 window, at its own size.
    const auto* gui = clapExtension<clap_plugin_gui_t>(plugin, CLAP_EXT_GUI);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
}

TEST_F(ClapPlugin, ProcessesWhatZembraRenderRenders) {
    const Material m = makeMaterial("clap-settings");
    const Sound a = readSound(m.a), b = readSound(m.b);
    ASSERT_EQ(a.frames(), b.frames());
    const std::map<int, float> settings = {{kParamX, 0.3f},     {kParamY, 0.8f},
                                           {kParamMixA, 10.0f}, {kParamWetDry, 20.0f},
                                           {kParamRoom, 70.0f}, {kParamStereoMode, 1.0f}};
    // The settings go in before activation, X elsewhere; the first block changes X twice,
    // and the last value holds.
    std::map<int, float> before = settings;
    before[kParamX] = 0.6f;
    flush(plugin, before);
    InputEvents events;
    events.set(0, kParamX, 0.9);
    events.set(0, kParamX, settings.at(kParamX));
    OutputEvents sent;
    const Sound output = play(plugin, a.samples, b.samples, events, sent);

    // Both keep the engine's delay, so they line up sample for sample.
    expectRendersLikeZembraRender("CLAP", output, m, settings);
    // The meters reach the host as output parameter values.
    for (const MeterInfo& meter : kMeters)
        EXPECT_GT(sent.largest[static_cast<clap_id>(meter.index)], 0.01) << meter.name;
    // The latency is announced once, while inactive, and never changes: nothing to restart
    // for while processing.
    EXPECT_EQ(host.restarts, 0);
    EXPECT_EQ(host.latencyChanges, 1);
}

// Deactivated and activated again (as after a bypass, a relocation or a new sample rate), an
// instance plays exactly what a new instance with the same values plays: the blend with a
// long room, and the solo path with its delay.
TEST_F(ClapPlugin, AReactivatedInstancePlaysExactlyWhatANewOnePlays) {
    const Material m = makeMaterial("clap-reactivation");
    const Sound a = readSound(m.a), b = readSound(m.b);
    const std::vector<float> laterA(a.samples.end() - 12000, a.samples.end()),
        laterB(b.samples.end() - 12000, b.samples.end());
    for (const std::map<int, float>& settings : std::vector<std::map<int, float>>{
             {{kParamX, 0.1f}, {kParamWetDry, 60.0f}, {kParamRoom, 90.0f}, {kParamMixA, 20.0f}},
             {{kParamSoloA, 1.0f}, {kParamRoom, 50.0f}}}) {
        const clap_plugin_t* used = create();
        const clap_plugin_t* fresh = create();
        ASSERT_TRUE(used && fresh);
        flush(used, settings);
        flush(fresh, settings);
        InputEvents none;
        OutputEvents sent;
        play(used, a.samples, b.samples, none, sent);
        const Sound again = play(used, laterA, laterB, none, sent);
        const Sound expected = play(fresh, laterA, laterB, none, sent);
        EXPECT_GT(rms(expected), 0.01) << "silence";
        EXPECT_TRUE(again.samples == expected.samples);
    }
}

// Hosts keep a CLAP plug-in's settings in their sessions through its state alone.
TEST_F(ClapPlugin, ItsSavedStateBringsTheSettingsBackInAFreshInstance) {
    const auto* params = clapExtension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    const auto* state = clapExtension<clap_plugin_state_t>(plugin, CLAP_EXT_STATE);
    ASSERT_NE(params, nullptr);
    ASSERT_NE(state, nullptr) << "no state extension: a host would lose the settings";
    const std::map<int, float> settings = {{kParamX, 0.25f},         {kParamY, 0.75f},
                                           {kParamRoom, 12.0f},      {kParamXControl, 3.0f},
                                           {kParamStereoMode, 1.0f}, {kParamSoloB, 1.0f}};
    flush(plugin, settings);

    SavedState saved;
    ASSERT_TRUE(state->save(plugin, &saved.out));
    const clap_plugin_t* fresh = create();
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(state->load(fresh, &saved.in));
    for (const ParameterInfo& p : kParameters) {
        double value = -1.0;
        ASSERT_TRUE(params->get_value(fresh, static_cast<clap_id>(p.id), &value));
        EXPECT_EQ(value, settings.count(p.id) ? settings.at(p.id) : p.def) << p.name;
    }
}

// Qtractor scans CLAP plug-ins in a helper process of its own, which reads "CLAP:<file>" lines
// and answers "CLAP|name|audio in:out|MIDI in:out|controls in:out|features|file|index|id".
// It counts the channels of the main ports only: a sidechain port is not among them.
using QtractorScanner = ClapPlugin;
TEST_F(QtractorScanner, ListsZembraWithItsPortsControlsAndEditor) {
    const Inputs in = inputs();
    ASSERT_FALSE(in.ports.empty());
    ASSERT_STRNE(ZEMBRA_E2E_QTRACTOR_SCAN, "")
        << "qtractor_plugin_scan not found: install qtractor";
    Child scan = spawn({ZEMBRA_E2E_QTRACTOR_SCAN}, hostEnv());
    const std::string request = std::string("CLAP:") + ZEMBRA_E2E_CLAP_MODULE + "\n";
    ASSERT_EQ(write(scan.in, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    close(scan.in);
    scan.in = -1;
    const Result r = finish(scan, std::chrono::seconds(60));
    ASSERT_TRUE(r.finished) << r.output;
    EXPECT_EQ(r.status, 0) << r.output;
    std::string listing;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("CLAP|", 0) == 0) listing = line;
    std::cout << "[ figure ] qtractor_plugin_scan: " << listing << "\n";
    std::vector<std::string> fields;
    std::istringstream parts(listing);
    for (std::string field; std::getline(parts, field, '|');)
        fields.push_back(field);
    ASSERT_GE(fields.size(), 7u) << r.output;
    EXPECT_EQ(fields[1], "Zembra");
    EXPECT_EQ(fields[2], std::to_string(in.ports[0].channel_count) + ":2");
    EXPECT_EQ(fields[3], "1:0");
    EXPECT_EQ(fields[4],
              std::to_string(kZembraParameterCount) + ":" + std::to_string(kMeters.size()));
    EXPECT_NE(fields[5].find("GUI"), std::string::npos);
    EXPECT_EQ(fields[6], ZEMBRA_E2E_CLAP_MODULE);
}
