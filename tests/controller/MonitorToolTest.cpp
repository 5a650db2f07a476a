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
    std::size_t at = 0;
    for (const char* line :
         {"<KLOV> supported\n", "posted KLOV_connect\n", "controller arrived\n", "knobs 3 ",
          "LED report ", "posted Veltrane_Zembra_SetValuesFromExternalUI X-Value=",
          "posted KLOV_disconnect\n", "controller removed\n", "stopped\n"}) {
        at = result.out.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n---\n" << result.out;
    }
}

} // namespace
