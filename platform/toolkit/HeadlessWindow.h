// SPDX-License-Identifier: GPL-3.0-or-later
// A window with no screen: it draws into an image surface on request, takes synthetic
// events through the Window interface, and saves PNGs. For tests and tools.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Style.h"
#include "platform/toolkit/Window.h"

#include <filesystem>
#include <string>

namespace tk {

class HeadlessWindow : public Window {
  public:
    explicit HeadlessWindow(Size size, double scale = 1.0,
                            Color background = style::kWindowBackground);
    ~HeadlessWindow() override;

    // Draws if anything asked for it; true when it drew.
    bool display();
    // Draws everything now.
    void render();
    int renderCount() const { return renderCount_; }
    int displayRequests() const { return displayRequests_; }

    // The pixel under a window point, with straight (not premultiplied) alpha.
    Color pixel(Point windowPoint) const;
    bool savePNG(const std::filesystem::path& path, std::string* error = nullptr) const;
    cairo_surface_t* surface() const { return surface_; }

  protected:
    void displayRequested() override { ++displayRequests_; }

  private:
    cairo_surface_t* surface_;
    Color background_;
    int renderCount_ = 0;
    int displayRequests_ = 0;
};

} // namespace tk
