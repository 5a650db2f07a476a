// SPDX-License-Identifier: GPL-3.0-or-later
// The log's capture hook and the assertion handler: what failed calls report and where.
#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

namespace {

TEST(Diagnostics, ReportsGoToTheInstalledRecorderOrElseToTheLogAndReturn) {
    fnd::LogCapture capture;
    int view = 0;
    {
        fnd::AssertionRecorder recorder;
        fnd::AssertionHandler::current().report("m", &view, "f", 7, "d");
        const auto reports = recorder.reports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].object, &view);
        EXPECT_EQ(reports[0].line, 7);
    }
    EXPECT_TRUE(capture.lines().empty());

    fnd::AssertionHandler::current().report(
        "[zembra_CocoaView _addListeners]", &view, "zembra_CocoaView", 42,
        "[zembra_CocoaView _addListeners] AUListenerCreate() %s");
    ASSERT_EQ(capture.lines().size(), 1u);
    const std::string line = capture.lines()[0];
    EXPECT_NE(line.find("zembra_CocoaView:42"), std::string::npos);
    EXPECT_NE(line.find("AUListenerCreate() %s"), std::string::npos); // never a format
}

} // namespace
