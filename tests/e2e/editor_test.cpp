// SPDX-License-Identifier: GPL-3.0-or-later
// The editor in a real host: jalv.gtk3 (and the standalone, and the CLAP module in a host of our
// own) on a virtual display of the suite's own (Xvfb) under a JACK server of its own. The editor
// appears with its controls where the interface description puts them; a drag on the pad, a click
// on Solo A and a value typed into a field change the host's values (read back from a preset the
// host saves); sound on the inputs lights the meters and moves the spectra; the host opens and
// closes it twenty times; and the memory an open editor costs is reported. Every child is bounded
// by a timeout.
#include "E2eSounds.h"
#include "E2eSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
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

// Where the interface description puts its views, in window pixels at scale 1.
class Layout {
  public:
    Layout() {
        std::ifstream in(ZEMBRA_E2E_DESCRIPTION);
        const auto json = nlohmann::json::parse(in);
        const auto& root = json.at("root").at("frame");
        width = root.at(2).get<int>();
        height = root.at(3).get<int>();
        collect(json.at("root"));
    }
    Box operator[](const std::string& id) const { return boxes.at(id); }
    int width = 0, height = 0;

  private:
    void collect(const nlohmann::json& view) {
        if (view.contains("id") && view.contains("frame")) {
            const auto& f = view.at("frame");
            const double x = f.at(0), y = f.at(1), w = f.at(2), h = f.at(3);
            // The description's frames are y up from the bottom of the editor.
            boxes[view.at("id")] = {static_cast<int>(x), static_cast<int>(height - y - h),
                                    static_cast<int>(w), static_cast<int>(h)};
        }
        if (view.contains("subviews"))
            for (const auto& sub : view.at("subviews"))
                collect(sub);
    }
    std::map<std::string, Box> boxes;
};

struct Rgb {
    int r, g, b;
};

// A screenshot of the whole display.
class Screenshot {
  public:
    Screenshot() = default;
    explicit Screenshot(const fs::path& png)
        : surface(cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy) {
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) surface.reset();
    }
    bool valid() const { return surface != nullptr; }

    Rgb at(int x, int y) const {
        cairo_surface_t* s = surface.get();
        if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) ||
            y >= cairo_image_surface_get_height(s))
            return {-1, -1, -1};
        const unsigned char* row =
            cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[x];
        return {static_cast<int>(px >> 16 & 0xFF), static_cast<int>(px >> 8 & 0xFF),
                static_cast<int>(px & 0xFF)};
    }
    // How many pixels of `box` (offset by the window's origin) satisfy `test`.
    int count(Box box, int originX, int originY, bool (*test)(Rgb)) const {
        int n = 0;
        for (int y = box.y; y < box.y + box.h; ++y)
            for (int x = box.x; x < box.x + box.w; ++x)
                n += test(at(originX + x, originY + y)) ? 1 : 0;
        return n;
    }
    // How many pixels of `box` differ from the same pixels of `other` by more than `by` in
    // some channel.
    int changed(const Screenshot& other, Box box, int originX, int originY, int by) const {
        int n = 0;
        for (int y = box.y; y < box.y + box.h; ++y)
            for (int x = box.x; x < box.x + box.w; ++x) {
                const Rgb c = at(originX + x, originY + y), o = other.at(originX + x, originY + y);
                n += std::max({std::abs(c.r - o.r), std::abs(c.g - o.g), std::abs(c.b - o.b)}) > by
                         ? 1
                         : 0;
            }
        return n;
    }
    // The mean height, in window pixels, of the pixels of `box` that satisfy `test`.
    double meanY(Box box, int originX, int originY, bool (*test)(Rgb)) const {
        double sum = 0.0;
        int n = 0;
        for (int y = box.y; y < box.y + box.h; ++y)
            for (int x = box.x; x < box.x + box.w; ++x)
                if (test(at(originX + x, originY + y))) sum += y, ++n;
        return n > 0 ? sum / n : NAN;
    }

  private:
    std::shared_ptr<cairo_surface_t> surface;
};

bool bright(Rgb c) {
    return c.r > 200 && c.g > 200 && c.b > 200;
}
bool light(Rgb c) {
    return std::min({c.r, c.g, c.b}) > 150;
}
bool lit(Rgb c) { // a toggle's blue fill
    return c.b > 150 && c.b > c.r + 80;
}
bool glowing(Rgb c) { // the pad's cyan knob
    return c.b > 200 && c.g > 150;
}
bool teal(Rgb c) { // a level meter's glow
    return c.g > 90 && c.b > 90 && c.g > c.r + 50;
}
// The spectra's traces, which the blue background behind them never comes near (it stays
// below 60, 90, 115 there).
bool amber(Rgb c) { // source A's trace, and the routing hint's words
    return c.r > 150 && c.r > c.b + 70 && c.g > c.b + 25;
}
bool violet(Rgb c) { // source B's trace
    return c.r > 120 && c.b > 150 && c.r > c.g + 25;
}
bool paleCyan(Rgb c) { // the output's trace
    return c.g > 180 && c.b > 180 && c.r > 110;
}

// A stereo file whose spectrum never rests, A on the left and B on the right: a sweep rising
// nearly five octaves every 2.7 s, and a tune leaping up and down a note every 0.43 s, so no
// two moments a second or two apart look alike.
void writeMovingSources(const fs::path& wav) {
    constexpr double kRate = 48000.0;
    constexpr size_t kFrames = 8 * 48000 + 28800; // 8.6 s: whole bars of the tune
    static constexpr double kTune[] = {220.0, 1320.0, 330.0, 2640.0, 495.0};
    Sound s{2, std::vector<float>(2 * kFrames)};
    double phaseA = 0.0, phaseB = 0.0;
    for (size_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        phaseA += 2.0 * M_PI * 150.0 * std::exp2(4.7 * std::fmod(t / 2.7, 1.0)) / kRate;
        phaseB += 2.0 * M_PI * kTune[static_cast<size_t>(t / 0.43) % std::size(kTune)] / kRate;
        double a = 0.0, b = 0.0;
        for (int h = 1; h <= 4; ++h) {
            a += std::sin(h * phaseA) / h;
            b += std::sin(h * phaseB) / h;
        }
        s.samples[2 * i] = static_cast<float>(0.25 * a);
        s.samples[2 * i + 1] = static_cast<float>(0.25 * b);
    }
    writeSound(wav, s);
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    unsigned long window = 0; // its X window, when it is the editor's
};

// A display and a JACK server of the suite's own.
class EditorOnDisplay : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        work = fs::path(ZEMBRA_E2E_WORK_DIR) / "editor";
        // A fresh home and configuration; the screenshots of earlier cases stay to be looked at.
        fs::remove_all(work / "home");
        fs::remove_all(work / "config");
        fs::create_directories(work / "home" / ".lv2");
        fs::create_directories(work / "config");
        // -displayfd: the server picks a free display and writes its number on our pipe.
        xvfb = spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                      "-noreset"},
                     {}, (work / "xvfb.log").string());
        std::string display;
        readUntil(
            xvfb,
            [&](const std::string& text) {
                std::istringstream lines(text);
                for (std::string line; std::getline(lines, line);)
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

    // The editor's window once the host shows it (mapped, not merely created), or nothing
    // within the timeout.
    static std::optional<unsigned long> editorWindow(std::chrono::milliseconds timeout = 60s) {
        return window("--class", kEditorWindowClass, timeout);
    }
    // The first shown window whose class or name (`field`) matches `pattern`.
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
    // The editor's place once the host has embedded it: the window appears before it is
    // moved into the host's, so its position is read until it stays put.
    static Geometry settled(unsigned long id) {
        Geometry last = geometry(id);
        for (int same = 0, tries = 0; same < 3 && tries < 50; ++tries) {
            std::this_thread::sleep_for(200ms);
            const Geometry now = geometry(id);
            same = now.x == last.x && now.y == last.y && now.width == last.width ? same + 1 : 0;
            last = now;
        }
        return last;
    }
    static Geometry geometry(unsigned long id) {
        const Result r = x({"xdotool", "getwindowgeometry", "--shell", std::to_string(id)});
        Geometry g;
        std::istringstream lines(r.output);
        for (std::string line; std::getline(lines, line);) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            const int v = std::atoi(line.c_str() + eq + 1);
            const std::string key = line.substr(0, eq);
            if (key == "X") g.x = v;
            if (key == "Y") g.y = v;
            if (key == "WIDTH") g.width = v;
            if (key == "HEIGHT") g.height = v;
        }
        return g;
    }
    static fs::path screenshot(const std::string& name) {
        const fs::path png = work / (name + ".png");
        const Result r = x({"import", "-window", "root", png.string()});
        EXPECT_EQ(r.status, 0) << r.output;
        return png;
    }
    // Screenshots taken until one `shows` what is awaited; the last one taken, whether it
    // does or the cap passed, so the test's own expectations say what was missing.
    static Screenshot screenshotShowing(const std::string& name,
                                        const std::function<bool(const Screenshot&)>& shows,
                                        std::chrono::milliseconds cap = 60s) {
        Screenshot shot;
        eventually(
            [&] {
                shot = Screenshot(screenshot(name));
                return shot.valid() && shows(shot);
            },
            cap);
        return shot;
    }
    // The editor once the host has embedded it and it has drawn itself (its background and
    // its buttons' titles), with its place; nothing when it did not appear.
    std::optional<Geometry> shownEditor() const {
        const auto editor = editorWindow();
        if (!editor) return std::nullopt;
        Geometry g = settled(*editor);
        g.window = *editor;
        screenshotShowing("editor-shown", [&](const Screenshot& shot) {
            const Rgb corner = shot.at(g.x + 3, g.y + 3);
            return corner.r + corner.g + corner.b > 0 &&
                   shot.count(layout["soloA"], g.x, g.y, bright) > 20;
        });
        return g;
    }
    // A second screenshot a second after `first`, and how many pixels of `box` changed
    // clearly (more than the background's slow drift moves one in that time) between the two.
    static std::pair<Screenshot, int> aSecondAfter(const Screenshot& first, const std::string& name,
                                                   Box box, const Geometry& g) {
        std::this_thread::sleep_for(1s);
        Screenshot second(screenshot(name));
        return {second, second.changed(first, box, g.x, g.y, 32)};
    }
    static Child startHost(const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv = {"jalv.gtk3"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(kUri);
        return spawn(argv, pluginEnv);
    }
    // Ends the host as a user's Ctrl-C would; whether it left cleanly.
    static void interrupt(Child& host) { kill(host.pid, SIGINT); }
    static Result stopHost(Child& host) {
        interrupt(host);
        return finish(host, 30s);
    }

    // The host's own values: it saves them as a preset (Presets > Save Preset...), which
    // is read back here by port symbol.
    static std::map<std::string, float> hostValues(const std::string& name) {
        const auto top = window("--name", "^Zembra", 30s);
        if (!top) return {};
        // No window manager gives the keyboard to the window in front: the editor took it
        // when clicked, so it is handed to the host's window, then to the dialog. The pointer
        // goes to the menu bar, as keys go to the window under it within the focused one.
        // A busy host may drop the menu's keys while it opens: then it is closed and asked
        // again.
        const Geometry g = geometry(*top);
        std::optional<unsigned long> dialog;
        eventually(
            [&, again = false]() mutable {
                if (std::exchange(again, true)) x({"xdotool", "key", "Escape", "Escape"});
                x({"xdotool", "windowfocus", std::to_string(*top)});
                x({"xdotool", "mousemove", std::to_string(g.x + 5), std::to_string(g.y + 5)});
                x({"xdotool", "key", "--delay", "200", "F10", "Right", "Down", "Return"});
                return (dialog = window("--name", "Save Preset", 10s)).has_value();
            },
            60s);
        if (!dialog) {
            screenshot("no-preset-dialog");
            return {};
        }
        // Its name field runs along its top, its Save button sits in its lower right corner;
        // the field takes the typing once clicked.
        const Geometry d = geometry(*dialog);
        x({"xdotool", "windowfocus", std::to_string(*dialog)});
        x({"xdotool", "mousemove", std::to_string(d.x + d.width / 2), std::to_string(d.y + 25),
           "click", "1"});
        x({"xdotool", "type", "--delay", "20", name});
        // The button follows the field a moment later; a click before that is lost, so it is
        // clicked until the file appears.
        fs::path saved;
        auto find = [&] {
            for (const auto& file : fs::recursive_directory_iterator(work / "home"))
                if (file.path().filename() == name + ".ttl") saved = file.path();
            return !saved.empty();
        };
        eventually(
            [&] {
                x({"xdotool", "mousemove", std::to_string(d.x + d.width - 50),
                   std::to_string(d.y + d.height - 25), "click", "1"});
                return eventually(find, 2s);
            },
            60s);
        if (saved.empty()) {
            screenshot("no-preset-saved");
            return {};
        }
        return readPreset(saved);
    }

    // Port values of a preset file, by symbol.
    static std::map<std::string, float> readPreset(const fs::path& ttl) {
        // The file may be seen before its writer is done: its last statement ends in " .".
        std::string text;
        eventually([&] {
            text = readFile(ttl);
            const size_t end = text.find_last_not_of(" \n");
            return end != std::string::npos && text[end] == '.';
        });
        // Each port reads: lv2:symbol "x" ; pset:value 0.5
        std::map<std::string, float> values;
        const std::string symbol = "lv2:symbol \"", value = "pset:value ";
        for (size_t at = text.find(symbol); at != std::string::npos; at = text.find(symbol, at)) {
            at += symbol.size();
            const std::string name = text.substr(at, text.find('"', at) - at);
            const size_t v = text.find(value, at);
            if (v != std::string::npos) values[name] = std::stof(text.substr(v + value.size()));
        }
        return values;
    }

    // A program that shows the editor: the window has the editor's size, `look` finds what it
    // expects in it, and the program finds every resource and ends cleanly when `stop` asks it
    // to, taking the window with it.
    void expectEditorWindowWithResources(
        Child program, void (*stop)(Child&),
        const std::function<void(const Geometry&)>& look = [](const Geometry&) {}) const {
        const auto shown = shownEditor();
        const Geometry g = shown.value_or(Geometry{});
        if (shown) look(g);
        stop(program);
        const Result r = finish(program, 30s);
        ASSERT_TRUE(shown) << "no editor window\n" << r.output;
        EXPECT_EQ(g.width, layout.width);
        EXPECT_EQ(g.height, layout.height);
        ASSERT_TRUE(r.finished) << r.output;
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Unable to load nib"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("not loaded"), std::string::npos) << r.output;
        EXPECT_FALSE(editorWindow(0ms)) << "the editor window outlived its program";
    }

    static inline fs::path work;
    static inline Child xvfb;
    static inline JackServer jack;
    static inline std::vector<std::string> env; // the display, JACK, a home of the suite's own
    static inline std::vector<std::string> pluginEnv;
    static inline std::string setupFailure;
    const Layout layout;
};

// The editor in jalv.gtk3.
class EditorInJalv : public EditorOnDisplay {
  protected:
    void SetUp() override {
        EditorOnDisplay::SetUp();
        // GTK's start-up deadlocks on glibc's locale lock when a sanitizer runtime is
        // preloaded into jalv.gtk3, before any plug-in is loaded; the editor's glue runs
        // under the sanitizers in plugin_ui_test, the standalone here.
        if (*ZEMBRA_E2E_PRELOAD)
            GTEST_SKIP() << "jalv.gtk3 cannot start with a sanitizer runtime preloaded";
    }
};

TEST_F(EditorInJalv, AppearsWithItsControlsWhereTheDescriptionPutsThem) {
    expectEditorWindowWithResources(startHost(), interrupt, [&](const Geometry& g) {
        const fs::path png = screenshot("editor-in-jalv");
        Screenshot shot(png);
        ASSERT_TRUE(shot.valid()) << png;
        std::cout << "[ figure ] the editor in jalv.gtk3: " << png.string() << "\n";

        // The background covers the window: no black, not the bare window colour.
        for (auto [px, py] : {std::pair{3, 3}, {g.width - 4, 3}, {3, g.height - 4}}) {
            const Rgb c = shot.at(g.x + px, g.y + py);
            EXPECT_GT(c.r + c.g + c.b, 0) << px << "," << py;
        }
        // The pad's knob sits in the middle of the pad (X and Y start at 0.5).
        const Box pad = layout["pad"];
        const Box middle{pad.x + pad.w / 2 - 14, pad.y + pad.h / 2 - 14, 28, 28};
        EXPECT_GT(shot.count(middle, g.x, g.y, glowing), 40) << "no knob in the pad's middle";
        EXPECT_EQ(shot.count({pad.x + 10, pad.y + 10, 40, 40}, g.x, g.y, glowing), 0);
        // Each slider shows its thumb; each button its title.
        for (const char* id :
             {"mixASlider", "mixBSlider", "volumeSlider", "wetDrySlider", "roomSlider"})
            EXPECT_GT(shot.count(layout[id], g.x, g.y, light), 20) << id;
        for (const char* id : {"stereoMode", "soloA", "soloB"}) {
            EXPECT_GT(shot.count(layout[id], g.x, g.y, bright), 20) << id;
            EXPECT_LT(shot.count(layout[id], g.x, g.y, lit), 20) << id << " starts off";
        }
        // Nothing of it beyond its size.
        EXPECT_EQ(shot.count({layout.width + 20, 0, 40, layout.height}, g.x, g.y, light), 0);
    });
}

TEST_F(EditorInJalv, ADragOnThePadAClickOnSoloAAndTypingChangeTheHostsValues) {
    Child host = startHost();
    const auto shown = shownEditor();
    ASSERT_TRUE(shown) << "no editor window\n" << stopHost(host).output;
    const Geometry g = *shown;
    const Box pad = layout["pad"], solo = layout["soloA"];
    auto at = [&](double fx, double fyUp) { // a point of the pad, y up as the pad counts
        return std::vector<std::string>{
            std::to_string(g.x + pad.x + static_cast<int>(fx * pad.w)),
            std::to_string(g.y + pad.y + static_cast<int>((1.0 - fyUp) * pad.h))};
    };
    std::vector<std::string> drag = {"xdotool", "mousemove"};
    for (auto& s : at(0.5, 0.5))
        drag.push_back(s);
    drag.insert(drag.end(), {"mousedown", "1"});
    for (double t : {0.25, 0.5, 0.75, 1.0}) {
        drag.insert(drag.end(), {"sleep", "0.05", "mousemove"});
        for (auto& s : at(0.5 + 0.35 * t, 0.5 - 0.35 * t))
            drag.push_back(s);
    }
    drag.insert(drag.end(), {"sleep", "0.1", "mouseup", "1"});
    ASSERT_EQ(x(drag).status, 0);
    // Each gesture is seen drawn before the next, so a busy editor gets them one at a time.
    const Box letGo{pad.x + pad.w / 2 + 14, pad.y + pad.h / 2 + 14, pad.w / 2 - 14, pad.h / 2 - 14};
    auto knobLetGo = [&](const Screenshot& s) { return s.count(letGo, g.x, g.y, glowing) > 40; };
    EXPECT_TRUE(knobLetGo(screenshotShowing("editor-after-drag", knobLetGo)))
        << "the pad's knob is not where it was let go";
    x({"xdotool", "mousemove", std::to_string(g.x + solo.x + solo.w / 2),
       std::to_string(g.y + solo.y + solo.h / 2), "click", "1"});
    auto soloOn = [&](const Screenshot& s) { return s.count(solo, g.x, g.y, lit) > 100; };
    const Screenshot clicked = screenshotShowing("editor-after-drag-and-click", soloOn);
    EXPECT_TRUE(soloOn(clicked)) << "Solo A is not shown on";
    // Typing into the Room field: the keyboard reaches the editor through the host too. The
    // field shows its focus ring before the keys come; the slider's thumb then goes down.
    const Box room = layout["roomField"], roomSlider = layout["roomSlider"];
    x({"xdotool", "mousemove", std::to_string(g.x + room.x + room.w / 2),
       std::to_string(g.y + room.y + room.h / 2), "click", "1"});
    auto editing = [&](const Screenshot& s) { return s.count(room, g.x, g.y, lit) > 20; };
    EXPECT_TRUE(editing(screenshotShowing("editor-editing-room", editing)))
        << "the Room field does not show it is being edited";
    x({"xdotool", "key", "--delay", "50", "End", "BackSpace", "BackSpace", "BackSpace"});
    x({"xdotool", "type", "--delay", "50", "37.9"});
    x({"xdotool", "key", "Return"});
    const double thumbBefore = clicked.meanY(roomSlider, g.x, g.y, light);
    auto thumbDown = [&](const Screenshot& s) {
        return s.meanY(roomSlider, g.x, g.y, light) > thumbBefore + 8.0;
    };
    EXPECT_TRUE(thumbDown(screenshotShowing("editor-after-typing", thumbDown)))
        << "the Room slider's thumb did not follow the typed value";

    const auto values = hostValues("readback");
    const Result r = stopHost(host);
    ASSERT_FALSE(values.empty()) << "the host saved no preset\n" << r.output;
    // The pad was let go at 85% across and 15% up, less the knob's margin.
    EXPECT_GT(values.at("x"), 0.7f);
    EXPECT_LT(values.at("y"), 0.3f);
    EXPECT_EQ(values.at("solo_a"), 1.0f);
    EXPECT_EQ(values.at("solo_b"), 0.0f);
    EXPECT_NEAR(values.at("room"), 37.9f, 1e-4f);
    EXPECT_EQ(values.at("wet_dry"), 0.0f) << "untouched values stay as they were";
    EXPECT_EQ(values.at("volume"), 100.0f);
    EXPECT_EQ(r.status, 0) << r.output;
}

TEST_F(EditorInJalv, TheHostOpensAndClosesItTwentyTimes) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Child host = startHost();
        ASSERT_GT(host.pid, 0);
        const bool shown = editorWindow().has_value();
        const Result r = stopHost(host);
        ASSERT_TRUE(shown) << "no editor window\n" << r.output;
        ASSERT_TRUE(r.finished) << "jalv.gtk3 hung\n" << r.output;
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("assertion failure"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(editorWindow(0ms)) << "an editor window outlived its host";
}

// The input levels travel from the audio side through the host to the meters of Mix A and B.
TEST_F(EditorInJalv, SoundOnTheInputsLightsTheMixMeters) {
    Child host = startHost();
    const auto shown = shownEditor();
    ASSERT_TRUE(shown) << "no editor window\n" << stopHost(host).output;
    const Geometry g = *shown;
    Screenshot silent(screenshot("editor-silent"));
    Child source = spawn({"jack_simple_client"}, env); // a sine on both its outputs
    for (const char* input : {"a", "b"})
        jack.query({"jack_connect",
                    std::string("jack_simple_client:output") + (*input == 'a' ? "1" : "2"),
                    std::string("Zembra:lv2_in_") + input});
    auto glows = [&](const Screenshot& s, const char* id) {
        return s.count(layout[id], g.x, g.y, teal) > silent.count(layout[id], g.x, g.y, teal) + 200;
    };
    const Screenshot sounding = screenshotShowing("editor-sounding", [&](const Screenshot& s) {
        return glows(s, "mixASlider") && glows(s, "mixBSlider");
    });
    kill(source.pid, SIGTERM);
    finish(source, 10s);
    const Result r = stopHost(host);
    for (const char* id : {"mixASlider", "mixBSlider"})
        EXPECT_TRUE(glows(sounding, id)) << id;
    // The other sliders have no meter.
    EXPECT_LT(sounding.count(layout["volumeSlider"], g.x, g.y, teal),
              silent.count(layout["volumeSlider"], g.x, g.y, teal) + 20);
    EXPECT_EQ(r.status, 0) << r.output;
}

// Sound whose spectrum keeps changing, on both inputs, keeps the spectra moving: two screenshots
// a second apart differ there far more than the animated background alone makes them differ.
// While only A plays, the editor says that B is missing; once B plays too, it says nothing.
TEST_F(EditorInJalv, MovingSoundMovesTheSpectraAndAMissingSourceIsNamed) {
    const fs::path wav = work / "moving-sources.wav";
    writeMovingSources(wav);
    Child host = startHost();
    const auto shown = shownEditor();
    ASSERT_TRUE(shown) << "no editor window\n" << stopHost(host).output;
    const Geometry g = *shown;
    const Box spectra = layout["spectra"], hint = layout["routingHint"];
    const Screenshot silent(screenshot("spectra-silent"));
    const auto [still, stillChange] = aSecondAfter(silent, "spectra-still", spectra, g);

    Child player = spawn({"sndfile-jackplay", "-l", "0", wav.string()}, env,
                         (work / "sndfile-jackplay.log").string());
    auto connect = [&](const char* output, const char* input) {
        return jack
            .query({"jack_connect", std::string("jackplay:") + output,
                    std::string("Zembra:lv2_in_") + input})
            .status;
    };
    auto more = [&](const Screenshot& s, Box box, bool (*test)(Rgb), int by) {
        return s.count(box, g.x, g.y, test) > silent.count(box, g.x, g.y, test) + by;
    };
    auto hinting = [&](const Screenshot& s) { return more(s, hint, amber, 40); };
    auto traced = [&](const Screenshot& s) {
        return more(s, spectra, amber, 150) && more(s, spectra, violet, 150) &&
               more(s, spectra, paleCyan, 150);
    };
    EXPECT_EQ(connect("out_1", "a"), 0);
    const Screenshot aAlone = screenshotShowing("spectra-a-alone", hinting);
    EXPECT_EQ(connect("out_2", "b"), 0);
    const Screenshot both = screenshotShowing(
        "spectra-both", [&](const Screenshot& s) { return traced(s) && !hinting(s); });
    const auto [later, movingChange] = aSecondAfter(both, "spectra-moving", spectra, g);
    kill(player.pid, SIGTERM);
    finish(player, 10s);
    const Result r = stopHost(host);

    EXPECT_TRUE(hinting(aAlone)) << "no word of the missing source B";
    auto traces = [&](const Screenshot& s) {
        std::ostringstream text;
        text << s.count(spectra, g.x, g.y, amber) << "/" << s.count(spectra, g.x, g.y, violet)
             << "/" << s.count(spectra, g.x, g.y, paleCyan);
        return text.str();
    };
    std::cout << "[ figure ] spectrum pixels amber/violet/pale cyan: " << traces(silent)
              << " in silence, " << traces(both) << " and " << traces(later)
              << " with moving sound; changed over a second: " << stillChange << " in silence, "
              << movingChange << " with moving sound\n";
    for (const Screenshot* s : {&both, &later}) {
        EXPECT_TRUE(traced(*s)) << "no traces: " << traces(*s);
        EXPECT_FALSE(hinting(*s)) << "a routing hint while both sources play";
    }
    EXPECT_GT(movingChange, stillChange + 2000) << "the spectra do not follow the sound";
    EXPECT_EQ(r.status, 0) << r.output;
}

// The standalone finds its resources in share/zembra beside its bin/.
TEST_F(EditorOnDisplay, TheStandaloneShowsTheEditorWithItsResources) {
    expectEditorWindowWithResources(spawn({ZEMBRA_E2E_STANDALONE}, pluginEnv), interrupt);
}

// The CLAP module, a single file, finds its resources there too; its host stops at the end of
// its input.
TEST_F(EditorOnDisplay, TheClapModuleShowsTheEditorWithItsResources) {
    expectEditorWindowWithResources(
        spawn({ZEMBRA_E2E_CLAP_EDITOR_HOST, ZEMBRA_E2E_CLAP_MODULE}, pluginEnv), [](Child& c) {
            close(c.in);
            c.in = -1;
        });
}

// An open editor's memory: the host with our editor against the same host showing its
// generic controls instead. Counted is the private memory (RssAnon): the JACK server's shared
// memory, which the host maps too, varies from run to run by more than the editor takes.
// The 130 frames of the background unpacked would take 170 MB; the bound catches that.
TEST_F(EditorInJalv, AnOpenEditorCostsLessThanItsPicturesUnpacked) {
    using Memory = std::map<std::string, long>; // KiB by /proc/<pid>/status field
    auto memory = [this](bool withEditor) {
        Child host = startHost(withEditor ? std::vector<std::string>{}
                                          : std::vector<std::string>{"--generic-ui"});
        const bool shown =
            withEditor ? shownEditor().has_value() : window("--name", "^Zembra", 60s).has_value();
        auto read = [&] {
            Memory m;
            std::ifstream status("/proc/" + std::to_string(host.pid) + "/status");
            for (std::string line; std::getline(status, line);)
                for (const char* field : {"VmRSS", "RssAnon"})
                    if (line.rfind(std::string(field) + ":", 0) == 0)
                        m[field] = std::atol(line.c_str() + std::strlen(field) + 1);
            return m;
        };
        // Settled (every frame loaded, a few drawn) when three readings half a second apart
        // agree within 1 MiB.
        Memory m;
        if (shown) {
            int steady = 0;
            eventually([&] {
                std::this_thread::sleep_for(500ms);
                Memory now = read();
                steady = std::abs(now["RssAnon"] - m["RssAnon"]) < 1024 ? steady + 1 : 0;
                m = now;
                return steady >= 3;
            });
        }
        const Result r = stopHost(host);
        EXPECT_EQ(r.status, 0) << r.output;
        return m;
    };
    Memory generic = memory(false), editor = memory(true);
    ASSERT_GT(generic["RssAnon"], 0);
    ASSERT_GT(editor["RssAnon"], 0);
    std::cout << "[ figure ] jalv.gtk3 resident memory (MiB), generic controls -> the editor: "
              << "VmRSS " << generic["VmRSS"] / 1024 << " -> " << editor["VmRSS"] / 1024
              << ", private " << generic["RssAnon"] / 1024 << " -> " << editor["RssAnon"] / 1024
              << "\n";
    EXPECT_LT(editor["RssAnon"] - generic["RssAnon"], 120L * 1024);
}

// A drag whose release never reaches the editor: its window goes away mid-drag (which ends
// its hold on the pointer) and the button is let go elsewhere. Once the editor is back, the
// pointer passing over it drags nothing: the drag ended where it was.
TEST_F(EditorInJalv, ADragWhoseReleaseWentElsewhereStopsWhereItWas) {
    Child host = startHost();
    const auto shown = shownEditor(); // it takes input once it has drawn itself
    ASSERT_TRUE(shown) << "no editor window\n" << stopHost(host).output;
    const Geometry g = *shown;
    const Box room = layout["roomSlider"];
    const auto rowAt = [&](double fromTop) { // 0 the slider's top, 1 its bottom
        return room.y + static_cast<int>(fromTop * room.h);
    };
    auto moveTo = [&](double fromTop, std::vector<std::string> then) {
        std::vector<std::string> argv = {"xdotool", "mousemove",
                                         std::to_string(g.x + room.x + room.w / 2),
                                         std::to_string(g.y + rowAt(fromTop))};
        argv.insert(argv.end(), then.begin(), then.end());
        return x(argv).status;
    };
    const std::string id = std::to_string(g.window);
    ASSERT_EQ(moveTo(0.5, {"mousedown", "1"}), 0);
    ASSERT_EQ(moveTo(0.7, {"sleep", "0.3"}), 0);
    ASSERT_EQ(x({"xdotool", "windowunmap", "--sync", id}).status, 0);
    ASSERT_EQ(x({"xdotool", "mouseup", "1", "sleep", "0.5"}).status, 0);
    ASSERT_EQ(x({"xdotool", "windowmap", "--sync", id}).status, 0);
    ASSERT_EQ(moveTo(0.9, {"sleep", "0.2"}), 0);
    ASSERT_EQ(moveTo(0.97, {"sleep", "0.5"}), 0);

    // Where the thumb is: the rows of the slider its light face covers nearly across (the
    // track's light rim at its top is narrower).
    const Screenshot shot(screenshot("lost-release-end"));
    const Rgb corner = shot.at(g.x + 3, g.y + 3);
    ASSERT_GT(corner.r + corner.g + corner.b, 0) << "the editor did not come back";
    long rows = 0, sum = 0;
    for (int y = room.y; y < room.y + room.h; ++y) {
        if (shot.count({room.x, y, room.w, 1}, g.x, g.y, light) < room.w * 2 / 3) continue;
        ++rows;
        sum += y;
    }
    const Result r = stopHost(host);
    ASSERT_GT(rows, 0) << "no thumb on the room slider";
    const double thumb = static_cast<double>(sum) / static_cast<double>(rows);
    std::cout << "[ figure ] the room slider's thumb at row " << thumb << ", let go at row "
              << rowAt(0.7) << ", the pointer went on to " << rowAt(0.97) << "\n";
    EXPECT_GT(thumb, rowAt(0.55)) << "the drag did not move it";
    EXPECT_LT(thumb, rowAt(0.85)) << "it followed the pointer after the release was lost";
    EXPECT_EQ(r.status, 0) << r.output;
}

} // namespace
