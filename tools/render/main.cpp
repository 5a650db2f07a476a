// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-render: renders two sound files (or the built-in demo) through the Zembra engine
// into a stereo file, optionally with a picture of the three spectrograms.
#include "demo_material.h"
#include "errors.h"
#include "options.h"
#include "pending_file.h"
#include "progress.h"
#include "render.h"
#include "sound_io.h"
#include "spectrogram.h"
#include "spectrogram_image.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using namespace zembra;
using namespace zembra::render;

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void onSignal(int) {
    gInterrupted = 1;
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends the process at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool hasExtension(const std::string& path, const std::string& ext) {
    std::string actual = fs::path(path).extension().string();
    std::transform(actual.begin(), actual.end(), actual.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return actual == ext;
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Refuses to write over a source or a folder, or the sound and the picture to one file.
void checkDistinctPaths(const Options& options, const std::string& output) {
    for (const std::string& path : {output, options.spectrogram}) {
        std::error_code error;
        if (!path.empty() && fs::is_directory(path, error))
            throw InputError("'" + path + "' is a folder; name a file to write");
    }
    for (const std::string& input : options.inputs) {
        if (samePath(input, output))
            throw InputError("the output '" + output + "' is the source '" + input + "'");
        if (!options.spectrogram.empty() && samePath(input, options.spectrogram))
            throw InputError("the spectrogram '" + options.spectrogram + "' is the source '" +
                             input + "'");
    }
    if (!options.spectrogram.empty() && samePath(output, options.spectrogram))
        throw InputError("the spectrogram and the output are the same file '" + output + "'");
}

void applyControllers(const Options& options, RTzembraInstance* instance) {
    for (int input = 0; input < kControllerInputCount; ++input) {
        if (!options.controllers[input]) continue;
        const long value = *options.controllers[input];
        switch (static_cast<ControllerInput>(input)) {
        case kInputModWheel:
            RTsetModWheel(value, instance);
            break;
        case kInputPitchWheel:
            RTsetPitchWheel(value, instance);
            break;
        case kInputPedal:
            RTsetPedal(value, instance);
            break;
        case kInputAftertouch:
            RTsetChannelAfterTouch(value, instance);
            break;
        case kInputNote:
            RTnoteOn(value, 100, instance);
            break;
        case kInputSustain:
            RTsetSustainPedal(value, instance);
            break;
        case kControllerInputCount:
            break;
        }
    }
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// One line under the result's title: where on the pad, and what else shaped it.
std::string describeSettings(const Processor& p, bool sweptX, bool sweptY, bool raw) {
    std::string note = sweptX ? "x 0 \u2192 0.5 \u2192 1" : format("x %.2f", p.parameter(kParamX));
    note += sweptY ? ",  y 0 \u2192 1 \u2192 0" : format(",  y %.2f", p.parameter(kParamY));
    if (p.parameter(kParamXControl) > 0.0f)
        note += std::string(" + ") + sourceName(int(p.parameter(kParamXControl)));
    note += format(",  volume %.2f", p.parameter(kParamVolume));
    if (p.parameter(kParamMixA) > 0.0f) note += format(",  mix A %.2f", p.parameter(kParamMixA));
    if (p.parameter(kParamMixB) > 0.0f) note += format(",  mix B %.2f", p.parameter(kParamMixB));
    if (p.parameter(kParamWetDry) > 0.001f) {
        note += format(",  room %.2f", p.parameter(kParamRoom)) +
                format(" at %.2f", p.parameter(kParamWetDry));
    }
    if (p.parameter(kParamStereoMode) >= 1.0f) note += ",  stereo";
    if (p.parameter(kParamSoloA) >= 1.0f) note += ",  solo A";
    if (p.parameter(kParamSoloB) >= 1.0f) note += ",  solo B";
    if (raw) note += ",  raw (delay kept)";
    return note;
}

int run(const Options& options) {
    const bool demo = options.inputs.empty();
    const std::string output = !options.output.empty() ? options.output
                               : demo                  ? "zembra-demo.wav"
                                                       : "";
    if (output.empty()) throw InputError("no output file given: add -o OUT.wav");
    if (!options.spectrogram.empty() && !hasExtension(options.spectrogram, ".png"))
        throw InputError("the spectrogram '" + options.spectrogram + "' must be a .png file");

    std::unique_ptr<SourceStream> sources;
    if (demo)
        sources = std::make_unique<DemoSources>();
    else
        sources = std::make_unique<FileSources>(options.inputs[0], options.inputs[1]);
    if (sources->totalFrames() == 0) throw InputError("the sources hold no audio");
    checkDistinctPaths(options, output);
    const double rate = sources->sampleRate();

    Processor processor;
    if (demo) {
        processor.setParameter(kParamWetDry, 0.18f); // a little room
        processor.setParameter(kParamRoom, 0.55f);
    }
    for (int id = 0; id < kZembraParameterCount; ++id)
        if (options.parameters[id]) processor.setParameter(id, *options.parameters[id]);
    applyControllers(options, processor.instance());
    const bool sweepX = demo && !options.parameters[kParamX];
    const bool sweepY = demo && !options.parameters[kParamY];

    // Both files are created up front, so a bad path fails before the work is done.
    SoundWriter writer(output, static_cast<int>(rate));
    std::unique_ptr<PendingFile> picture;
    std::unique_ptr<Spectrogram> spectra[3];
    if (!options.spectrogram.empty()) {
        picture = std::make_unique<PendingFile>(options.spectrogram);
        for (auto& s : spectra) {
            s = std::make_unique<Spectrogram>(rate, sources->totalFrames(),
                                              SpectrogramLayout::plotWidth(),
                                              SpectrogramLayout::kPlotHeight);
        }
    }

    ProgressBar progress(ProgressBar::stderrIsTerminal());
    RenderHooks hooks;
    const long total = sources->totalFrames();
    if (sweepX || sweepY) {
        hooks.beforeBlock = [&](Processor& p, long position) {
            const BlendPosition at = demoSweep(double(position) / double(total));
            if (sweepX) p.setParameter(kParamX, at.x);
            if (sweepY) p.setParameter(kParamY, at.y);
        };
    }
    if (picture) {
        hooks.sources = [&](const float* a, const float* b, long frames) {
            spectra[0]->push(a, frames);
            spectra[1]->push(b, frames);
        };
        hooks.output = [&](const float* l, const float* r, long frames) {
            spectra[2]->pushStereo(l, r, frames);
        };
    }
    hooks.progress = [&](long done, long all, long tail) {
        progress.update(done, all, tail, rate);
    };
    hooks.cancelled = [] { return gInterrupted != 0; };

    RenderSettings settings;
    settings.raw = options.raw;
    settings.startFrame = options.startOffset;
    const RenderResult result = render::render(*sources, processor, writer, settings, hooks);
    writer.close();

    if (picture) {
        for (auto& s : spectra)
            s->finish();
        const auto name = [&](int i) { return fs::path(options.inputs[i]).filename().string(); };
        const std::vector<SpectrogramPanel> panels = {
            {demo ? "A: built-in voice" : "A: " + name(0), "", spectra[0].get()},
            {demo ? "B: built-in saw chord" : "B: " + name(1), "", spectra[1].get()},
            {"Result", describeSettings(processor, sweepX, sweepY, options.raw), spectra[2].get()}};
        writeSpectrogramPng(*picture, panels);
    }
    writer.commit();
    if (picture) picture->commit();

    std::string summary = "Wrote " + output + format(": %.1f s", result.outputFrames() / rate);
    if (result.tailFrames > 0) {
        summary += format(" (%.1f s", result.sourceFrames / rate) +
                   format(" + %.1f s tail)", result.tailFrames / rate);
    }
    if (picture) summary += " and " + options.spectrogram;
    progress.finish(summary);
    return 0;
}

} // namespace

// Read by LeakSanitizer in sanitiser builds only. fontconfig 2.14 leaks a pattern while it
// parses its configuration on pango's start-up thread; nothing of ours can free it.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    installSignalHandlers();
    const ParseResult parsed = parseOptions(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "zembra-render: error: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    switch (parsed.options.action) {
    case Action::Help:
        std::fputs(helpText().c_str(), stdout);
        return 0;
    case Action::Version:
        std::printf("zembra-render %s (engine %s)\n", ZEMBRA_VERSION, RTzembraGetVersion());
        return 0;
    case Action::Render:
        break;
    }
    try {
        return run(parsed.options);
    } catch (const InputError& e) {
        std::fprintf(stderr, "zembra-render: error: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zembra-render: error: %s\n", gInterrupted ? "interrupted" : e.what());
        return gInterrupted ? 130 : 1;
    }
}
