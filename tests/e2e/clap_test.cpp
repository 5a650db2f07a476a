// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP module in our CLAP host: what it declares, its sound against zembra-render, its
// reactivation and its state; and in Qtractor's plug-in scanner.
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
        e.note_id = e.port_index = e.channel = e.key = -1; // any
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
    void SetUp() override { ASSERT_NE(plugin = create(), nullptr) << error; }
    void TearDown() override {
        for (const clap_plugin_t* p : mCreated)
            p->destroy(p);
    }

    const clap_plugin_t* create() {
        const clap_plugin_factory_t* f = clapFactory(ZEMBRA_E2E_CLAP_MODULE, error);
        if (!f || f->get_plugin_count(f) != 1) return nullptr;
        descriptor = f->get_plugin_descriptor(f, 0);
        const clap_plugin_t* p = f->create_plugin(f, host.clap(), descriptor->id);
        if (!p) return nullptr;
        mCreated.push_back(p);
        return p->init(p) ? p : nullptr;
    }

    // Activates `p`, plays the sources through it (A on its main input, B on its side-chain
    // port, each mono on both channels) in uneven blocks, as hosts split their cycles around
    // loop points and automation, with `first` sent in the first block, and deactivates it:
    // the stereo output, interleaved.
    Sound play(const clap_plugin_t* p, const std::vector<float>& a, const std::vector<float>& b,
               InputEvents& first, OutputEvents& sent) {
        return play(p, a, a, b, first, sent);
    }
    // The same with A's two channels given apart: `a` left, `aRight` right.
    Sound play(const clap_plugin_t* p, const std::vector<float>& a,
               const std::vector<float>& aRight, const std::vector<float>& b, InputEvents& first,
               OutputEvents& sent) {
        std::vector<std::vector<float>> data(5, std::vector<float>(kMaxBlock)); // A, A, B, L, R
        float* in[] = {data[0].data(), data[1].data()};
        float* side[] = {data[2].data(), data[2].data()};
        float* out[] = {data[3].data(), data[4].data()};
        const clap_audio_buffer_t input[] = {{in, nullptr, 2, 0, 0}, {side, nullptr, 2, 0, 0}};
        clap_audio_buffer_t output{out, nullptr, 2, 0, 0};
        Sound played{2, {}};
        if (!p->activate(p, kSampleRate, 1, kMaxBlock) || !p->start_processing(p)) return played;
        static constexpr uint32_t kBlocks[] = {kMaxBlock, 1, 333, 64, 999, 512, 7};
        for (size_t n = 0, done = 0; done < a.size(); ++n) {
            const auto frames = static_cast<uint32_t>(
                std::min<size_t>(kBlocks[n % std::size(kBlocks)], a.size() - done));
            std::copy_n(a.begin() + static_cast<std::ptrdiff_t>(done), frames, in[0]);
            std::copy_n(aRight.begin() + static_cast<std::ptrdiff_t>(done), frames, in[1]);
            std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(done), frames, side[0]);
            clap_process_t process{};
            process.steady_time = static_cast<int64_t>(done);
            process.frames_count = frames;
            process.audio_inputs = input;
            process.audio_outputs = &output;
            process.audio_inputs_count = 2;
            process.audio_outputs_count = 1;
            process.in_events = first.clap();
            process.out_events = sent.clap();
            EXPECT_EQ(p->process(p, &process), CLAP_PROCESS_CONTINUE);
            first.clear();
            for (uint32_t f = 0; f < frames; ++f)
                played.samples.insert(played.samples.end(), {out[0][f], out[1][f]});
            done += frames;
        }
        p->stop_processing(p);
        p->deactivate(p);
        return played;
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
    std::string error;
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

    // The twelve parameters and the routing by their ids, then the meters, read-only.
    const auto* params = clapExtension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin), static_cast<uint32_t>(kPluginParameterCount));
    for (const ParameterInfo& p : kControls) {
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

    // The track's stereo main input and a stereo side-chain port of its own beside it, and one
    // stereo main output.
    const auto* ports = clapExtension<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    for (bool input : {true, false}) {
        SCOPED_TRACE(input ? "input" : "output");
        ASSERT_EQ(ports->count(plugin, input), input ? 2u : 1u);
        for (uint32_t index = 0; index < ports->count(plugin, input); ++index) {
            clap_audio_port_info_t info{};
            ASSERT_TRUE(ports->get(plugin, index, input, &info));
            EXPECT_EQ(info.channel_count, 2u);
            EXPECT_EQ(static_cast<bool>(info.flags & CLAP_AUDIO_PORT_IS_MAIN), index == 0);
        }
    }

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

// A stereo track is heard whole, as the mean of its channels, as zembra-render mixes a
// two-channel file; B comes through the side-chain port.
TEST_F(ClapPlugin, HearsAStereoTrackWholeWithBOnTheSideChain) {
    const Material m = makeMaterial("clap-stereo");
    const Sound both = readSound(m.both), b = readSound(m.b);
    std::vector<float> left, right;
    for (size_t i = 0; i < both.frames(); ++i) {
        left.push_back(both.samples[2 * i]);
        right.push_back(both.samples[2 * i + 1]);
    }
    const std::map<int, float> settings = {{kParamX, 0.3f}, {kParamMixA, 10.0f}};
    flush(plugin, settings);
    InputEvents none;
    OutputEvents sent;
    Material stereoA = m;
    stereoA.a = m.both;
    expectRendersLikeZembraRender(
        "CLAP, stereo A", play(plugin, left, right, b.samples, none, sent), stereoA, settings);
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
    const std::map<int, float> settings = {{kParamX, 0.25f},
                                           {kParamY, 0.75f},
                                           {kParamRoom, 12.0f},
                                           {kParamXControl, 3.0f},
                                           {kParamStereoMode, 1.0f},
                                           {kParamSoloB, 1.0f},
                                           {kParamSourceRouting, kRoutingLeftAndRight}};
    flush(plugin, settings);

    SavedState saved;
    ASSERT_TRUE(state->save(plugin, &saved.out));
    const clap_plugin_t* fresh = create();
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(state->load(fresh, &saved.in));
    for (const ParameterInfo& p : kControls) {
        double value = -1.0;
        ASSERT_TRUE(params->get_value(fresh, static_cast<clap_id>(p.id), &value));
        EXPECT_EQ(value, settings.count(p.id) ? settings.at(p.id) : p.def) << p.name;
    }
}

// Qtractor scans CLAP plug-ins in a helper process of its own, which reads "CLAP:<file>" lines
// and answers "CLAP|name|audio in:out|MIDI in:out|controls in:out|features|file|index|id".
TEST(QtractorScanner, ListsZembraWithItsPortsControlsAndEditor) {
    ASSERT_STRNE(ZEMBRA_E2E_QTRACTOR_SCAN, "")
        << "qtractor_plugin_scan not found: install qtractor";
    Child scan = spawn({ZEMBRA_E2E_QTRACTOR_SCAN}, hostEnv());
    const std::string request = std::string("CLAP:") + ZEMBRA_E2E_CLAP_MODULE + "\n";
    ASSERT_EQ(write(scan.in, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    endInput(scan);
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
    EXPECT_EQ(fields[2], "2:2");
    EXPECT_EQ(fields[3], "1:0");
    EXPECT_EQ(fields[4], std::to_string(kControlCount) + ":" + std::to_string(kMeters.size()));
    EXPECT_NE(fields[5].find("GUI"), std::string::npos);
    EXPECT_EQ(fields[6], ZEMBRA_E2E_CLAP_MODULE);
}
