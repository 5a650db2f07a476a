// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-render: the parser, the render loop against the plug-in playing the same material,
// the spectrogram, and the real binary on bad input (exit status 2, one line, nothing left).
#include "DspRun.h"
#include "demo_material.h"
#include "errors.h"
#include "options.h"
#include "render.h"
#include "sound_io.h"
#include "spectrogram.h"

#include "RunProgram.h"
#include "SoundFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <numbers>
#include <set>
#include <sndfile.h>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zembra;
using namespace zembra::render;
using testing_support::readSound;
using testing_support::Sound;
using testing_support::TestDirectory;
namespace render = zembra::render;

namespace {

constexpr int kRate = 48000;

ParseResult parse(std::vector<std::string> args) {
    args.insert(args.begin(), "zembra-render");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return parseOptions(static_cast<int>(argv.size()), argv.data());
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

Sound mono(std::vector<float> samples, int rate = kRate) {
    return Sound{1, std::move(samples), rate};
}

std::vector<float> sine(long frames, double hz, float amplitude) {
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (long i = 0; i < frames; ++i)
        v[i] = amplitude * float(std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    return v;
}

// A 16-bit PCM WAV whose header says what the caller likes, followed by `present` bytes.
std::string wavWithHeader(std::uint32_t rate, std::uint16_t channels, std::uint32_t declaredBytes,
                          std::size_t present) {
    std::string v;
    const auto le = [&](std::uint64_t x, int bytes) {
        for (int i = 0; i < bytes; ++i)
            v.push_back(char(x >> (8 * i)));
    };
    v += "RIFF";
    le(36 + std::uint64_t(declaredBytes), 4);
    v += "WAVEfmt ";
    le(16, 4);
    le(1, 2); // PCM
    le(channels, 2);
    le(rate, 4);
    le(std::uint64_t(rate) * channels * 2, 4);
    le(channels * 2u, 2);
    le(16, 2);
    v += "data";
    le(declaredBytes, 4);
    v.append(present, '\x10');
    return v;
}

class RenderFiles : public ::testing::Test {
  protected:
    std::set<std::string> listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.insert(entry.path().filename());
        return names;
    }

    // Runs the real binary in the temporary folder.
    testing_support::RunResult tool(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {ZEMBRA_RENDER_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        return testing_support::run(argv, scratch.path(), dir.path());
    }

    // Runs the binary with `args` and "-o out"; the sound it wrote, empty if it failed.
    Sound renderTo(const std::string& out, std::vector<std::string> args) const {
        args.insert(args.end(), {"-o", out});
        const auto run = tool(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return readSound(dir / out);
    }

    TestDirectory dir, scratch; // the scratch holds what the binary prints
};

// Collects a render in memory.
struct Capture final : OutputSink {
    std::vector<float> left, right;
    void write(const float* l, const float* r, long frames) override {
        left.insert(left.end(), l, l + frames);
        right.insert(right.end(), r, r + frames);
    }
};

struct VectorSources final : SourceStream {
    std::vector<float> a, b;
    long position = 0;
    long read(float* outA, float* outB, long frames) override {
        const long count = std::min(frames, long(a.size()) - position);
        std::copy_n(a.begin() + position, count, outA);
        std::copy_n(b.begin() + position, count, outB);
        position += count;
        return count;
    }
    long totalFrames() const override { return long(a.size()); }
    double sampleRate() const override { return kRate; }
};

using HostValues = plugin::test::Settings;

// Renders A and B in memory with the plug-in's host values given to the engine.
Capture renderInMemory(std::vector<float> a, std::vector<float> b, const HostValues& values,
                       const RenderSettings& settings, RenderResult* result = nullptr) {
    VectorSources sources;
    sources.a = std::move(a);
    sources.b = std::move(b);
    Processor processor;
    for (auto [id, value] : values)
        processor.setParameter(id, kParameters[id].toEngine(value));
    Capture out;
    const RenderResult done = render::render(sources, processor, out, settings);
    if (result) *result = done;
    return out;
}

// What the plug-in plays of A and B from `timeline` on, rolling, in blocks of 256.
plugin::test::Output pluginBounce(const std::vector<float>& a, const std::vector<float>& b,
                                  const HostValues& values, std::uint64_t timeline) {
    plugin::Dsp dsp;
    plugin::test::setAll(dsp, values);
    return plugin::test::runDsp(dsp, {a, b}, 256, {}, plugin::Transport{true, timeline});
}

} // namespace

TEST(RenderOptions, AcceptsEveryOptionInBothSpellingsAndTheHelpNamesThem) {
    const std::vector<std::string> every = words(
        "a.wav b.flac -o out.wav --spectrogram=s.png --raw --mix-a 0.25 --mix-b=1 --volume 0 "
        "--x 1 --y=0.125 --wet-dry 0.5 --room 0.75 --x-control pitch-wheel --y-control=sustain "
        "--stereo --solo-a --solo-b --mod-wheel 127 --pitch-wheel=0 --pedal 64 --aftertouch 1 "
        "--note 28 --sustain 100 --start-offset=5000 --version");
    const std::string help = helpText();
    for (const std::string& word : every)
        if (word.starts_with("--")) {
            const std::string name = word.substr(0, word.find('='));
            EXPECT_NE(help.find(" " + name + " "), std::string::npos) << name;
        }

    const ParseResult r = parse({every.begin(), every.end() - 1});
    ASSERT_EQ(r.error, "");
    const Options& o = r.options;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.wav", "b.flac"}));
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.spectrogram, "s.png");
    EXPECT_TRUE(o.raw);
    EXPECT_EQ(o.startOffset, 5000u);
    const float expected[kZembraParameterCount] = {0.25f, 1, 0, 1, 0.125f, 0.5f,
                                                   0.75f, 2, 6, 1, 1,      1};
    for (int id = 0; id < kZembraParameterCount; ++id) {
        ASSERT_TRUE(o.parameters[id].has_value()) << id;
        EXPECT_EQ(*o.parameters[id], expected[id]) << id;
    }
    const long controllers[kControllerInputCount] = {127, 0, 64, 1, 28, 100};
    for (int i = 0; i < kControllerInputCount; ++i)
        EXPECT_EQ(o.controllers[i], controllers[i]);

    // Nothing given: the demo, every parameter left to the engine.
    const ParseResult demo = parse({});
    EXPECT_EQ(demo.error, "");
    EXPECT_TRUE(demo.options.inputs.empty());
    EXPECT_FALSE(demo.options.parameters[kParamX].has_value());
    const ParseResult dashed = parse({"-o", "x.wav", "--", "-a.wav", "-o"});
    EXPECT_EQ(dashed.options.inputs, (std::vector<std::string>{"-a.wav", "-o"}));
    EXPECT_EQ(dashed.options.output, "x.wav");
    EXPECT_EQ(parse({"a", "--version", "--bogus"}).options.action, Action::Version);
    // An empty argument is no number (the other refusals run through the binary below).
    EXPECT_NE(parse({"--x", ""}).error.find("wants a number"), std::string::npos);
}

// At x 0, y 0 the blend is source A itself (less its mean, which the engine removes), so a
// compensated render must line up with A sample for sample. B, half as long in three channels,
// is heard mixed to mono and then silent.
TEST_F(RenderFiles, RoundTripReproducesSourceAAlignedKeepsTheLengthAndDrawsThePicture) {
    const size_t frames = 12000;
    std::vector<float> a = sine(frames, 440.0, 0.25f);
    a[5000] += 0.5f;
    writeSound(dir / "a.wav", mono(a));
    const std::vector<float> b = sine(frames / 2, 3000.0, 0.4f);
    Sound three{3, {}};
    for (float v : b)
        three.samples.insert(three.samples.end(), {1.5f * v, 0.9f * v, 0.6f * v});
    writeSound(dir / "b.wav", three);

    const Sound out = renderTo("out.flac", words("a.wav b.wav --x 0 --y 0 --spectrogram pic.png"));
    ASSERT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, kRate);
    EXPECT_EQ(listing(), (std::set<std::string>{"a.wav", "b.wav", "out.flac", "pic.png"}));
    EXPECT_EQ(testing_support::readFile(dir / "pic.png").substr(1, 3), "PNG");
    // Without a room the tail is only the last frame dying away.
    EXPECT_GE(out.frames(), frames);
    EXPECT_LT(out.frames(), frames + kRate / 10);
    for (size_t i = 0; i < frames; ++i) {
        ASSERT_NEAR(out.at(i, 0), a[i], 0.01f) << i;
        ASSERT_EQ(out.at(i, 0), out.at(i, 1)) << i;
    }

    // --raw: as long as the input, with the engine's delay still in it.
    const Sound raw = renderTo("raw.wav", words("a.wav b.wav --x 0 --y 0 --raw"));
    ASSERT_EQ(raw.frames(), frames);
    EXPECT_NEAR(raw.at(5000 + kLatency), out.at(5000), 1e-6f);

    // The mod wheel, routed to x, carries the blend over to the reversed cross-fade: B.
    const Sound wheel = renderTo(
        "wheel.wav", words("a.wav b.wav --x 0 --y 0 --x-control mod-wheel --mod-wheel 127"));
    ASSERT_GE(wheel.frames(), frames);
    for (size_t i = 0; i < frames; ++i) {
        if (i + 1024 > frames / 2 && i < frames / 2 + 1024) continue; // B's end fading out
        ASSERT_NEAR(wheel.at(i, 1), i < frames / 2 ? b[i] : 0.0f, 0.01f) << i;
    }

    // A solo is delayed as the blend is, as in the plug-in: compensated, it lines up with A;
    // --raw keeps the same delay.
    const Sound solo = renderTo("solo.wav", words("a.wav b.wav --solo-a"));
    const Sound soloRaw = renderTo("solo-raw.wav", words("a.wav b.wav --solo-a --raw"));
    ASSERT_GE(solo.frames(), frames);
    for (size_t i = 0; i < frames; ++i) {
        ASSERT_NEAR(solo.at(i, 0), a[i] + 0.001f, 1e-5f) << i;
        if (i + kLatency < frames) {
            ASSERT_EQ(soloRaw.at(i + kLatency, 0), solo.at(i, 0)) << i;
        }
    }
}

// A float file can hold samples no converter would write: offline they are heard as the
// plug-in hears them from a host. Placed on the timeline by the start offset, the file renders
// sample for sample as the plug-in's rolling bounce of it there, whatever the block size.
TEST_F(RenderFiles, AFileRendersAsThePluginPlaysItAtItsTimelinePosition) {
    constexpr std::uint64_t kAt = 5333; // not on a hop
    std::vector<float> a = sine(9000, 440.0, 0.3f), b = sine(9000, 700.0, 0.3f);
    a[2000] = std::numeric_limits<float>::quiet_NaN();
    a[4321] = std::numeric_limits<float>::infinity();
    b[7000] = -std::numeric_limits<float>::infinity();
    b[7001] = std::numeric_limits<float>::denorm_min();
    writeSound(dir / "a.wav", mono(a));
    writeSound(dir / "b.wav", mono(b));
    const HostValues values = {{kParamX, 0.3f}, {kParamWetDry, 20.0f}};
    const plugin::test::Output played = pluginBounce(a, b, values, kAt);
    const Sound file =
        renderTo("out.wav", words("a.wav b.wav --raw --x 0.3 --wet-dry 0.2 --start-offset 5333"));
    ASSERT_EQ(file.frames(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(file.at(i, 0), played.l[i]) << i;
        ASSERT_EQ(file.at(i, 1), played.r[i]) << i;
    }

    RenderSettings settings;
    settings.raw = true;
    for (const auto& [at, block] : {std::pair{kAt, 64L}, {kAt - 3, 333L}, {kAt - 5000, 4096L}}) {
        settings.startFrame = at;
        settings.blockSize = block;
        EXPECT_EQ(renderInMemory(a, b, values, settings).left, pluginBounce(a, b, values, at).l)
            << "at " << at << " in blocks of " << block;
    }
    // Without the offset, the hops sit wherever the file starts.
    settings.startFrame = 0;
    EXPECT_NE(renderInMemory(a, b, values, settings).left, played.l);
}

TEST(RenderLoop, RoomTailIsRenderedUntilItDiesAwayAndCapped) {
    const std::vector<float> a = sine(4800, 220.0, 0.5f), silence(4800, 0.0f);
    const HostValues room = {{kParamX, 0.0f}, {kParamY, 0.0f}, {kParamWetDry, 50.0f}};
    RenderResult result;
    const Capture out = renderInMemory(a, silence, room, RenderSettings{}, &result);
    EXPECT_EQ(result.sourceFrames, 4800);
    EXPECT_EQ(long(out.left.size()), result.outputFrames());
    EXPECT_GT(result.tailFrames, kRate / 5); // the room rings on after the sine
    EXPECT_LT(result.tailFrames, 10 * kRate);
    // The cut falls where it has gone quiet, not in the middle of the reverb.
    for (std::size_t i = out.left.size() - 200; i < out.left.size(); ++i)
        ASSERT_LT(std::abs(out.left[i]), 0.002f) << i;

    RenderSettings capped;
    capped.tailMaxSeconds = 0.05;
    renderInMemory(a, silence, {{kParamWetDry, 50.0f}}, capped, &result);
    EXPECT_EQ(result.tailFrames, kRate / 20);
}

TEST(RenderDemo, MaterialFillsTwelveSecondsAtAHealthyLevel) {
    DemoSources demo;
    std::vector<float> a(13 * kRate), b(a.size());
    EXPECT_EQ(demo.read(a.data(), b.data(), long(a.size())), 12 * kRate);
    EXPECT_EQ(demo.totalFrames(), 12 * kRate);
    for (const auto& source : {a, b}) {
        float peak = 0.0f; // NaN fails both bounds
        for (float v : source)
            peak = std::isfinite(v) ? std::max(peak, std::abs(v)) : NAN;
        EXPECT_GT(peak, 0.2f);
        EXPECT_LT(peak, 0.95f);
    }
}

// Told 1 s and given 9 s, as when a source's header lies about its length: the picture stays
// within twice its target width, and a tone still lands in its row at its level.
TEST(RenderSpectrogram, ToneLandsInItsRowAtItsLevelAndLongStreamsStayNarrow) {
    Spectrogram s(kRate, kRate, 100, 120);
    const std::vector<float> tone = sine(9 * kRate, 1000.0, 0.5f);
    s.push(tone.data(), long(tone.size()));
    s.finish();
    EXPECT_LE(s.columns(), 200);
    EXPECT_GE(s.columns(), 100);
    EXPECT_NEAR(s.columns() * s.secondsPerColumn(), 9.0, 9.0 / 100);

    const int column = s.columns() / 2;
    int loudest = 0;
    for (int r = 0; r < s.rows(); ++r)
        if (s.levelDb(column, r) > s.levelDb(column, loudest)) loudest = r;
    const double rowHz =
        s.lowestHz() * std::pow(s.highestHz() / s.lowestHz(), (loudest + 0.5) / s.rows());
    EXPECT_NEAR(std::log2(rowHz / 1000.0), 0.0, 0.05);
    EXPECT_NEAR(s.levelDb(column, loudest), -6.0, 1.5); // half of full scale
    EXPECT_LT(s.levelDb(column, s.rows() / 8), -60.0);
}

// Bad usage, unusable sources or destinations, and hostile files whose headers lie about the
// rate, the channels or the length: each is refused with one line before any real work, in
// little memory, leaving nothing behind.
TEST_F(RenderFiles, BadInputFailsWithOneLineInBoundedMemoryAndLeavesNothingBehind) {
    writeSound(dir / "a.wav", mono(sine(4800, 440.0, 0.3f)));
    writeSound(dir / "b.wav", mono(sine(4800, 880.0, 0.3f)));
    writeSound(dir / "slow.wav", mono(sine(4410, 440.0, 0.3f), 44100));
    fs::create_directory(dir / "sub");
    testing_support::writeFile(dir / "gigahertz.wav", wavWithHeader(2'000'000'000u, 1, 4000, 4000));
    testing_support::writeFile(dir / "channels.wav", wavWithHeader(kRate, 1000, 4000, 4000));
    testing_support::writeFile(dir / "empty.wav", {});
    testing_support::writeFile(dir / "header-only.wav", wavWithHeader(kRate, 1, 4000, 0));
    testing_support::writeFile(dir / "cut-header.wav",
                               wavWithHeader(kRate, 1, 4000, 0).substr(0, 20));
    // A FLAC file whose stream header claims 2^36 frames, and one cut off half way.
    for (const char* name : {"lying.flac", "cut.flac"})
        writeSound(dir / name, mono(sine(kRate * 2, 3000.0, 0.5f)),
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    {
        // STREAMINFO starts at byte 8; its 36-bit sample count is the low half of byte 13 and
        // bytes 14 to 17 (the high half ends the sample size, all ones for 16 bits).
        std::fstream f(dir / "lying.flac", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(8 + 13);
        f.write("\xff\xff\xff\xff\xff", 5);
    }
    fs::resize_file(dir / "cut.flac", fs::file_size(dir / "cut.flac") / 2);
    const auto before = listing();
    const auto sizeOfA = fs::file_size(dir / "a.wav");

    const std::vector<std::pair<std::string, std::string>> cases = {
        // Bad usage: each kind of bad value, before any file is looked at.
        {"--x 1.5", "out of range"},
        {"--note 109", "out of range"},
        {"--x 0.5x", "wants a number"},
        {"--volume nan", "wants a number"},
        {"--pedal 64.5", "whole number"},
        {"--start-offset -1", "whole number of frames"},
        {"--x-control sideways", "wants one of none, mod-wheel"},
        {"--wet-dry", "needs a value"},
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"--stereo=1", "takes no value"},
        {"a.wav", "only one input"},
        // Unusable sources or destinations.
        {"a.wav missing.wav -o out.wav", "missing.wav"},
        {"a.wav sub -o out.wav", "folder"},
        {"a.wav slow.wav -o out.wav", "sample rates differ"},
        {"a.wav b.wav -o ./sub/../a.wav", "is the source"},
        {"a.wav b.wav", "no output file"},
        {"a.wav b.wav -o out.xyz", "unknown output format"},
        {"a.wav b.wav -o nowhere/out.wav", "nowhere/out.wav"},
        // Fails after the sound file has been started: its temporary file must go too.
        {"a.wav b.wav -o out.wav --spectrogram nowhere/s.png", "s.png"},
        {"a.wav b.wav -o out.wav --spectrogram s.jpg", "must be a .png"},
        {"a.wav b.wav -o sub", "folder"},
        {"gigahertz.wav b.wav -o out.wav --spectrogram s.png", "sample rate of 2000000000 Hz"},
        {"channels.wav b.wav -o out.wav --spectrogram s.png", "1000 channels"},
        {"empty.wav b.wav -o out.wav --spectrogram s.png", "as sound"},
        {"header-only.wav b.wav -o out.wav --spectrogram s.png", "holds no audio"},
        {"cut-header.wav b.wav -o out.wav --spectrogram s.png", "as sound"},
        {"lying.flac b.wav -o out.wav --spectrogram s.png", "ends after"},
        {"cut.flac b.wav -o out.wav --spectrogram s.png", "cut.flac"},
    };
    for (const auto& [args, message] : cases) {
        const auto run = tool(words(args));
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.err.rfind("zembra-render: error: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_LT(run.peakKilobytes, 200 * 1024) << args;
        EXPECT_EQ(listing(), before) << args;
    }
    EXPECT_EQ(fs::file_size(dir / "a.wav"), sizeOfA);
}
