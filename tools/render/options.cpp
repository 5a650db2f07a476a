// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-rolled parsing: every option is described once, the engine's parameters by the
// parameter table and the rest in tables below, which the parser and --help both read, so
// the documentation cannot drift from what is accepted.
#include "options.h"

#include "ZembraParameters.h"
#include "ZembraProcessor.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace zembra::render {

namespace {

// What zembra-render adds to each parameter of the table: the option's help and whether its
// value is a gain. The option's name, kind, range and default come from kParameters.
struct ParameterOption {
    int id;
    bool gain;
    const char* help;
};

constexpr ParameterOption kParameterOptions[] = {
    {kParamMixA, true, "gain of dry A on both outputs"},
    {kParamMixB, true, "gain of dry B on both outputs"},
    {kParamVolume, true, "gain of the blended signal"},
    {kParamX, false, "blend position, 0.5 = cross-synthesis"},
    {kParamY, false, "blend position, at x 0: 0 = A, 1 = B"},
    {kParamWetDry, false, "room level, 0.001 or less = off"},
    {kParamRoom, false, "room size"},
    {kParamXControl, false, "controller added to x"},
    {kParamYControl, false, "controller added to y"},
    {kParamStereoMode, false, "pseudo-stereo blend"},
    {kParamSoloA, false, "A straight to both outputs"},
    {kParamSoloB, false, "B added straight to both outputs"},
};

// A table name as the command line spells it: lower case, words joined by '-' ("mix_a" and
// "Mod Wheel" become "mix-a" and "mod-wheel").
std::string commandLineName(std::string_view name) {
    std::string spelled(name);
    for (char& c : spelled)
        c = (c == '_' || c == ' ') ? '-'
                                   : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return spelled;
}

const ParameterInfo& info(const ParameterOption& option) {
    return kParameters[static_cast<std::size_t>(option.id)];
}

std::string optionName(const ParameterOption& option) {
    return commandLineName(info(option).symbol);
}

const std::array<std::string, kSourceCount>& sourceNames() {
    static const auto names = [] {
        std::array<std::string, kSourceCount> spelled;
        for (std::size_t i = 0; i < spelled.size(); ++i)
            spelled[i] = commandLineName(kControllerSourceLabels[i]);
        return spelled;
    }();
    return names;
}

struct ControllerOption {
    const char* name;
    ControllerInput input;
    long min;
    long max;
    const char* help;
    const char* unset; // what the engine holds when the option is not given
};

constexpr ControllerOption kControllerOptions[] = {
    {"mod-wheel", kInputModWheel, 0, 127, "modulation wheel, adds N/127", "0"},
    {"pitch-wheel", kInputPitchWheel, 0, 127, "pitch wheel, adds N/127", "centre, adds 0.5"},
    {"pedal", kInputPedal, 0, 127, "expression pedal, adds N/127", "0"},
    {"aftertouch", kInputAftertouch, 0, 127, "channel aftertouch, adds N/127", "0"},
    {"note", kInputNote, 28, 108, "held note number, adds N/128", "none, adds 0"},
    {"sustain", kInputSustain, 0, 127, "sustain pedal, adds 1 from 64 up", "0"},
};

std::string number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

std::string quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

std::optional<float> parseNumber(std::string_view text) {
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long> parseWhole(std::string_view text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Fills in value for the parameter option or returns an error message.
std::string parseParameter(const ParameterOption& option, std::string_view text, float& value) {
    const std::string flag = quoted("--" + optionName(option));
    if (info(option).kind == ParameterKind::Enumeration) {
        for (int source = 0; source < kSourceCount; ++source) {
            if (text == sourceNames()[static_cast<std::size_t>(source)]) {
                value = static_cast<float>(source);
                return {};
            }
        }
        std::string names;
        for (const std::string& name : sourceNames())
            names += (names.empty() ? "" : ", ") + name;
        return flag + " wants one of " + names + ", got " + quoted(text);
    }
    const float low = info(option).toEngine(info(option).min);
    const float high = info(option).toEngine(info(option).max);
    const std::string range = number(low) + " to " + number(high);
    const auto given = parseNumber(text);
    if (!given) return flag + " wants a number from " + range + ", got " + quoted(text);
    if (*given < low || *given > high)
        return flag + " value " + std::string(text) + " is out of range " + range;
    value = *given;
    return {};
}

std::string parseController(const ControllerOption& option, std::string_view text, long& value) {
    const std::string flag = quoted(std::string("--") + option.name);
    const std::string range = std::to_string(option.min) + " to " + std::to_string(option.max);
    const auto number = parseWhole(text);
    if (!number) return flag + " wants a whole number from " + range + ", got " + quoted(text);
    if (*number < option.min || *number > option.max)
        return flag + " value " + std::string(text) + " is out of range " + range;
    value = *number;
    return {};
}

std::string defaultText(const ParameterOption& option, float value) {
    switch (info(option).kind) {
    case ParameterKind::Enumeration:
        return sourceName(static_cast<int>(value));
    case ParameterKind::Toggle:
        return value >= 1.0f ? "on" : "off";
    case ParameterKind::Continuous:
        break;
    }
    return number(value);
}

std::string padded(std::string s, std::size_t width) {
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    else
        s += "  ";
    return s;
}

} // namespace

const char* sourceName(int source) {
    return source >= 0 && source < kSourceCount
               ? sourceNames()[static_cast<std::size_t>(source)].c_str()
               : "?";
}

ParseResult parseOptions(int argc, const char* const* argv) {
    ParseResult result;
    Options& options = result.options;
    bool onlyFiles = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            options.inputs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            options.action = Action::Help;
            return result;
        }
        if (arg == "-V" || arg == "--version") {
            options.action = Action::Version;
            return result;
        }

        // "--name value" or "--name=value"; "-o" is the one short option taking a value.
        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (arg == "-o") {
            name = "output";
        } else if (arg.starts_with("--")) {
            name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        } else {
            result.error = "unknown option " + quoted(arg);
            return result;
        }
        const std::string display = quoted(arg == "-o" ? arg : "--" + std::string(name));

        const auto takeValue = [&]() -> std::optional<std::string_view> {
            if (inlineValue) return inlineValue;
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        const auto needsValue = [&] { result.error = "option " + display + " needs a value"; };

        if (name == "start-offset") {
            const auto value = takeValue();
            if (!value) {
                needsValue();
                return result;
            }
            const auto frame = parseWhole(*value);
            if (!frame || *frame < 0) {
                result.error = "option " + display +
                               " wants a whole number of frames, 0 or more, got " + quoted(*value);
                return result;
            }
            options.startOffset = static_cast<std::uint64_t>(*frame);
            continue;
        }
        if (name == "raw" || name == "output" || name == "spectrogram") {
            if (name == "raw") {
                if (inlineValue) {
                    result.error = "option " + display + " takes no value";
                    return result;
                }
                options.raw = true;
                continue;
            }
            const auto value = takeValue();
            if (!value || value->empty()) {
                needsValue();
                return result;
            }
            (name == "output" ? options.output : options.spectrogram) = std::string(*value);
            continue;
        }

        bool known = false;
        for (const ParameterOption& option : kParameterOptions) {
            if (name != optionName(option)) continue;
            known = true;
            if (info(option).kind == ParameterKind::Toggle) {
                if (inlineValue) {
                    result.error = "option " + display + " takes no value";
                    return result;
                }
                options.parameters[option.id] = 1.0f;
                break;
            }
            const auto value = takeValue();
            if (!value) {
                needsValue();
                return result;
            }
            float number = 0.0f;
            result.error = parseParameter(option, *value, number);
            if (!result.error.empty()) return result;
            options.parameters[option.id] = number;
            break;
        }
        for (const ControllerOption& option : kControllerOptions) {
            if (known || name != option.name) continue;
            known = true;
            const auto value = takeValue();
            if (!value) {
                needsValue();
                return result;
            }
            long number = 0;
            result.error = parseController(option, *value, number);
            if (!result.error.empty()) return result;
            options.controllers[option.input] = number;
        }
        if (!known) {
            result.error = "unknown option " + display;
            return result;
        }
    }

    if (options.inputs.size() == 1) {
        result.error = "only one input file given: name two sources, A and B (or none for "
                       "the built-in demo)";
    } else if (options.inputs.size() > 2) {
        result.error = "too many input files (" + std::to_string(options.inputs.size()) +
                       "): name two sources, A and B";
    }
    return result;
}

std::string helpText() {
    std::string text =
        "Usage: zembra-render A.wav B.wav -o OUT.wav [options]\n"
        "       zembra-render [-o OUT.wav] [options]     (built-in demo material)\n"
        "\n"
        "Blends source A and source B through the Zembra engine and writes a stereo file at\n"
        "the sources' sample rate. Any format libsndfile reads is accepted; a source with\n"
        "several channels is mixed to mono (the average of its channels). A shorter source is\n"
        "padded with silence; sources at different sample rates are refused.\n"
        "\n"
        "The output format follows the extension of OUT: .wav is 32-bit float, .flac 24-bit;\n"
        ".aiff/.aif, .caf, .w64, .rf64, .ogg, .opus and the other formats libsndfile writes\n"
        "are accepted too. Without input files a 12 s demo is rendered at 48 kHz (a sung\n"
        "voice as A, a saw chord as B) while x sweeps 0 -> 0.5 -> 1 and y 0 -> 1 -> 0, with a\n"
        "little room; OUT defaults to zembra-demo.wav in the current folder.\n"
        "\n"
        "Files:\n"
        "  -o, --output FILE      the stereo result (required with input files)\n"
        "  --spectrogram FILE.png also draw the spectrograms of A, B and the result\n"
        "  --raw                  keep the engine's delay of " +
        std::to_string(kLatency) +
        " samples and stop when the\n"
        "                         sources end (output as long as the input). By default the\n"
        "                         delay is removed and the room's tail is rendered until it\n"
        "                         stays below -90 dBFS for 0.5 s (at most 10 s)\n"
        "  --start-offset N       render as if the sources began at frame N of a host's\n"
        "                         timeline (default 0): the engine analyses its frames on\n"
        "                         the timeline's multiples of " +
        std::to_string(kHop) +
        ", as the plug-in does while\n"
        "                         the transport rolls, so a file bounced from a session\n"
        "                         there matches\n"
        "\n"
        "Engine parameters, in the engine's units (gains linear, 1 = unity):\n";

    Processor defaults;
    for (const ParameterOption& option : kParameterOptions) {
        const ParameterInfo& parameter = info(option);
        std::string argument, unit;
        switch (parameter.kind) {
        case ParameterKind::Continuous:
            argument = option.gain ? " G" : " V";
            unit = (option.gain ? "linear " : "") + number(parameter.toEngine(parameter.min)) +
                   ".." + number(parameter.toEngine(parameter.max)) + ", ";
            break;
        case ParameterKind::Enumeration:
            argument = " SRC";
            break;
        case ParameterKind::Toggle:
            unit = "flag, ";
            break;
        }
        text += padded("  --" + optionName(option) + argument, 25) + option.help + " (" + unit +
                "default " + defaultText(option, defaults.parameter(option.id)) + ")\n";
    }
    text += "  SRC is one of:";
    for (const std::string& name : sourceNames())
        text += " " + name;
    text += "\n\nController inputs, held for the whole render; they move x or y when\n"
            "--x-control or --y-control selects them (the sum is clamped to 0..1):\n";
    for (const ControllerOption& option : kControllerOptions) {
        text += padded(std::string("  --") + option.name + " N", 25) + option.help + " (" +
                std::to_string(option.min) + ".." + std::to_string(option.max) + ", default " +
                option.unset + ")\n";
    }
    text += "\n"
            "  -h, --help             this text\n"
            "  -V, --version          the tool's and the engine's versions\n"
            "\n"
            "A progress bar is shown on stderr when it is a terminal.\n"
            "Exit status: 0 done, 1 failure while rendering or writing, 2 bad usage or input\n"
            "(nothing is left behind on failure).\n";
    return text;
}

} // namespace zembra::render
