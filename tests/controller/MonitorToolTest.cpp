// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-controller-monitor, run as a user would, on its simulated session.
#include "SupportTestEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(ControllerMonitor, PrintsTheSimulatedSessionInOrder) {
    testing_support::PreferenceSandbox prefs;
    const auto result =
        testing_support::run({ZEMBRA_TEST_CONTROLLER_MONITOR, "--simulate"}, prefs.dir());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string expected = "<KLOV> supported\n"
                                 "simulating a controller\n"
                                 "posted KLOV_connect\n"
                                 "posted KLOV_connect\n"
                                 "controller arrived\n"
                                 "LED report 00 00 00 00 00 00 00 00\n"
                                 "knobs 3 0 0 0   dials 3 0 0 0\n"
                                 "knobs 3 1 -1 0   dials 3 1 0 0\n"
                                 "LED report 00 00 80 80 80 00 00 00\n"
                                 "posted Veltrane_Zembra_SetValuesFromExternalUI "
                                 "X-Value=0.503937 Y-Value=0.748031 (stick 64 95)\n";
    EXPECT_EQ(result.out.substr(0, expected.size()), expected) << result.out;
    for (const char* line : {"(stick 81 46)\n", "LED report 00 00 00 00 00 00 00 00\n"
                                                "posted KLOV_disconnect\n"
                                                "controller removed\n"
                                                "stopped\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n---\n" << result.out;
}

TEST(ControllerMonitor, SaysHowToTurnSupportOnWhenItIsOff) {
    testing_support::PreferenceSandbox prefs;
    testing_support::writeFile(prefs.file(), R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>userEnableKlovSupport</key><integer>0</integer></dict></plist>
)");
    const auto result =
        testing_support::run({ZEMBRA_TEST_CONTROLLER_MONITOR, "--simulate"}, prefs.dir());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.out.find("<KLOV> support has been disabled\n"), std::string::npos);
    EXPECT_NE(result.out.find("zembra-defaults delete userEnableKlovSupport"), std::string::npos);
}

} // namespace
