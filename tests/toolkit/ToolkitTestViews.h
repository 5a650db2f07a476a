// SPDX-License-Identifier: GPL-3.0-or-later
// Shared toolkit test helpers: a view that draws what the test gives it, key events, clicks.
#pragma once

#include "platform/toolkit/GraphicsContext.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <functional>
#include <string>

namespace tk_test {

class Canvas : public tk::View {
  public:
    Canvas(const tk::Rect& r, std::function<void(tk::GraphicsContext&)> paint)
        : View(r), paint_(std::move(paint)) {}
    void drawRect(tk::GraphicsContext& g, const tk::Rect&) override { paint_(g); }

  private:
    std::function<void(tk::GraphicsContext&)> paint_;
};

inline tk::Event key(tk::Key k, const std::string& chars = {}) {
    tk::Event e;
    e.type = tk::EventType::KeyDown;
    e.key = k;
    e.characters = e.charactersIgnoringModifiers = chars;
    return e;
}

inline void click(tk::Window& w, tk::Point p) {
    w.mouseDown(p);
    w.mouseUp(p);
}

} // namespace tk_test
