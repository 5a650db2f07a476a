// SPDX-License-Identifier: GPL-3.0-or-later
// The script runner understands only the open-location command, and its URL reaches xdg-open
// as one argument; a fake xdg-open first on PATH records what it was given.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/ScriptRunner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace testing_support;
using zembra::parseOpenLocationScript;

class ScriptRunner : public ::testing::Test {
  protected:
    ScriptRunner()
        : mPath("PATH", (mDir / "bin").string() + ":/usr/bin:/bin"),
          mLog("ZEMBRA_FAKE_OPEN_LOG", (mDir / "opened").string()) {
        writeFile(mDir / "bin" / "xdg-open",
                  "#!/bin/sh\n"
                  "printf '%s\\0' \"$@\" > \"$ZEMBRA_FAKE_OPEN_LOG\"\n"
                  "touch \"${ZEMBRA_FAKE_OPEN_LOG%/*}/recorded\"\n"
                  "while [ -e \"${ZEMBRA_FAKE_OPEN_LOG%/*}/hold\" ]; do sleep 0.01; done\n");
        ::chmod((mDir / "bin" / "xdg-open").c_str(), 0755);
    }

    // The arguments the fake opener received, once it has recorded them all.
    std::vector<std::string> openedWith() {
        waitFor(mDir / "recorded");
        const std::string record = readFile(mDir / "opened");
        std::vector<std::string> args;
        for (std::size_t pos = 0, end; (end = record.find('\0', pos)) != std::string::npos;
             pos = end + 1)
            args.push_back(record.substr(pos, end - pos));
        return args;
    }

    // The opener is not this process's child, so its end cannot be waited for: its files
    // are watched instead.
    static void waitFor(const std::filesystem::path& file) {
        for (int i = 0; i < 3000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::exists(file));
    }

    TestDirectory mDir;
    ScopedEnv mPath;
    ScopedEnv mLog;
};

TEST_F(ScriptRunner, UnderstandsOnlyTheOpenLocationCommand) {
    // The editor's own form is run end to end below.
    EXPECT_EQ(parseOpenLocationScript("\r\n  OPEN Location\t\"https://example.org/x?y=1\"  "),
              "https://example.org/x?y=1");
    EXPECT_EQ(parseOpenLocationScript(R"(open location "file:///a \"b\" \\c")"),
              "file:///a \"b\" \\c");

    // Unquoted, unterminated, a clause cut short, more after the URL, an unknown escape, no
    // URL, an option, a scheme that runs code, a relative file, a control character.
    for (const char* script :
         {"", "open location", "open location file:///x", "open location \"file:///x",
          "open location \"file:///x\" with error",
          "open location \"file:///x\"; do shell script \"rm -rf /\"",
          "open location \"file:///x\" \"second\"", "do shell script \"touch /tmp/x\"",
          "openlocation \"file:///x\"", "open location \"file:///x\\n\"", "open location \"\"",
          "open location \"-f\"", "open location \"javascript:alert(1)\"",
          "open location \"file:relative\"", "open location \"file:///x\ty\""})
        EXPECT_EQ(parseOpenLocationScript(script), std::nullopt) << script;
}

// The host is left with no child to reap, neither while the opener runs nor after.
TEST_F(ScriptRunner, HostileCharactersReachXdgOpenAsOneArgumentFromAProcessNotOurChild) {
    writeFile(mDir / "hold", "");
    const auto d = mDir.path().string();
    const std::string url = "file://" + d + "/it's/$(touch " + d + "/pwned1)/`touch " + d +
                            "/pwned2`; touch " + d + "/pwned3 && echo|sh";
    std::string script = "open location \"" + url + "\"\nwith error reporting\n";

    EXPECT_EQ(DoAppleScript(script.data()), 0);
    EXPECT_EQ(openedWith(), std::vector<std::string>{url});
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "the opener is still our child";
    EXPECT_EQ(errno, ECHILD);
    std::filesystem::remove(mDir / "hold");
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    for (const char* name : {"pwned1", "pwned2", "pwned3"})
        EXPECT_FALSE(std::filesystem::exists(mDir / name)) << name;
}

TEST_F(ScriptRunner, RefusedScriptsAndAMissingOpenerAreFailuresNotSuccesses) {
    char other[] = "beep\n";
    EXPECT_EQ(DoAppleScript(other), zembra::kScriptSyntaxError);
    EXPECT_STREQ(other, "beep\r"); // the caller's text is rewritten all the same
    EXPECT_EQ(DoAppleScript(nullptr), zembra::kScriptSyntaxError);
    EXPECT_FALSE(std::filesystem::exists(mDir / "opened")); // refused scripts start nothing

    ScopedEnv path("PATH", (mDir / "empty").string());
    fnd::LogCapture capture;
    char text[] = "open location \"file:///tmp/ChangeLog.txt\"";
    EXPECT_EQ(DoAppleScript(text), zembra::kScriptOpenFailed);
    EXPECT_EQ(capture.count("xdg-open"), 1u);
}

} // namespace
