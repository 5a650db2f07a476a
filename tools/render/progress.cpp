// SPDX-License-Identifier: GPL-3.0-or-later
// Carriage return and erase-to-end-of-line redraw the bar in place.
#include "progress.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace zembra::render {

namespace {
constexpr int kBarWidth = 32;
}

ProgressBar::ProgressBar(bool enabled) : mEnabled(enabled) {}

ProgressBar::~ProgressBar() {
    if (!mShown.empty()) finish();
}

bool ProgressBar::stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void ProgressBar::update(long sourceDone, long sourceTotal, long tailFrames, double sampleRate) {
    if (!mEnabled) return;
    const double fraction =
        sourceTotal > 0 ? std::clamp(double(sourceDone) / double(sourceTotal), 0.0, 1.0) : 1.0;
    const int filled = int(fraction * kBarWidth);
    std::string line = "Rendering [" + std::string(std::size_t(filled), '#') +
                       std::string(std::size_t(kBarWidth - filled), '.') + "]";
    char numbers[80];
    if (tailFrames > 0) {
        std::snprintf(numbers, sizeof numbers, " 100%%  tail %.1f s",
                      double(tailFrames) / sampleRate);
    } else {
        // Tenths of a second only where they move the line less than a few hundred times.
        const double total = double(sourceTotal) / sampleRate;
        std::snprintf(numbers, sizeof numbers,
                      total < 60.0 ? " %3d%%  %.1f / %.1f s" : " %3d%%  %.0f / %.0f s",
                      int(fraction * 100.0), double(sourceDone) / sampleRate, total);
    }
    line += numbers;
    if (line == mShown) return;
    mShown = line;
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
}

void ProgressBar::finish(const std::string& line) {
    if (!mEnabled) return;
    std::fprintf(stderr, "\r\033[K%s%s", line.c_str(), line.empty() ? "" : "\n");
    std::fflush(stderr);
    mShown.clear();
}

} // namespace zembra::render
