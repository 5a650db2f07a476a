// SPDX-License-Identifier: GPL-3.0-or-later
// The picture: spectrograms stacked one above the other on a shared time axis, with a
// log-frequency axis in Hz and a dB colour scale, drawn with cairo and pango into a PNG.
#pragma once

#include "spectrogram.h"

#include <string>
#include <vector>

namespace zembra::render {

class PendingFile;

struct SpectrogramPanel {
    std::string title;       // "A: voice.wav"
    std::string note;        // smaller, grey, right-aligned on the title line; may be empty
    const Spectrogram* data; // finished
};

struct SpectrogramLayout {
    static constexpr int kWidth = 1600;
    static constexpr int kPlotHeight = 250;
    static int plotWidth();
    static int height(int panels);
};

// Draws the panels into file (a PNG); throws std::runtime_error when cairo fails.
void writeSpectrogramPng(PendingFile& file, const std::vector<SpectrogramPanel>& panels);

} // namespace zembra::render
