// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP module in our CLAP host: what it declares, its sound against zembra-render at
// another rate, its reactivation at a new rate, MIDI at its sample within a block, and its
// state.
#include "ClapHost.h"
#include "DspRun.h"
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
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace zembra;
using namespace e2e;

namespace {

constexpr uint32_t kMaxBlock = 4096;

// Parameter changes and MIDI the host sends in one block.
class InputEvents {
  public:
    void set(uint32_t time, clap_id id, double value) {
        clap_event_param_value_t e{};
        e.header = header(sizeof e, time, CLAP_EVENT_PARAM_VALUE);
        e.param_id = id;
        e.note_id = e.port_index = e.channel = e.key = -1; // any
        e.value = value;
        add(e);
    }
    // CLAP carries every MIDI message in three bytes.
    void midi(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
        add(clap_event_midi_t{
            header(sizeof(clap_event_midi_t), time, CLAP_EVENT_MIDI), 0, {status, data1, data2}});
    }
    // Any event as it stands, its header's size included.
    template <typename Event> void add(const Event& e) {
        mEvents.emplace_back((sizeof e + 7) / 8); // 8-byte words keep the fields aligned
        std::memcpy(mEvents.back().data(), &e, sizeof e);
    }
    static clap_event_header_t header(uint32_t size, uint32_t time, uint16_t type) {
        return {size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
    }
    void clear() { mEvents.clear(); }
    const clap_input_events_t* clap() const { return &mList; }

  private:
    static const InputEvents& self(const clap_input_events_t* l) {
        return *static_cast<const InputEvents*>(l->ctx);
    }
    std::vector<std::vector<uint64_t>> mEvents;
    clap_input_events_t mList{
        this,
        [](const clap_input_events_t* l) { return static_cast<uint32_t>(self(l).mEvents.size()); },
        [](const clap_input_events_t* l, uint32_t i) {
            return reinterpret_cast<const clap_event_header_t*>(self(l).mEvents[i].data());
        }};
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

    // Activates `p` at `rate`, plays the sources through it (A on its main input, `a` left and
    // `aRight` right; B mono on both channels of its side-chain port) in `blocks` (repeated),
    // by default uneven, as hosts split their cycles around loop points and automation, with
    // `first` sent in the first block, and deactivates it: the stereo output, interleaved.
    Sound play(const clap_plugin_t* p, const std::vector<float>& a,
               const std::vector<float>& aRight, const std::vector<float>& b, InputEvents& first,
               OutputEvents& sent, double rate,
               const std::vector<uint32_t>& blocks = {1000, 1, 333, 64, 999, 512, 7}) {
        std::vector<std::vector<float>> data(5, std::vector<float>(kMaxBlock)); // A, A, B, L, R
        float* in[] = {data[0].data(), data[1].data()};
        float* side[] = {data[2].data(), data[2].data()};
        float* out[] = {data[3].data(), data[4].data()};
        const clap_audio_buffer_t input[] = {{in, nullptr, 2, 0, 0}, {side, nullptr, 2, 0, 0}};
        clap_audio_buffer_t output{out, nullptr, 2, 0, 0};
        Sound played{2, {}};
        if (!p->activate(p, rate, 1, kMaxBlock) || !p->start_processing(p)) return played;
        for (size_t n = 0, done = 0; done < a.size(); ++n) {
            const auto frames =
                static_cast<uint32_t>(std::min<size_t>(blocks[n % blocks.size()], a.size() - done));
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

TEST_F(ClapPlugin, DescribesItselfItsParametersAndPorts) {
    EXPECT_STREQ(descriptor->id, "org.zembra.zembra");
    EXPECT_STREQ(descriptor->name, "Zembra");
    EXPECT_STREQ(descriptor->vendor, "Zembra");
    std::vector<std::string> features;
    for (const char* const* f = descriptor->features; f && *f; ++f)
        features.emplace_back(*f);
    for (const char* wanted : {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO})
        EXPECT_NE(std::find(features.begin(), features.end(), wanted), features.end()) << wanted;

    // Twelve parameters (their ranges and labels come from the table the LV2 test checks),
    // then the meters, read-only.
    const auto* params = clapExtension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin), static_cast<uint32_t>(kPluginParameterCount));
    for (const MeterInfo& meter : kMeters) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, static_cast<uint32_t>(meter.index), &info));
        EXPECT_STREQ(info.name, meter.name);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_READONLY) << meter.name;
        EXPECT_FALSE(info.flags & CLAP_PARAM_IS_AUTOMATABLE) << meter.name;
    }

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
}

// At 96 kHz: the engine works in samples, so it sounds as zembra-render does at any rate, and
// its latency stays the same number of samples. A stereo track is heard whole, as the mean of
// its channels, as zembra-render mixes a two-channel file; B comes through the side-chain port.
TEST_F(ClapPlugin, ProcessesWhatZembraRenderRendersAtAnotherRate) {
    // The track is the two-channel file: A left, B right.
    Material m = makeMaterial("clap-settings");
    const Sound a = readSound(m.a), b = readSound(m.b);
    m.a = m.both;
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
    const Sound output =
        play(plugin, a.samples, b.samples, b.samples, events, sent, 96000.0, {1000, 1, 333, 64});

    // Both keep the engine's delay, so they line up sample for sample.
    expectRendersLikeZembraRender("CLAP at 96 kHz", output, m, settings);
    // The meters reach the host as output parameter values.
    for (const MeterInfo& meter : kMeters)
        EXPECT_GT(sent.largest[static_cast<clap_id>(meter.index)], 0.01) << meter.name;
    // The latency is announced once, while inactive, and never changes: nothing to restart
    // for while processing.
    const auto* latency = clapExtension<clap_plugin_latency_t>(plugin, CLAP_EXT_LATENCY);
    ASSERT_NE(latency, nullptr);
    EXPECT_EQ(latency->get(plugin), static_cast<uint32_t>(kLatency));
    EXPECT_EQ(host.restarts, 0);
    EXPECT_EQ(host.latencyChanges, 1);
}

// Deactivated and activated again at a new rate (as after a bypass, a relocation or a new
// sample rate), with a value stored in between, an instance plays exactly what a new instance
// with the same values plays: nothing of the blend, the MIDI controllers, the long room or the
// solo path's delay follows it.
TEST_F(ClapPlugin, AReactivatedInstancePlaysExactlyWhatANewOnePlays) {
    const Material m = makeMaterial("clap-reactivation");
    const Sound a = readSound(m.a), b = readSound(m.b);
    const std::vector<float> laterA(a.samples.end() - 12000, a.samples.end()),
        laterB(b.samples.end() - 12000, b.samples.end());
    for (const std::map<int, float>& settings :
         std::vector<std::map<int, float>>{{{kParamX, 0.1f},
                                            {kParamWetDry, 60.0f},
                                            {kParamRoom, 90.0f},
                                            {kParamMixA, 20.0f},
                                            {kParamXControl, kSourceModWheel}},
                                           {{kParamSoloA, 1.0f}, {kParamRoom, 50.0f}}}) {
        const clap_plugin_t* used = create();
        const clap_plugin_t* fresh = create();
        ASSERT_TRUE(used && fresh);
        flush(used, settings);
        InputEvents wheel, none;
        wheel.midi(100, 0xB0, 1, 127);
        OutputEvents sent;
        play(used, a.samples, a.samples, b.samples, wheel, sent, 44100.0);
        auto changed = settings;
        changed[kParamRoom] -= 5.0f;
        flush(used, changed);
        flush(fresh, changed);
        const Sound again = play(used, laterA, laterA, laterB, none, sent, 96000.0);
        const Sound expected = play(fresh, laterA, laterA, laterB, none, sent, 96000.0);
        EXPECT_GT(rms(expected), 0.01) << "silence";
        EXPECT_TRUE(again.samples == expected.samples);
    }
}

// MIDI from the host moves X and Y at its sample within a block, as X control and Y control
// say, exactly as the bare engine does given the same controllers there; long and malformed
// events move nothing, and one past the end of its block counts at the end.
TEST_F(ClapPlugin, MidiMovesXAndYAtItsSampleWithinTheBlock) {
    using namespace zembra::plugin::test;
    // One block of 2500 holds the hop boundaries at 1023 and 2047: a message between them,
    // applied at the block's start or end instead, lands in another hop.
    const std::vector<uint32_t> blocks = {2500, 1000};
    constexpr uint32_t kAt = 1300;
    std::vector<uint8_t> sysex(300, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    const auto input = [](void (*set)(long, RTzembraInstance*), long value) -> EngineCall {
        return [set, value](RTzembraInstance* e) { set(value, e); };
    };
    using Send = std::function<void(InputEvents&)>;
    struct Message {
        uint32_t after; // kAt
        uint8_t status, data1, data2;
    };
    const auto midi = [](std::vector<Message> messages) -> Send {
        return [messages](InputEvents& e) {
            for (const Message& m : messages)
                e.midi(kAt + m.after, m.status, m.data1, m.data2);
        };
    };
    const struct {
        const char* what;
        float xControl, yControl;
        Send send;
        std::vector<std::pair<uint32_t, EngineCall>> heard; // from kAt on
    } cases[] = {
        {"mod wheel and pitch bend (its top seven bits), on any channel", kSourceModWheel,
         kSourcePitchWheel, midi({{0, 0xB0, 1, 127}, {200, 0xE5, 0x7F, 0x10}}),
         {{0, input(RTsetModWheel, 127)}, {200, input(RTsetPitchWheel, 0x10)}}},
        {"pedal on channel 5, aftertouch", kSourcePedal, kSourceAftertouch,
         midi({{0, 0xB4, 4, 90}, {200, 0xD0, 77, 0}}),
         {{0, input(RTsetPedal, 90)}, {200, input(RTsetChannelAfterTouch, 77)}}},
        {"a note event, then note-offs of another key", kSourceNote, kSourceNone,
         [&midi](InputEvents& e) {
             e.add(clap_event_note_t{InputEvents::header(sizeof(clap_event_note_t), kAt,
                                                         CLAP_EVENT_NOTE_ON),
                                     -1, 0, 0, 100, 0.8});
             midi({{100, 0x90, 60, 0}, {150, 0x80, 60, 64}})(e); // velocity 0 is a note-off
         },
         {{0, [](auto* e) { RTnoteOn(100, 102, e); }},
          {100, [](auto* e) { RTnoteOff(60, e); }},
          {150, [](auto* e) { RTnoteOff(60, e); }}}},
        {"sustain", kSourceSustain, kSourceNone, midi({{0, 0xB0, 64, 100}}),
         {{0, input(RTsetSustainPedal, 100)}}},
        {"all notes off", kSourceModWheel, kSourceNone,
         midi({{0, 0xB0, 1, 127}, {1100, 0xB0, 123, 0}}),
         {{0, input(RTsetModWheel, 127)}, {1100, [](auto* e) { RTallNotesOff(e); }}}},
        {"long and malformed events", kSourceModWheel, kSourceSustain,
         [&sysex](InputEvents& e) {
             e.add(clap_event_midi_sysex_t{InputEvents::header(sizeof(clap_event_midi_sysex_t),
                                                               kAt - 10, CLAP_EVENT_MIDI_SYSEX),
                                           0, sysex.data(), static_cast<uint32_t>(sysex.size())});
             clap_event_midi_t wrongSize{
                 InputEvents::header(8, kAt - 5, CLAP_EVENT_MIDI), 0, {0xB0, 64, 127}};
             e.add(wrongSize);
             e.midi(kAt - 2, 0x01, 0x7F, 0);  // no status byte
             e.midi(kAt - 1, 0xB0, 64, 0xC0); // a status byte where the value belongs
             e.midi(kAt, 0xB0, 1, 90);
             e.midi(2600, 0xB0, 64, 127); // past the end of its block of 2500
         },
         {{0, input(RTsetModWheel, 90)}, {2500 - kAt, input(RTsetSustainPedal, 127)}}},
    };
    const Signals s = sources(8192);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Settings settings = {{kParamX, 0.0f},
                                   {kParamY, 0.0f},
                                   {kParamXControl, c.xControl},
                                   {kParamYControl, c.yControl}};
        const clap_plugin_t* p = create();
        ASSERT_NE(p, nullptr);
        flush(p, {settings.begin(), settings.end()});
        InputEvents events;
        c.send(events);
        OutputEvents sent;
        const Sound played = play(p, s.a, s.a, s.b, events, sent, 48000.0, blocks);
        // The engine given the calls at `at` (relative frames as listed, from there).
        const auto heardAt = [&](uint32_t at) {
            auto calls = c.heard;
            for (auto& call : calls)
                call.first += at;
            const Output out = runEngine(settings, s, calls);
            std::vector<float> both;
            for (size_t i = 0; i < out.l.size(); ++i)
                both.insert(both.end(), {out.l[i], out.r[i]});
            return both;
        };
        EXPECT_TRUE(played.samples == heardAt(kAt));
        EXPECT_FALSE(played.samples == heardAt(0)) << "applied at the block's start";
        EXPECT_FALSE(played.samples == heardAt(2500)) << "applied at the block's end";
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
