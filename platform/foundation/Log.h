// SPDX-License-Identifier: GPL-3.0-or-later
// The product's log: every line goes to the system log (syslog) and to standard error.
// Tests capture lines instead, so they can check what was reported without noise.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fnd {

enum class LogLevel { Debug, Info, Notice, Warning, Error };

// Thread-safe. Not for the audio thread: it locks and makes system calls.
void log(LogLevel level, std::string_view message);

// While one exists, log lines are recorded here and not written to syslog or stderr.
// Captures nest: the newest one receives the lines, the previous one gets them back
// when it is destroyed.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    // How many captured lines contain `text`.
    std::size_t count(std::string_view text) const;

  private:
    friend void log(LogLevel, std::string_view);
    void append(std::string line);

    mutable std::mutex mMutex;
    std::vector<std::string> mLines;
    LogCapture* mPrevious = nullptr;
};

} // namespace fnd
