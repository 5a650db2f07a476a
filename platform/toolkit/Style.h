// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's one palette and its metrics: every colour and size that the toolkit's own
// controls draw with lives here, tuned for a dark editor background.
#pragma once

#include "platform/toolkit/Color.h"

namespace tk::style {

// Surfaces, darkest to lightest.
inline constexpr Color kWindowBackground = Color::calibratedRGBA(0.075, 0.082, 0.098);
inline constexpr Color kTrackFill = Color::calibratedRGBA(0.035, 0.039, 0.047);
inline constexpr Color kTrackEdge = Color::calibratedWhite(1.0, 0.16);
inline constexpr Color kFieldFill = Color::calibratedRGBA(0.045, 0.05, 0.06);
inline constexpr Color kFieldEdge = Color::calibratedWhite(1.0, 0.22);
inline constexpr Color kFieldEdgeFocused = Color::calibratedRGBA(0.30, 0.62, 1.0, 0.9);
inline constexpr Color kControlFill = Color::calibratedRGBA(0.16, 0.175, 0.205);
inline constexpr Color kControlFillPressed = Color::calibratedRGBA(0.22, 0.24, 0.28);
inline constexpr Color kControlEdge = Color::calibratedWhite(1.0, 0.20);
inline constexpr Color kMenuFill = Color::calibratedRGBA(0.12, 0.13, 0.155, 0.98);
inline constexpr Color kMenuHighlight = Color::calibratedRGBA(0.16, 0.38, 0.78);
inline constexpr Color kPanelFill = Color::calibratedRGBA(0.13, 0.14, 0.165, 0.98);
inline constexpr Color kPanelEdge = Color::calibratedWhite(1.0, 0.18);
inline constexpr Color kModalScrim = Color::calibratedRGBA(0.0, 0.0, 0.0, 0.55);
inline constexpr Color kDefaultButtonFill = Color::calibratedRGBA(0.16, 0.38, 0.78);
inline constexpr Color kKnobFill = Color::calibratedWhite(0.82);
inline constexpr Color kDropShadow = Color::calibratedWhite(0.0, 0.6);

// Text.
inline constexpr Color kText = Color::calibratedWhite(0.92);
inline constexpr Color kTextSecondary = Color::calibratedWhite(0.70);
inline constexpr Color kTextDisabled = Color::calibratedWhite(0.45);
inline constexpr Color kCaret = Color::calibratedWhite(0.95);

inline constexpr const char* kFontFamily = "DejaVu Sans";
inline constexpr double kSystemFontSize = 11.0; // points
inline constexpr double kSmallFontSize = 10.0;
inline constexpr double kTitleFontSize = 13.0;

// Metrics, in points.
inline constexpr double kCornerRadius = 4.0;
inline constexpr double kKnobThickness = 21.0; // the regular-size slider knob
inline constexpr double kTrackInsetX = 4.0;    // bar inside the slider's drawing rectangle
inline constexpr double kTrackInsetY = 2.0;
inline constexpr double kFieldTextInset = 4.0;
inline constexpr double kMenuItemHeight = 20.0;
inline constexpr double kMenuPadding = 4.0;
inline constexpr double kAlertWidth = 380.0;
inline constexpr double kAlertPadding = 18.0;
inline constexpr double kAlertButtonHeight = 24.0;
inline constexpr double kAlertButtonMinWidth = 84.0;

} // namespace tk::style
