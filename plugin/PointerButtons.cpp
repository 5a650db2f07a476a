// SPDX-License-Identifier: GPL-3.0-or-later
// One round trip to the X server per question (XQueryPointer).
#include "PointerButtons.h"

#include <X11/Xlib.h>

namespace zembra::plugin {

PointerButtons::PointerButtons() : mDisplay(XOpenDisplay(nullptr)) {}

PointerButtons::~PointerButtons() {
    if (mDisplay) XCloseDisplay(static_cast<Display*>(mDisplay));
}

bool PointerButtons::leftHeld() const {
    auto* display = static_cast<Display*>(mDisplay);
    if (!display) return true;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                       &mask))
        return true;
    return (mask & Button1Mask) != 0;
}

} // namespace zembra::plugin
