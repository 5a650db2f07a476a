// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the pointer's left button is held, asked of the X server. DPF tells its UI nothing
// of a pointer grab taken from its window, so a release that went to another window is found
// by asking while a press is held here.
#pragma once

namespace zembra::plugin {

class PointerButtons {
  public:
    // A connection of its own to the display; none when there is no display.
    PointerButtons();
    ~PointerButtons();
    PointerButtons(const PointerButtons&) = delete;
    PointerButtons& operator=(const PointerButtons&) = delete;

    // Also true when it cannot tell, so that nothing is cancelled on a guess.
    bool leftHeld() const;

  private:
    void* mDisplay; // Display*, kept out of this header with the rest of Xlib
};

} // namespace zembra::plugin
