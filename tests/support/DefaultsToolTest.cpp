// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-defaults as a user runs it: typed writes that the plug-in reads, and clear
// errors for arguments it cannot take.
#include "SupportTestEnvironment.h"

#include "support/Preferences.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

RunResult defaults(const PreferenceSandbox& sandbox, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZEMBRA_TEST_DEFAULTS_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv, sandbox.dir());
}

TEST(DefaultsTool, WritesTypedValuesThatThePlugInReads) {
    PreferenceSandbox sandbox;
    EXPECT_EQ(defaults(sandbox, {"write", "userEnableKlovSupport", "-int", "0"}).exitCode, 0);
    EXPECT_EQ(defaults(sandbox, {"write", "gain", "-float", "0.1"}).exitCode, 0);
    EXPECT_EQ(defaults(sandbox, {"write", "label", "-string", "-int"}).exitCode, 0);
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), 0);
    EXPECT_EQ(GetValueFromPrefs("gain"), 0.1f);
    EXPECT_EQ(GetStringFromPrefs("label"), "-int");

    EXPECT_EQ(defaults(sandbox, {"read", "gain"}).out, "0.1\n");
    EXPECT_EQ(defaults(sandbox, {"read", "label"}).out, "-int\n");
    const RunResult all = defaults(sandbox, {"read"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("\"userEnableKlovSupport\" = 0;"), std::string::npos) << all.out;

    EXPECT_EQ(defaults(sandbox, {"delete", "userEnableKlovSupport"}).exitCode, 0);
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), -1);
}

TEST(DefaultsTool, RefusesBadArgumentsAndFilesItCannotWriteWithAMessageAndChangesNothing) {
    PreferenceSandbox sandbox;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"write", "k"},
        {"write", "k", "0"},
        {"write", "k", "-bool", "1"},
        {"write", "k", "-int", "12abc"},
        {"write", "k", "-int", "4294967296"},
        {"write", "k", "-int", ""},
        {"write", "k", "-float", "nan"},
        {"write", "", "-int", "1"},
        {"read", "a", "b"},
        {"delete"},
    };
    for (const auto& args : bad) {
        const RunResult r = defaults(sandbox, args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("zembra-defaults: "), std::string::npos);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.file()));

    const RunResult missing = defaults(sandbox, {"read", "nothing"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("\"nothing\" is not set"), std::string::npos);
    EXPECT_EQ(defaults(sandbox, {"delete", "nothing"}).exitCode, 1);

    // The library's tests try every hostile file; here a folder in the file's place.
    std::filesystem::create_directory(sandbox.file());
    EXPECT_EQ(defaults(sandbox, {"write", "k", "-int", "1"}).exitCode, 1);
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.file()));
}

} // namespace
