// SPDX-License-Identifier: GPL-3.0-or-later
// syslog(3) and stderr behind one call, with a capture hook for tests.
#include "platform/foundation/Log.h"

#include <cstdio>
#include <syslog.h>

namespace fnd {
namespace {

// Guards the capture chain and keeps lines from two threads from interleaving on stderr.
std::mutex gSinkMutex;
LogCapture* gCapture = nullptr;

int syslogPriority(LogLevel level) {
    switch (level) {
    case LogLevel::Debug:
        return LOG_DEBUG;
    case LogLevel::Info:
        return LOG_INFO;
    case LogLevel::Notice:
        return LOG_NOTICE;
    case LogLevel::Warning:
        return LOG_WARNING;
    case LogLevel::Error:
        return LOG_ERR;
    }
    return LOG_NOTICE;
}

} // namespace

void log(LogLevel level, std::string_view message) {
    std::lock_guard lock(gSinkMutex);
    if (gCapture) {
        gCapture->append(std::string(message));
        return;
    }
    // We live inside a host process: openlog() would rename the host's own log lines,
    // so the product name goes into the message instead. The message is never a format.
    const int length = static_cast<int>(message.size());
    syslog(LOG_USER | syslogPriority(level), "Zembra: %.*s", length, message.data());
    std::fprintf(stderr, "Zembra: %.*s\n", length, message.data());
}

LogCapture::LogCapture() {
    std::lock_guard lock(gSinkMutex);
    mPrevious = gCapture;
    gCapture = this;
}

LogCapture::~LogCapture() {
    // Unlinked wherever it is in the chain, so a capture outliving a newer one (on another
    // thread, say) leaves no dangling link behind.
    std::lock_guard lock(gSinkMutex);
    for (LogCapture** link = &gCapture; *link; link = &(*link)->mPrevious) {
        if (*link == this) {
            *link = mPrevious;
            break;
        }
    }
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mMutex);
    return mLines;
}

std::size_t LogCapture::count(std::string_view text) const {
    std::lock_guard lock(mMutex);
    std::size_t n = 0;
    for (const auto& line : mLines)
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

void LogCapture::append(std::string line) {
    std::lock_guard lock(mMutex);
    mLines.push_back(std::move(line));
}

} // namespace fnd
