// SPDX-License-Identifier: GPL-3.0-or-later
// The editor in real hosts (jalv.gtk3, the standalone, our CLAP host) on a display of the
// suite's own (Xvfb) under a JACK server of its own, driven with xdotool, seen in screenshots.
#include "E2eSounds.h"
#include "E2eSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace e2e;

namespace {

const char* const kUri = "urn:zembra:zembra";
// The class pugl gives the editor's X window: DPF's brand and name.
const char* const kEditorWindowClass = "Zembra-Zembra";

// A rectangle in window pixels, y down.
struct Box {
    int x, y, w, h;
};

// Where the interface description puts its views, in window pixels at scale 1 (its frames
// are y up from the bottom of the editor).
struct Layout {
    Layout() : json(nlohmann::json::parse(std::ifstream(ZEMBRA_E2E_DESCRIPTION)).at("root")) {}
    Box operator[](const std::string& id) const { return find(json, id).value(); }
    std::optional<Box> find(const nlohmann::json& view, const std::string& id) const {
        if (view.value("id", "") == id) {
            const std::array<int, 4> f = view.at("frame");
            return Box{f[0], height - f[1] - f[3], f[2], f[3]};
        }
        for (const auto& sub : view.value("subviews", nlohmann::json::array()))
            if (auto box = find(sub, id)) return box;
        return std::nullopt;
    }
    const nlohmann::json json;
    const int width = json.at("frame").at(2), height = json.at("frame").at(3);
};

struct Rgb {
    int r, g, b;
};
using Colour = bool (*)(Rgb);

constexpr Colour bright = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
constexpr Colour light = [](Rgb c) { return std::min({c.r, c.g, c.b}) > 150; };
constexpr Colour lit = [](Rgb c) { return c.b > 150 && c.b > c.r + 80; }; // a toggle's blue fill
constexpr Colour glowing = [](Rgb c) { return c.b > 200 && c.g > 150; };  // the pad's cyan knob
constexpr Colour teal = [](Rgb c) { return c.g > 90 && c.b > 90 && c.g > c.r + 50; }; // a meter
// The spectra's traces, far from the blue behind them: A's (and the hint's words), B's, output's.
constexpr Colour amber = [](Rgb c) { return c.r > 150 && c.r > c.b + 70 && c.g > c.b + 25; };
constexpr Colour violet = [](Rgb c) { return c.r > 120 && c.b > 150 && c.r > c.g + 25; };
constexpr Colour paleCyan = [](Rgb c) { return c.g > 180 && c.b > 180 && c.r > 110; };

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    unsigned long window = 0; // its X window, when it is the editor's
};

// A screenshot of the display, read in the editor window's coordinates.
class Screenshot {
  public:
    Screenshot() = default;
    Screenshot(const fs::path& png, const Geometry& window)
        : surface(cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy),
          origin(window) {
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) surface.reset();
    }
    bool valid() const { return surface != nullptr; }

    Rgb at(int x, int y) const {
        cairo_surface_t* s = surface.get();
        x += origin.x;
        y += origin.y;
        if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) ||
            y >= cairo_image_surface_get_height(s))
            return {-1, -1, -1};
        const unsigned char* row =
            cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[x];
        return {static_cast<int>(px >> 16 & 0xFF), static_cast<int>(px >> 8 & 0xFF),
                static_cast<int>(px & 0xFF)};
    }
    // How many pixels of `box` pass `test`, and the mean of their rows (NaN for none).
    int count(Box box, Colour test) const {
        return tally(box, [test](Rgb c, int, int) { return test(c); }).first;
    }
    double meanY(Box box, Colour test) const {
        const auto [n, rows] = tally(box, [test](Rgb c, int, int) { return test(c); });
        return n > 0 ? rows / n : NAN;
    }
    // How many pixels of `box` `differ` here from `other`'s.
    int changed(const Screenshot& other, Box box, bool (*differ)(Rgb, Rgb)) const {
        return tally(box, [&](Rgb c, int x, int y) { return differ(c, other.at(x, y)); }).first;
    }

  private:
    // How many pixels of `box` pass, and the sum of their rows.
    std::pair<int, double> tally(Box box, const std::function<bool(Rgb, int, int)>& passes) const {
        int n = 0;
        double rows = 0.0;
        for (int y = box.y; y < box.y + box.h; ++y)
            for (int x = box.x; x < box.x + box.w; ++x)
                if (passes(at(x, y), x, y)) {
                    ++n;
                    rows += y;
                }
        return {n, rows};
    }

    std::shared_ptr<cairo_surface_t> surface;
    Geometry origin;
};

// A display and a JACK server of the suite's own, and the editor as a host shows it there.
class EditorOnDisplay : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        work = fs::path(ZEMBRA_E2E_WORK_DIR) / "editor";
        // A fresh home and configuration; earlier screenshots stay to be looked at.
        fs::remove_all(work / "home");
        fs::remove_all(work / "config");
        fs::create_directories(work / "home" / ".lv2");
        fs::create_directories(work / "config");
        // -displayfd: the server picks a free display and writes its number on a line.
        const fs::path log = work / "xvfb.log";
        xvfb = spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                      "-noreset"},
                     {}, log.string());
        std::string display;
        eventually(
            [&] {
                std::istringstream lines(readFile(log));
                for (std::string line; std::getline(lines, line) && !lines.eof();)
                    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                        display = ":" + line;
                return !display.empty();
            },
            15s);
        if (display.empty()) {
            setupFailure = "Xvfb did not start";
            return;
        }
        if (!jack.start("zembra-e2e-editor-" + std::to_string(getpid()))) {
            setupFailure = "jackd did not start: " + jack.failure;
            return;
        }
        env = jack.env;
        for (const std::string& e :
             {"DISPLAY=" + display, "HOME=" + (work / "home").string(),
              "XDG_CONFIG_HOME=" + (work / "config").string(),
              std::string("GSETTINGS_BACKEND=memory"), std::string("NO_AT_BRIDGE=1")})
            env.push_back(e);
        // Only what loads the plug-in gets the sanitizer runtimes of sanitizer builds.
        pluginEnv = hostEnv(env);
    }
    static void TearDownTestSuite() {
        if (!jack.stop()) ADD_FAILURE() << "jackd did not stop";
        if (xvfb.pid > 0) {
            kill(xvfb.pid, SIGTERM);
            finish(xvfb, 10s);
        }
    }
    void SetUp() override { ASSERT_TRUE(setupFailure.empty()) << setupFailure; }

    static Result x(const std::vector<std::string>& argv) { return run(argv, env, 10s); }

    // The first shown (mapped) window whose class or name (`field`) matches `pattern`.
    static std::optional<unsigned long> window(const std::string& field, const std::string& pattern,
                                               std::chrono::milliseconds timeout) {
        std::optional<unsigned long> id;
        eventually(
            [&] {
                const Result r = x({"xdotool", "search", "--onlyvisible", field, pattern});
                if (r.status == 0 && !r.output.empty()) id = std::stoul(r.output);
                return id.has_value();
            },
            timeout);
        return id;
    }
    static std::optional<unsigned long> editorWindow(std::chrono::milliseconds timeout = 60s) {
        return window("--class", kEditorWindowClass, timeout);
    }
    static Geometry geometry(unsigned long id) {
        const Result r = x({"xdotool", "getwindowgeometry", "--shell", std::to_string(id)});
        Geometry g{0, 0, 0, 0, id};
        std::sscanf(r.output.c_str(), "WINDOW=%*u X=%d Y=%d WIDTH=%d HEIGHT=%d", &g.x, &g.y,
                    &g.width, &g.height);
        return g;
    }
    static fs::path screenshot(const std::string& name) {
        const fs::path png = work / (name + ".png");
        const Result r = x({"import", "-window", "root", png.string()});
        EXPECT_EQ(r.status, 0) << r.output;
        return png;
    }
    Screenshot shot(const std::string& name) const { return Screenshot(screenshot(name), g); }
    // Screenshots until one `shows` what is awaited; the last one, so that when the cap
    // passed first the test's own expectations say what was missing.
    Screenshot shotShowing(const std::string& name,
                           const std::function<bool(const Screenshot&)>& shows) const {
        Screenshot s;
        eventually([&] { return (s = shot(name)).valid() && shows(s); });
        return s;
    }
    // The pointer to the fraction (fx, fy) of `box`, y down, then `then`.
    Result pointer(Box box, double fx, double fy, std::vector<std::string> then = {}) const {
        std::vector<std::string> argv = {
            "xdotool", "mousemove", std::to_string(g.x + box.x + static_cast<int>(fx * box.w)),
            std::to_string(g.y + box.y + static_cast<int>(fy * box.h))};
        argv.insert(argv.end(), then.begin(), then.end());
        return x(argv);
    }

    // Whether the host embedded the editor and it drew itself; `g` is then its place. The
    // window appears before the host moves it into its own, so its place is read around each
    // screenshot until the editor is seen drawn there.
    bool shownEditor() {
        const auto editor = editorWindow();
        return editor && eventually([&] {
                   g = geometry(*editor);
                   const Screenshot s = shot("editor-shown");
                   const Geometry after = geometry(*editor);
                   return after.x == g.x && after.y == g.y && s.valid() &&
                          s.count(layout["soloA"], bright) > 20;
               });
    }
    static Child startHost() { return spawn({"jalv.gtk3", kUri}, pluginEnv); }
    // As a user's Ctrl-C would.
    static void interrupt(Child& host) { kill(host.pid, SIGINT); }

    // The host's own values: it saves them as a preset (Presets > Save Preset...), read back
    // here by port symbol.
    std::map<std::string, float> hostValues(const std::string& name) const {
        const auto top = window("--name", "^Zembra", 30s);
        if (!top) return {};
        // With no window manager, the keyboard is handed to the host's window (the editor took
        // it when clicked), with the pointer on the menu bar: keys go to the window under it.
        // A busy host may drop the menu's keys while it opens: then it is asked again.
        const Geometry h = geometry(*top);
        std::optional<unsigned long> dialog;
        eventually([&, again = false]() mutable {
            if (std::exchange(again, true)) x({"xdotool", "key", "Escape", "Escape"});
            x({"xdotool", "windowfocus", std::to_string(*top)});
            x({"xdotool", "mousemove", std::to_string(h.x + 5), std::to_string(h.y + 5)});
            x({"xdotool", "key", "--delay", "200", "F10", "Right", "Down", "Return"});
            return (dialog = window("--name", "Save Preset", 10s)).has_value();
        });
        if (!dialog) {
            screenshot("no-preset-dialog");
            return {};
        }
        // Its name field runs along its top, its Save button sits in its lower right corner.
        const Geometry d = geometry(*dialog);
        x({"xdotool", "windowfocus", std::to_string(*dialog)});
        x({"xdotool", "mousemove", std::to_string(d.x + d.width / 2), std::to_string(d.y + 25),
           "click", "1"});
        x({"xdotool", "type", "--delay", "20", name});
        // A click before the button is ready is lost: it is clicked until the file appears.
        fs::path saved;
        auto find = [&] {
            for (const auto& file : fs::recursive_directory_iterator(work / "home"))
                if (file.path().filename() == name + ".ttl") saved = file.path();
            return !saved.empty();
        };
        eventually([&] {
            x({"xdotool", "mousemove", std::to_string(d.x + d.width - 50),
               std::to_string(d.y + d.height - 25), "click", "1"});
            return eventually(find, 2s);
        });
        if (saved.empty()) {
            screenshot("no-preset-saved");
            return {};
        }
        // The file may be seen before its writer is done: its last statement ends in " .".
        std::string text;
        eventually([&] {
            text = readFile(saved);
            const size_t end = text.find_last_not_of(" \n");
            return end != std::string::npos && text[end] == '.';
        });
        // Each port reads: lv2:symbol "x" ; pset:value 0.5
        std::map<std::string, float> values;
        const std::string symbol = "lv2:symbol \"", value = "pset:value ";
        for (size_t at = text.find(symbol); at != std::string::npos; at = text.find(symbol, at)) {
            at += symbol.size();
            const std::string port = text.substr(at, text.find('"', at) - at);
            const size_t v = text.find(value, at);
            if (v != std::string::npos) values[port] = std::stof(text.substr(v + value.size()));
        }
        return values;
    }

    // A program shows the editor at its size, `look` finds what it expects there, and the
    // program finds every resource and ends cleanly when `stop` asks, taking the window along.
    void expectEditorWindowWithResources(
        Child program, void (*stop)(Child&), const std::function<void()>& look = [] {}) {
        const bool shown = shownEditor();
        if (shown) look();
        stop(program);
        const Result r = finish(program, 30s);
        ASSERT_TRUE(shown) << "no editor window\n" << r.output;
        EXPECT_EQ(g.width, layout.width);
        EXPECT_EQ(g.height, layout.height);
        ASSERT_TRUE(r.finished) << r.output;
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Unable to load nib"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("not loaded"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("assertion failure"), std::string::npos) << r.output;
        EXPECT_FALSE(editorWindow(0ms)) << "the editor window outlived its program";
    }

    static inline fs::path work;
    static inline Child xvfb;
    static inline JackServer jack;
    static inline std::vector<std::string> env; // the display, JACK, a home of the suite's own
    static inline std::vector<std::string> pluginEnv;
    static inline std::string setupFailure;
    const Layout layout;
    Geometry g; // the editor's place on the display, once shown
};

// The editor in jalv.gtk3.
class EditorInJalv : public EditorOnDisplay {
  protected:
    void SetUp() override {
        EditorOnDisplay::SetUp();
        // GTK's start-up deadlocks on glibc's locale lock with a sanitizer runtime preloaded;
        // the editor runs under the sanitizers in plugin_ui_test, and the standalone here.
        if (*ZEMBRA_E2E_PRELOAD)
            GTEST_SKIP() << "jalv.gtk3 cannot start with a sanitizer runtime preloaded";
    }
};

// It appears with its controls where the description puts them, then a drag on the pad, a
// click on Solo A and a value typed into the Room field reach the host's values. All the while
// its background has gone through its frames, kept compact: the host's private memory stays
// below what the 130 frames unpacked would take alone (170 MB).
TEST_F(EditorInJalv, AppearsAsDescribedItsGesturesChangeTheHostsValuesAndItStaysSmall) {
    Child host = startHost();
    const pid_t pid = host.pid;
    expectEditorWindowWithResources(host, interrupt, [&] {
        const Screenshot shown = shot("editor-in-jalv");
        ASSERT_TRUE(shown.valid());
        // The background covers the window: no black, not the bare window colour.
        for (auto [px, py] : {std::pair{3, 3}, {g.width - 4, 3}, {3, g.height - 4}}) {
            const Rgb c = shown.at(px, py);
            EXPECT_GT(c.r + c.g + c.b, 0) << px << "," << py;
        }
        // The pad's knob sits in the middle of the pad (X and Y start at 0.5).
        const Box pad = layout["pad"];
        const Box middle{pad.x + pad.w / 2 - 14, pad.y + pad.h / 2 - 14, 28, 28};
        EXPECT_GT(shown.count(middle, glowing), 40) << "no knob in the pad's middle";
        EXPECT_EQ(shown.count({pad.x + 10, pad.y + 10, 40, 40}, glowing), 0);
        EXPECT_LT(shown.count(layout["soloA"], lit), 20) << "Solo A starts off";

        // Each gesture is seen drawn before the next, so a busy editor gets them one at a time.
        ASSERT_EQ(pointer(pad, 0.5, 0.5, {"mousedown", "1"}).status, 0);
        for (double t : {0.25, 0.5, 0.75, 1.0})
            pointer(pad, 0.5 + 0.35 * t, 0.5 + 0.35 * t);
        x({"xdotool", "mouseup", "1"});
        const Box letGo{pad.x + pad.w / 2 + 14, pad.y + pad.h / 2 + 14, pad.w / 2 - 14,
                        pad.h / 2 - 14};
        auto knobLetGo = [&](const Screenshot& s) { return s.count(letGo, glowing) > 40; };
        EXPECT_TRUE(knobLetGo(shotShowing("editor-after-drag", knobLetGo)))
            << "the pad's knob is not where it was let go";
        const Box solo = layout["soloA"];
        pointer(solo, 0.5, 0.5, {"click", "1"});
        auto soloOn = [&](const Screenshot& s) { return s.count(solo, lit) > 100; };
        const Screenshot clicked = shotShowing("editor-after-drag-and-click", soloOn);
        EXPECT_TRUE(soloOn(clicked)) << "Solo A is not shown on";
        // The keyboard reaches the editor through the host too. The field shows its focus
        // ring before the keys come; the slider's thumb then goes down.
        const Box room = layout["roomField"], roomSlider = layout["roomSlider"];
        pointer(room, 0.5, 0.5, {"click", "1"});
        auto editing = [&](const Screenshot& s) { return s.count(room, lit) > 20; };
        EXPECT_TRUE(editing(shotShowing("editor-editing-room", editing)))
            << "the Room field does not show it is being edited";
        x({"xdotool", "key", "--delay", "50", "End", "BackSpace", "BackSpace", "BackSpace"});
        x({"xdotool", "type", "--delay", "50", "37.9"});
        x({"xdotool", "key", "Return"});
        const double thumbBefore = clicked.meanY(roomSlider, light);
        auto thumbDown = [&](const Screenshot& s) {
            return s.meanY(roomSlider, light) > thumbBefore + 8.0;
        };
        EXPECT_TRUE(thumbDown(shotShowing("editor-after-typing", thumbDown)))
            << "the Room slider's thumb did not follow the typed value";

        const auto values = hostValues("readback");
        ASSERT_FALSE(values.empty()) << "the host saved no preset";
        // The pad was let go at 85% across and 15% up, less the knob's margin.
        EXPECT_GT(values.at("x"), 0.7f);
        EXPECT_LT(values.at("y"), 0.3f);
        EXPECT_EQ(values.at("solo_a"), 1.0f);
        EXPECT_EQ(values.at("solo_b"), 0.0f);
        EXPECT_NEAR(values.at("room"), 37.9f, 1e-4f);
        EXPECT_EQ(values.at("wet_dry"), 0.0f) << "untouched values stay as they were";
        EXPECT_EQ(values.at("volume"), 100.0f);

        // RssAnon: JACK's shared memory varies by more than the editor takes.
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        long anon = 0;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("RssAnon:", 0) == 0) anon = std::atol(line.c_str() + 8);
        EXPECT_GT(anon, 0);
        EXPECT_LT(anon, 140L * 1024);
    });
}

// Input levels reach the Mix meters through the host; the spectra's traces follow sound that
// keeps changing; while only A plays, the editor says that B is missing, and once B plays too,
// nothing.
TEST_F(EditorInJalv, SoundLightsTheMetersMovesTheSpectraAndAMissingSourceIsNamed) {
    // A buzz with vibrato as A, a chord as B: their traces never rest.
    const fs::path wav = makeMaterial("editor-spectra").both;
    expectEditorWindowWithResources(startHost(), interrupt, [&] {
        const Box spectra = layout["spectra"];
        const Screenshot silent = shot("spectra-silent");
        // A source reaches both channels of its input: the track's for A, the side-chain's for B.
        auto connect = [&](const std::string& output, const char* input) {
            int status = 0;
            for (const char* side : {"_l", "_r"})
                status |= jack.query({"jack_connect", output,
                                      (*input == 'a' ? "Zembra:lv2_in" : "Zembra:lv2_sc") +
                                          std::string(side)})
                              .status;
            return status;
        };
        auto more = [&](const Screenshot& s, const char* id, Colour test, int by) {
            return s.count(layout[id], test) > silent.count(layout[id], test) + by;
        };
        auto hinting = [&](const Screenshot& s) { return more(s, "routingHint", amber, 40); };
        // A pixel of a trace in one picture and not in the other.
        constexpr auto trace = [](Rgb c, Rgb o) {
            return (amber(c) || violet(c) || paleCyan(c)) != (amber(o) || violet(o) || paleCyan(o));
        };
        auto traced = [&](const Screenshot& s) {
            return more(s, "spectra", amber, 150) && more(s, "spectra", violet, 150) &&
                   more(s, "spectra", paleCyan, 150);
        };
        auto metered = [&](const Screenshot& s) {
            return more(s, "mixASlider", teal, 200) && more(s, "mixBSlider", teal, 200);
        };
        // A sine on both inputs, at the level whose glow the meters show in teal.
        Child sine = spawn({"jack_simple_client"}, env);
        EXPECT_EQ(connect("jack_simple_client:output1", "a"), 0);
        EXPECT_EQ(connect("jack_simple_client:output2", "b"), 0);
        const Screenshot sounding = shotShowing("meters-sounding", metered);
        kill(sine.pid, SIGTERM);
        finish(sine, 10s);
        EXPECT_TRUE(metered(sounding)) << "the Mix meters do not light";
        EXPECT_FALSE(more(sounding, "volumeSlider", teal, 20)) << "the other sliders have no meter";

        Child player = spawn({"sndfile-jackplay", "-l", "0", wav.string()}, env,
                             (work / "sndfile-jackplay.log").string());
        EXPECT_EQ(connect("jackplay:out_1", "a"), 0);
        const Screenshot aAlone = shotShowing("spectra-a-alone", hinting);
        EXPECT_EQ(connect("jackplay:out_2", "b"), 0);
        const Screenshot both = shotShowing(
            "spectra-both", [&](const Screenshot& s) { return traced(s) && !hinting(s); });
        // The traces move on: a later picture of them differs in many pixels.
        constexpr int kMoved = 1000;
        const Screenshot later = shotShowing("spectra-moving", [&](const Screenshot& s) {
            return s.changed(both, spectra, trace) > kMoved;
        });
        kill(player.pid, SIGTERM);
        finish(player, 10s);

        EXPECT_TRUE(hinting(aAlone)) << "no word of the missing source B";
        for (const Screenshot* s : {&both, &later}) {
            EXPECT_TRUE(traced(*s)) << "no traces";
            EXPECT_FALSE(hinting(*s)) << "a routing hint while both sources play";
        }
        EXPECT_GT(later.changed(both, spectra, trace), kMoved)
            << "the spectra do not follow the sound";
    });
}

// The standalone registers its ports and finds its resources in share/zembra beside bin/.
TEST_F(EditorOnDisplay, TheStandaloneRegistersItsPortsAndShowsTheEditorWithItsResources) {
    expectEditorWindowWithResources(spawn({ZEMBRA_E2E_STANDALONE}, pluginEnv), interrupt, [&] {
        for (const std::string port : {"in_l", "in_r", "sc_l", "sc_r", "out_l", "out_r"}) {
            auto listed = [&] { return jack.query({"jack_lsp"}).output.find("Zembra:" + port); };
            EXPECT_TRUE(eventually([&] { return listed() != std::string::npos; })) << port;
        }
    });
}

// The single-file CLAP module finds them there too; our host stops at the end of its input.
TEST_F(EditorOnDisplay, TheClapModuleShowsTheEditorWithItsResources) {
    expectEditorWindowWithResources(
        spawn({ZEMBRA_E2E_CLAP_EDITOR_HOST, ZEMBRA_E2E_CLAP_MODULE}, pluginEnv), endInput);
}

// A drag whose release never reaches the editor (its window goes away mid-drag, ending its
// hold on the pointer) ends there: once the host has let the editor see the button up, the
// pointer drags nothing. A click on Solo A, below the slider, then marks that the editor has
// handled every move before it.
TEST_F(EditorInJalv, ADragWhoseReleaseWentElsewhereStopsWhereItWas) {
    expectEditorWindowWithResources(startHost(), interrupt, [&] {
        const Box room = layout["roomSlider"], solo = layout["soloA"];
        const auto rowAt = [&](double fromTop) {
            return room.y + static_cast<int>(fromTop * room.h);
        };
        // The thumb: the rows its light face covers nearly across (the track's rim is narrower).
        const auto thumb = [&](const Screenshot& s) {
            long rows = 0, sum = 0;
            for (int y = room.y; y < room.y + room.h; ++y)
                if (s.count({room.x, y, room.w, 1}, light) >= room.w * 2 / 3) {
                    ++rows;
                    sum += y;
                }
            return rows > 0 ? static_cast<double>(sum) / static_cast<double>(rows) : NAN;
        };
        const std::string id = std::to_string(g.window);
        ASSERT_EQ(pointer(room, 0.5, 0.5, {"mousedown", "1"}).status, 0);
        ASSERT_EQ(pointer(room, 0.5, 0.7).status, 0);
        EXPECT_GT(thumb(shotShowing("lost-release-drag",
                                    [&](const Screenshot& s) { return thumb(s) > rowAt(0.55); })),
                  rowAt(0.55))
            << "the drag did not move it";
        ASSERT_EQ(x({"xdotool", "windowunmap", "--sync", id}).status, 0);
        ASSERT_EQ(x({"xdotool", "mouseup", "1"}).status, 0);
        ASSERT_EQ(x({"xdotool", "windowmap", "--sync", id}).status, 0);
        // The host asks the editor at each idle whether the button is still held, and two idles
        // seeing it up end the drag. Each new picture of the animated background (above the
        // panels) comes from another idle: two of them, and the drag has ended.
        const Box background{0, 0, layout["infoButton"].x, layout["padPanel"].y};
        constexpr auto differs = [](Rgb c, Rgb o) {
            return c.r != o.r || c.g != o.g || c.b != o.b;
        };
        for (int idle = 0; idle < 2; ++idle) {
            const Screenshot before = shot("lost-release-idle");
            shotShowing("lost-release-idle", [&](const Screenshot& s) {
                return s.changed(before, background, differs) > 0;
            });
        }
        ASSERT_EQ(pointer(room, 0.5, 0.9).status, 0);
        ASSERT_EQ(pointer(room, 0.5, 0.97).status, 0);
        ASSERT_EQ(pointer(solo, 0.5, 0.5, {"click", "1"}).status, 0);
        const Screenshot end = shotShowing(
            "lost-release-end", [&](const Screenshot& s) { return s.count(solo, lit) > 100; });
        ASSERT_GT(end.count(solo, lit), 100) << "the editor did not come back";
        EXPECT_GT(thumb(end), rowAt(0.55)) << "no thumb, or it went back";
        EXPECT_LT(thumb(end), rowAt(0.85)) << "it followed the pointer after the release was lost";
    });
}

} // namespace
