// SPDX-License-Identifier: GPL-3.0-or-later
// A one-line progress bar on stderr, drawn only when stderr is a terminal, so logs and
// pipes stay clean.
#pragma once

#include <string>

namespace zembra::render {

class ProgressBar {
  public:
    // Draws nothing unless enabled; pass stderrIsTerminal() for the usual behaviour.
    explicit ProgressBar(bool enabled);
    ~ProgressBar(); // removes a bar still showing, so an error message starts a clean line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    static bool stderrIsTerminal();

    // Redraws only when what it shows changes (the percentage or the tail's tenth of a second).
    void update(long sourceDone, long sourceTotal, long tailFrames, double sampleRate);
    // Replaces the bar with a closing line (or just removes it when line is empty).
    void finish(const std::string& line = {});

  private:
    bool mEnabled;
    std::string mShown;
};

} // namespace zembra::render
