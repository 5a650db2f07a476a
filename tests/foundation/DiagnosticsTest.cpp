// SPDX-License-Identifier: GPL-3.0-or-later
// The log's capture hook and the assertion handler: what failed calls report and where.
#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

namespace {

// Without a recorder installed (tests install one), a failed call is logged with its place,
// its text never used as a format, and the caller goes on.
TEST(Diagnostics, ReportsGoToTheLogAndReturn) {
    fnd::LogCapture capture;
    int view = 0;
    fnd::AssertionHandler::current().report(
        "[zembra_CocoaView _addListeners]", &view, "zembra_CocoaView", 42,
        "[zembra_CocoaView _addListeners] AUListenerCreate() %s");
    ASSERT_EQ(capture.lines().size(), 1u);
    const std::string line = capture.lines()[0];
    EXPECT_NE(line.find("zembra_CocoaView:42"), std::string::npos);
    EXPECT_NE(line.find("AUListenerCreate() %s"), std::string::npos); // never a format
}

} // namespace
