// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide assertion handler and the recorder tests use.
#include "platform/foundation/AssertionHandler.h"

#include "platform/foundation/Log.h"

#include <atomic>
#include <cstdio>

namespace fnd {
namespace {

std::atomic<AssertionHandler*> gInstalled{nullptr};

AssertionHandler& defaultHandler() {
    // Never destroyed: reports may come from threads still running at exit.
    static auto* handler = new AssertionHandler;
    return *handler;
}

} // namespace

AssertionHandler& AssertionHandler::current() {
    AssertionHandler* handler = gInstalled.load(std::memory_order_acquire);
    return handler ? *handler : defaultHandler();
}

AssertionHandler* AssertionHandler::install(AssertionHandler* handler) {
    return gInstalled.exchange(handler, std::memory_order_acq_rel);
}

void AssertionHandler::report(std::string_view method, const void* object, std::string_view file,
                              int line, std::string_view description) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", object);
    std::string text = "*** Assertion failure in ";
    text.append(method).append(" (object ").append(address).append("), ");
    text.append(file).append(":").append(std::to_string(line)).append(": ");
    text.append(description);
    log(LogLevel::Error, text);
}

AssertionRecorder::AssertionRecorder() : mPrevious(install(this)) {}

AssertionRecorder::~AssertionRecorder() {
    install(mPrevious);
}

void AssertionRecorder::report(std::string_view method, const void* object, std::string_view file,
                               int line, std::string_view description) {
    std::lock_guard lock(mMutex);
    mReports.push_back(
        {std::string(method), object, std::string(file), line, std::string(description)});
}

std::vector<AssertionRecorder::Report> AssertionRecorder::reports() const {
    std::lock_guard lock(mMutex);
    return mReports;
}

} // namespace fnd
