// SPDX-License-Identifier: GPL-3.0-or-later
// Input events as the window hands them to views: locations in window coordinates (points,
// y up), keys as text plus a code for the keys that have no text.
#pragma once

#include "platform/toolkit/Geometry.h"

#include <string>

namespace tk {

enum class EventType { MouseDown, MouseDragged, MouseUp, KeyDown, KeyUp };

enum class Key {
    None,
    Return,
    Enter,
    Escape,
    Tab,
    Backspace,
    Delete,
    Left,
    Right,
    Up,
    Down,
    Home,
    End
};

enum ModifierFlags : unsigned {
    kShiftKey = 1u << 0,
    kControlKey = 1u << 1,
    kAlternateKey = 1u << 2,
    kCommandKey = 1u << 3,
};

struct Event {
    EventType type = EventType::MouseDown;
    Point locationInWindow;
    int clickCount = 1;
    unsigned modifierFlags = 0;
    std::string characters;                  // as typed, modifiers applied
    std::string charactersIgnoringModifiers; // the key's own text
    Key key = Key::None;
    // A release made up by the toolkit when the pointer grab ended without one (the grab
    // was lost, the window closed), so that every press a view saw is paired.
    bool synthetic = false;
};

} // namespace tk
