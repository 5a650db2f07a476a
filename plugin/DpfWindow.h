// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's window backend for DPF's cairo UI: DPF's display callback draws the view
// tree through it, and DPF's mouse, motion, keyboard and text events become toolkit events
// (pixels with y down become points with y up). DPF's event and key codes are passed as
// plain numbers, so this builds and is tested without DPF.
#pragma once

#include "platform/toolkit/Window.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zembra::plugin {

class DpfWindow final : public tk::Window {
  public:
    // DPF's modifier bits and the codes of keys that type no text (pugl's numbering; its
    // special keys start at 0xE000 with F1 to F12).
    static constexpr unsigned kDpfShift = 1u, kDpfControl = 2u, kDpfAlt = 4u, kDpfSuper = 8u;
    static constexpr std::uint32_t kDpfBackspace = 0x08, kDpfTab = 0x09, kDpfReturn = 0x0D,
                                   kDpfEscape = 0x1B, kDpfDelete = 0x7F;
    static constexpr std::uint32_t kDpfLeft = 0xE00C, kDpfUp = 0xE00D, kDpfRight = 0xE00E,
                                   kDpfDown = 0xE00F, kDpfHome = 0xE012, kDpfEnd = 0xE013;
    static constexpr unsigned kLeftButton = 1;
    // Presses this close in time (ms) and place (points) count as one multiple click.
    static constexpr std::uint32_t kMultiClickMs = 400;
    static constexpr double kMultiClickDistance = 4.0;

    // `size` in points; the host window is `size` times `scale` pixels. `requestRepaint`
    // asks DPF to redraw; it is called when the tree first needs display after a draw.
    DpfWindow(tk::Size size, double scale, std::function<void()> requestRepaint);
    ~DpfWindow() override;

    // Draws the whole window with DPF's context (pixels, y down, origin top left).
    void display(cairo_t* cr);

    // DPF's events, positions in window pixels. Each returns whether it was used.
    bool mouse(unsigned button, bool press, double x, double y, unsigned modifiers,
               std::uint32_t timeMs);
    bool motion(double x, double y, unsigned modifiers);
    // A key pressed or released: keys that type no text, and any key held with Control or
    // Super (shortcuts). Other keys arrive as text through characterInput.
    bool keyboard(bool press, std::uint32_t key, unsigned modifiers);
    bool characterInput(const char* utf8, unsigned modifiers);
    // A press is held here (between a press and its release).
    bool isButtonDown() const { return mButtonDown; }
    // What the system says of the left button, asked at idle while a press is held here.
    // Seen up at two idles in a row, the release went to another window (the pointer grab
    // was taken) and will never come: what the press started is cancelled. Once is not
    // enough, as a release may be on its way here.
    void leftButtonState(bool held);

  protected:
    void displayRequested() override;

  private:
    static unsigned toolkitModifiers(unsigned modifiers);
    static tk::Key toolkitKey(std::uint32_t key);

    std::function<void()> mRequestRepaint;
    bool mButtonDown = false;
    int mButtonUpSeen = 0; // idles in a row at which the held button was up
    int mClickCount = 0;
    std::uint32_t mLastPressMs = 0;
    tk::Point mLastPressAt;
    std::uint32_t mLastKey = 0; // the unshifted key of the last press, for text events
};

} // namespace zembra::plugin
