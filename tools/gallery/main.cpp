// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-gallery OUTDIR [--scale N] [--resources DIR]: renders the editor's controls and the
// toolkit's own in their states to PNG files in OUTDIR, on the dark editor background.
// Without --resources (a directory holding the editor's knob and thumb pictures) it draws
// stand-in pictures for the pad knob and slider thumb first.
#include "StandInArt.h"

#include "controls/CustomButtonCell.h"
#include "controls/CustomToggleButtonCell.h"
#include "controls/VerticalSliderCell.h"
#include "controls/ZembraXYView.h"
#include "engine/ZembraParameters.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/HeadlessWindow.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "support/BundleIdentity.h"
#include "support/EditorPictures.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

namespace fs = std::filesystem;
using tk::Rect;

namespace {

// The editor's backdrop, approximated: a dark vertical gradient with a faint grid, so that
// controls that add light (plus-lighter) show as they will in the editor.
class Backdrop : public tk::View {
  public:
    using tk::View::View;
    void drawRect(tk::GraphicsContext& g, const Rect&) override {
        cairo_t* cr = g.cairo();
        const Rect b = bounds();
        cairo_pattern_t* p = cairo_pattern_create_linear(0, b.maxY(), 0, 0);
        cairo_pattern_add_color_stop_rgb(p, 0.0, 0.085, 0.098, 0.125);
        cairo_pattern_add_color_stop_rgb(p, 1.0, 0.035, 0.040, 0.052);
        cairo_set_source(cr, p);
        cairo_rectangle(cr, 0, 0, b.width(), b.height());
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        g.setColor(tk::Color::calibratedWhite(1.0, 0.035));
        for (double x = 10; x < b.width(); x += 20)
            g.fillRect({x, 0, 1, b.height()});
        for (double y = 10; y < b.height(); y += 20)
            g.fillRect({0, y, b.width(), 1});
    }
};

// Marks the pad's extent; the pad itself draws only its knob, so the backdrop shows through.
class PadWell : public tk::View {
  public:
    using tk::View::View;
    void drawRect(tk::GraphicsContext& g, const Rect&) override {
        const Rect b = bounds().insetBy(0.5, 0.5);
        g.setColor(tk::Color::calibratedWhite(1.0, 0.025));
        g.fillPath(tk::Path::roundedRect(b, 6.0));
        g.setColor(tk::Color::calibratedWhite(1.0, 0.16));
        g.strokePath(tk::Path::roundedRect(b, 6.0));
    }
};

std::shared_ptr<tk::TextField> label(const std::string& text, const Rect& r,
                                     tk::TextAlignment a = tk::TextAlignment::Center,
                                     double size = 10.0) {
    auto f = std::make_shared<tk::TextField>(r);
    auto c = std::static_pointer_cast<tk::TextFieldCell>(f->sharedCell());
    c->setEditable(false);
    c->setBezeled(false);
    c->setDrawsBackground(false);
    c->setAlignment(a);
    c->setTextColor(tk::Color::calibratedWhite(0.72));
    c->setFont(tk::Font::systemFont(size));
    f->setStringValue(text);
    return f;
}

struct Sheet {
    std::unique_ptr<tk::HeadlessWindow> window;
    std::shared_ptr<Backdrop> root;
};

Sheet makeSheet(double w, double h, double scale, const std::string& title) {
    Sheet s;
    s.window = std::make_unique<tk::HeadlessWindow>(tk::Size{w, h}, scale);
    s.root = std::make_shared<Backdrop>(Rect{0, 0, w, h});
    s.window->setContentView(s.root);
    s.root->addSubview(label(title, {16, h - 30, w - 32, 20}, tk::TextAlignment::Left, 13.0));
    return s;
}

bool save(Sheet& s, const fs::path& file) {
    s.window->render();
    std::string err;
    if (!s.window->savePNG(file, &err)) {
        std::cerr << "zembra-gallery: " << err << "\n";
        return false;
    }
    std::cout << file.string() << "\n";
    return true;
}

std::string fmt2(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

bool padSheet(const fs::path& out, double scale) {
    const double pw = 200, ph = 150, gap = 28;
    Sheet s = makeSheet(3 * pw + 4 * gap, 2 * (ph + 26) + 56 + gap, scale,
                        "XY pad (ZembraXYView) at several positions");
    const std::pair<float, float> positions[] = {{0.5f, 0.5f}, {0.f, 0.f}, {1.f, 1.f},
                                                 {0.f, 1.f},   {1.f, 0.f}, {0.25f, 0.75f}};
    for (int i = 0; i < 6; ++i) {
        const double x = gap + (i % 3) * (pw + gap);
        const double y = s.window->size().height - 48 - (i / 3 + 1) * (ph + 26) + 8;
        // A framed well shows the pad's extent; the pad itself draws only its knob.
        s.root->addSubview(std::make_shared<PadWell>(Rect{x - 1, y - 1, pw + 2, ph + 2}));
        auto pad = std::make_shared<ZembraXYView>(Rect{x, y, pw, ph}, zembra::kBundleIdentifier);
        s.root->addSubview(pad);
        pad->setFloatValuesX(positions[i].first, positions[i].second);
        s.root->addSubview(
            label("X " + fmt2(positions[i].first) + "   Y " + fmt2(positions[i].second),
                  {x, y - 20, pw, 16}));
    }
    return save(s, out / "xy-pad.png");
}

bool sliderSheet(const fs::path& out, const fs::path& thumb, double scale) {
    const float levels[] = {0.0f, 0.1f, 0.25f, 0.5f, 1.0f};
    const double values[] = {20, 45, 60, 75, 100};
    Sheet s = makeSheet(5 * 80 + 40, 260, scale, "Vertical slider with level meter");
    for (int i = 0; i < 5; ++i) {
        const double x = 40 + i * 80;
        auto cell = std::make_shared<VerticalSliderCell>();
        cell->setMinValue(0);
        cell->setMaxValue(100);
        auto slider = std::make_shared<tk::Slider>(Rect{x + 18, 50, 22, 150}, cell);
        s.root->addSubview(slider);
        cell->setThumbImage(thumb);
        cell->setRmsLevel(levels[i]);
        slider->setDoubleValue(values[i]);
        s.root->addSubview(label("level " + fmt2(levels[i]), {x - 2, 26, 62, 16}));
    }
    return save(s, out / "slider-levels.png");
}

template <class CellT>
bool buttonSheet(const fs::path& out, const std::string& file, const std::string& title,
                 tk::Size size, bool withShadowRow, double scale) {
    const tk::CellState states[] = {tk::CellState::On, tk::CellState::Off, tk::CellState::Mixed};
    const char* names[] = {"on", "off", "mixed"};
    const int rows = withShadowRow ? 3 : 2;
    const double colW = size.width + 48, rowH = size.height + 34;
    Sheet s = makeSheet(3 * colW + 40, rows * rowH + 70, scale, title);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 3; ++c) {
            const double x = 40 + c * colW;
            const double y = s.window->size().height - 56 - (r + 1) * rowH + 22;
            auto cell = std::make_shared<CellT>();
            cell->setButtonType(tk::ButtonType::PushOnPushOff);
            cell->setAllowsMixedState(true);
            if (r != 1) {
                cell->setTitle("Solo A");
                cell->setAlternateTitle("Solo A");
            }
            if constexpr (std::is_same_v<CellT, CustomButtonCell>)
                if (r == 2) cell->setHasShadow();
            auto b = std::make_shared<tk::Button>(Rect{x, y, size.width, size.height}, cell);
            cell->setState(states[c]);
            s.root->addSubview(b);
            const std::string what = r == 0 ? "titled" : r == 1 ? "no title" : "titled, shadow";
            s.root->addSubview(
                label(std::string(names[c]) + ", " + what, {x - 20, y - 18, size.width + 40, 14}));
        }
    }
    return save(s, out / file);
}

std::shared_ptr<tk::PopUpButton> controllerPopUp(const Rect& r, int selected) {
    auto p = std::make_shared<tk::PopUpButton>(r);
    p->addItemsWithTitles(
        {zembra::kControllerSourceLabels.begin(), zembra::kControllerSourceLabels.end()});
    p->selectItemAtIndex(selected);
    return p;
}

bool popUpSheet(const fs::path& out, double scale) {
    Sheet s = makeSheet(380, 300, scale, "Pop-up button, menu open");
    auto closed = controllerPopUp({30, 40, 150, 24}, 0);
    s.root->addSubview(closed);
    s.root->addSubview(label("X control", {30, 66, 150, 14}, tk::TextAlignment::Left));
    auto open = controllerPopUp({200, 150, 150, 24}, 2);
    s.root->addSubview(open);
    s.root->addSubview(label("Y control", {200, 176, 150, 14}, tk::TextAlignment::Left));
    open->openMenu();
    // Move the highlight two items down, to "Aftertouch", as the arrow keys do.
    tk::Event down;
    down.type = tk::EventType::KeyDown;
    down.key = tk::Key::Down;
    s.window->keyDown(down);
    s.window->keyDown(down);
    return save(s, out / "popup-open.png");
}

bool alertSheet(const fs::path& out, const fs::path& thumb, double scale) {
    Sheet s = makeSheet(560, 360, scale, "Alert panel");
    for (int i = 0; i < 5; ++i) {
        auto cell = std::make_shared<VerticalSliderCell>();
        auto slider = std::make_shared<tk::Slider>(Rect{30.0 + i * 40, 60, 22, 150}, cell);
        s.root->addSubview(slider);
        cell->setThumbImage(thumb);
        cell->setRmsLevel(i < 2 ? 0.3f + 0.3f * i : 0.0f);
        slider->setDoubleValue(0.2 + 0.15 * i);
    }
    auto pad = std::make_shared<ZembraXYView>(Rect{250, 60, 280, 220}, zembra::kBundleIdentifier);
    s.root->addSubview(pad);
    const std::string text = "Product Version: \t0.1.0\n"
                             "Algorithm Version:\t1.0\n"
                             "Klov Status:\tNo Kallnor <KLOV> found\n"
                             "Bg Animation:\tUsing animated background\n"
                             "Platform:\tIntel 64bit\n";
    auto alert = tk::Alert::make("About", text, "Ok", "Show ChangeLog");
    alert->beginModal(*s.window, [](int) {});
    return save(s, out / "alert.png");
}

bool toolkitSheet(const fs::path& out, double scale) {
    Sheet s = makeSheet(520, 300, scale, "Toolkit controls");
    auto field = std::make_shared<tk::TextField>(Rect{30, 220, 90, 22});
    field->setIntValue(37);
    s.root->addSubview(field);
    s.root->addSubview(label("text field", {30, 202, 90, 14}));
    auto editing = std::make_shared<tk::TextField>(Rect{140, 220, 90, 22});
    editing->setStringValue("12.7");
    s.root->addSubview(editing);
    s.window->makeFirstResponder(editing.get());
    s.root->addSubview(label("editing", {140, 202, 90, 14}));
    auto status = label("Kallnor <KLOV> found", {250, 220, 180, 22}, tk::TextAlignment::Left, 11.0);
    s.root->addSubview(status);
    s.root->addSubview(label("status label", {250, 202, 180, 14}, tk::TextAlignment::Left));

    auto push = std::make_shared<tk::Button>(Rect{30, 150, 100, 26});
    push->setTitle("Push");
    s.root->addSubview(push);
    auto toggle = std::make_shared<tk::Button>(Rect{150, 150, 100, 26});
    toggle->setTitle("Toggle (on)");
    toggle->setButtonType(tk::ButtonType::PushOnPushOff);
    toggle->setState(tk::CellState::On);
    s.root->addSubview(toggle);
    auto longTitle = std::make_shared<tk::Button>(Rect{270, 150, 90, 26});
    longTitle->setTitle("A title far too long to fit");
    s.root->addSubview(longTitle);
    s.root->addSubview(label("truncated at the tail", {260, 132, 110, 14}));

    auto h = std::make_shared<tk::Slider>(Rect{30, 80, 200, 22});
    h->setDoubleValue(0.35);
    s.root->addSubview(h);
    auto v = std::make_shared<tk::Slider>(Rect{440, 40, 22, 150});
    v->setDoubleValue(0.7);
    s.root->addSubview(v);
    s.root->addSubview(label("stock sliders", {30, 60, 200, 14}));
    return save(s, out / "toolkit.png");
}

} // namespace

int main(int argc, char** argv) {
    fs::path out;
    fs::path resources;
    double scale = 2.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (a == "--resources" && i + 1 < argc) {
            resources = argv[++i];
        } else if (a == "-h" || a == "--help") {
            std::cout << "usage: zembra-gallery OUTDIR [--scale N] [--resources DIR]\n";
            return 0;
        } else if (out.empty() && !a.starts_with("-")) {
            out = a;
        } else {
            std::cerr << "zembra-gallery: unexpected argument '" << a << "'\n";
            return 2;
        }
    }
    if (out.empty() || !(scale > 0.0 && scale <= 8.0)) {
        std::cerr << "usage: zembra-gallery OUTDIR [--scale N] [--resources DIR]\n";
        return 2;
    }
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        std::cerr << "zembra-gallery: cannot create " << out << ": " << ec.message() << "\n";
        return 1;
    }
    if (resources.empty()) {
        resources = out / "stand-in-resources";
        fs::create_directories(resources, ec);
        std::string err;
        if (ec || !gallery::writeStandInArt(resources, &err)) {
            std::cerr << "zembra-gallery: cannot write stand-in art: " << (ec ? ec.message() : err)
                      << "\n";
            return 1;
        }
    }
    // The pad finds its knob through the plug-in's bundle, as in the editor.
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, resources);
    const fs::path thumb = resources / (std::string(zembra::kSliderThumbPicture) + ".png");

    bool ok = padSheet(out, scale);
    ok = sliderSheet(out, thumb, scale) && ok;
    ok = buttonSheet<CustomButtonCell>(out, "push-buttons.png", "Custom push button cell", {60, 24},
                                       true, scale) &&
         ok;
    ok = buttonSheet<CustomToggleButtonCell>(out, "toggle-buttons.png", "Custom toggle button cell",
                                             {90, 40}, false, scale) &&
         ok;
    ok = popUpSheet(out, scale) && ok;
    ok = alertSheet(out, thumb, scale) && ok;
    ok = toolkitSheet(out, scale) && ok;
    return ok ? 0 : 1;
}
