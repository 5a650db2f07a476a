// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's drawing helpers: the looks of its own controls (bars, bezels, fields,
// panels, menus), with static art rendered once per size and scale and reused.
#pragma once

#include "platform/toolkit/Geometry.h"

#include <functional>
#include <memory>
#include <string>

namespace tk {

class GraphicsContext;
class Image;

namespace drawing {

// A bitmap of `size` points drawn once by `paint` for each key, size and scale, then kept
// (bounded cache, least recently used go first).
std::shared_ptr<Image> cachedArt(const std::string& key, Size size, double scale,
                                 const std::function<void(GraphicsContext&)>& paint);

// A slider's recessed groove inside `r` (the drawing rectangle).
void drawSliderBar(GraphicsContext& g, const Rect& r, bool vertical);
// The default slider knob.
void drawSliderKnob(GraphicsContext& g, const Rect& knob);
// A push button's bezel; `emphasised` for an alert's default button.
void drawButtonBezel(GraphicsContext& g, const Rect& r, bool pressed, bool emphasised = false);
// A check-box style square for toggle buttons without a custom cell.
void drawToggleMark(GraphicsContext& g, const Rect& r, bool on, bool mixed);
// An editable field's well.
void drawFieldWell(GraphicsContext& g, const Rect& r, bool focused);
// A pop-up button's face with its up/down chevrons at the right.
void drawPopUpFace(GraphicsContext& g, const Rect& r, bool pressed);
// A floating panel (menus, alerts) with a soft drop shadow.
void drawPanel(GraphicsContext& g, const Rect& r, bool menu);

} // namespace drawing
} // namespace tk
