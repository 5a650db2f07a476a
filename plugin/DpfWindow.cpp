// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing and input between DPF and the toolkit.
#include "DpfWindow.h"

#include "platform/toolkit/Style.h"

#include <cairo.h>

#include <cmath>
#include <utility>

namespace zembra::plugin {

DpfWindow::DpfWindow(tk::Size size, double scale, std::function<void()> requestRepaint)
    : tk::Window(size, scale), mRequestRepaint(std::move(requestRepaint)) {}

DpfWindow::~DpfWindow() {
    // The views may still ask for display while they leave; nobody answers that now.
    mRequestRepaint = nullptr;
    close();
}

void DpfWindow::displayRequested() {
    if (mRequestRepaint) mRequestRepaint();
}

void DpfWindow::display(cairo_t* cr) {
    if (!cr) return;
    // The editor view is not opaque: the window's own colour is what shows through.
    const tk::Color& bg = tk::style::kWindowBackground;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, bg.red, bg.green, bg.blue, bg.alpha);
    cairo_paint(cr);
    cairo_restore(cr);
    tk::GraphicsContext g(cr, size(), scale(), &shadowCache());
    draw(g);
}

unsigned DpfWindow::toolkitModifiers(unsigned modifiers) {
    unsigned flags = 0;
    if (modifiers & kDpfShift) flags |= tk::kShiftKey;
    if (modifiers & kDpfControl) flags |= tk::kControlKey;
    if (modifiers & kDpfAlt) flags |= tk::kAlternateKey;
    if (modifiers & kDpfSuper) flags |= tk::kCommandKey;
    return flags;
}

tk::Key DpfWindow::toolkitKey(std::uint32_t key) {
    switch (key) {
    case kDpfBackspace:
        return tk::Key::Backspace;
    case kDpfTab:
        return tk::Key::Tab;
    case kDpfReturn:
        return tk::Key::Return;
    case kDpfEscape:
        return tk::Key::Escape;
    case kDpfDelete:
        return tk::Key::Delete;
    case kDpfLeft:
        return tk::Key::Left;
    case kDpfUp:
        return tk::Key::Up;
    case kDpfRight:
        return tk::Key::Right;
    case kDpfDown:
        return tk::Key::Down;
    case kDpfHome:
        return tk::Key::Home;
    case kDpfEnd:
        return tk::Key::End;
    default:
        return tk::Key::None;
    }
}

bool DpfWindow::mouse(unsigned button, bool press, double x, double y, unsigned modifiers,
                      std::uint32_t timeMs) {
    if (button != kLeftButton || isClosed()) return false;
    const tk::Point p = pointFromDevice(x, y);
    const unsigned flags = toolkitModifiers(modifiers);
    if (press) {
        const bool again =
            mClickCount > 0 && timeMs - mLastPressMs <= kMultiClickMs &&
            std::hypot(p.x - mLastPressAt.x, p.y - mLastPressAt.y) <= kMultiClickDistance;
        mClickCount = again ? mClickCount + 1 : 1;
        mLastPressMs = timeMs;
        mLastPressAt = p;
        mButtonDown = true;
        mButtonUpSeen = 0;
        mouseDown(p, mClickCount, flags);
    } else {
        // A release without a press (the press went to another window) means nothing here.
        if (!std::exchange(mButtonDown, false)) return false;
        mouseUp(p, flags);
    }
    return true;
}

void DpfWindow::leftButtonState(bool held) {
    mButtonUpSeen = mButtonDown && !held ? mButtonUpSeen + 1 : 0;
    if (mButtonUpSeen < 2) return;
    mButtonUpSeen = 0;
    mButtonDown = false;
    cancelMouseTracking();
}

bool DpfWindow::motion(double x, double y, unsigned modifiers) {
    // The toolkit follows the pointer only while a button is held.
    if (!mButtonDown || isClosed()) return false;
    mouseDragged(pointFromDevice(x, y), toolkitModifiers(modifiers));
    return true;
}

bool DpfWindow::keyboard(bool press, std::uint32_t key, unsigned modifiers) {
    if (isClosed()) return false;
    const unsigned flags = toolkitModifiers(modifiers);
    tk::Event e;
    e.type = press ? tk::EventType::KeyDown : tk::EventType::KeyUp;
    e.modifierFlags = flags;
    e.key = toolkitKey(key);
    if (e.key == tk::Key::None) {
        if (press) mLastKey = key;
        // Text comes as a text event unless a shortcut modifier swallows it; shortcuts are
        // taken on the printable ASCII keys.
        if (!(flags & (tk::kControlKey | tk::kCommandKey)) || key < 0x20 || key >= 0x7F)
            return false;
        const std::string text(1, static_cast<char>(key));
        e.characters = text;
        e.charactersIgnoringModifiers = text;
    }
    if (press)
        keyDown(e);
    else
        keyUp(e);
    return true;
}

bool DpfWindow::characterInput(const char* utf8, unsigned modifiers) {
    if (!utf8 || isClosed()) return false;
    const auto first = static_cast<unsigned char>(utf8[0]);
    // Control characters came as keys already; shortcuts are not text.
    const unsigned flags = toolkitModifiers(modifiers);
    if (first < 0x20 || first == 0x7F || (flags & (tk::kControlKey | tk::kCommandKey)))
        return false;
    tk::Event e;
    e.type = tk::EventType::KeyDown;
    e.modifierFlags = flags;
    e.characters = utf8;
    if (mLastKey >= 0x20 && mLastKey < 0x7F)
        e.charactersIgnoringModifiers = std::string(1, static_cast<char>(mLastKey));
    else
        e.charactersIgnoringModifiers = utf8;
    keyDown(e);
    return true;
}

} // namespace zembra::plugin
