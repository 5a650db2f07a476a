// SPDX-License-Identifier: GPL-3.0-or-later
// Preferences: defaults, widths and conversions, damaged and hostile files, and saves from
// several threads and processes that must all land.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/PreferenceFile.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <future>
#include <limits>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace testing_support;

TEST(Preferences, AbsentKeysGiveTheirDefaults) {
    PreferenceSandbox sandbox;
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableAnimatedBackground"), -1);
    EXPECT_EQ(GetValueFromPrefs("missing"), 0.0f);
    EXPECT_EQ(GetValueFromPrefsLL("missing"), 0);
    EXPECT_EQ(GetStringFromPrefs("missing"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(sandbox.file())); // reading creates nothing
}

TEST(Preferences, ValuesRoundTripWithTheirWidthsInAnXmlFile) {
    PreferenceSandbox sandbox;
    SaveValueToPrefsPosInt("userEnableAnimatedBackground", 0);
    SaveValueToPrefsPosInt("min", std::numeric_limits<int32_t>::min());
    SaveValueToPrefs("gain", 0.1f);
    SaveValueToPrefsLL("bits", std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(SaveStringToPrefs("name", "A <b> & \"c\""));
    EXPECT_TRUE(SaveArrayToPrefs("list", {1, "two", 3.5}));

    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableAnimatedBackground"), 0);
    EXPECT_EQ(GetValueFromPrefsPosInt("min"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(GetValueFromPrefs("gain"), 0.1f); // exactly the float saved
    EXPECT_EQ(GetValueFromPrefsLL("bits"), -1);
    EXPECT_EQ(GetStringFromPrefs("name"), "A <b> & \"c\"");
    EXPECT_EQ(zembra::preferenceValue("list"), fnd::PlistValue(fnd::PlistArray{1, "two", 3.5}));

    const std::string xml = readFile(sandbox.file());
    EXPECT_NE(xml.find("<key>bits</key>\n\t<integer>-1</integer>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<real>0.10000000149011612</real>"), std::string::npos) << xml;
    EXPECT_FALSE(std::filesystem::exists(sandbox.dir() / "org.zembra.Zembra.plist.tmp"));
}

TEST(Preferences, NumbersConvertBetweenWidthsAndOtherKindsGiveDefaults) {
    PreferenceSandbox sandbox;
    SaveValueToPrefsPosInt("int", 7);
    SaveValueToPrefs("real", -2.75f);
    SaveValueToPrefs("hugeReal", 1e30f);
    SaveValueToPrefsLL("wide", uint64_t{1} << 40);
    SaveValueToPrefs("nan", std::numeric_limits<float>::quiet_NaN());
    SaveStringToPrefs("typedAsText", "0");
    SaveStringToPrefs("words", "off");
    zembra::setPreference("flag", fnd::PlistValue(true));

    EXPECT_EQ(GetValueFromPrefs("int"), 7.0f);
    EXPECT_EQ(GetValueFromPrefsPosInt("real"), -2); // truncated towards zero
    EXPECT_EQ(GetValueFromPrefsPosInt("hugeReal"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(GetValueFromPrefsPosInt("wide"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(GetValueFromPrefsLL("wide"), int64_t{1} << 40);
    EXPECT_TRUE(std::isnan(GetValueFromPrefs("nan")));
    EXPECT_EQ(GetValueFromPrefsPosInt("nan"), -1);
    EXPECT_EQ(GetValueFromPrefsPosInt("typedAsText"), 0); // a hand-typed "0" still means off
    EXPECT_EQ(GetValueFromPrefsPosInt("words"), -1);
    EXPECT_EQ(GetValueFromPrefsPosInt("flag"), 1);
    EXPECT_EQ(GetStringFromPrefs("int"), std::nullopt);
}

TEST(Preferences, ADamagedFileReadsAsDefaultsIsReportedOnceAndIsKeptAsideByTheNextSave) {
    PreferenceSandbox sandbox;
    const std::string garbage = "<plist><dict><key>userEnableKlovSupport</key><integer>0";
    writeFile(sandbox.file(), garbage);
    fnd::LogCapture capture;

    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), -1);
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableAnimatedBackground"), -1);
    EXPECT_EQ(capture.count("cannot be read"), 1u);

    SaveValueToPrefsPosInt("userEnableAnimatedBackground", 0);
    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.dir()))
        if (entry.path().filename().string().find(".corrupt-") != std::string::npos)
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), garbage); // the user's file survives, byte for byte
    EXPECT_EQ(zembra::allPreferences(),
              (fnd::PlistDict{{"userEnableAnimatedBackground", int64_t{0}}}));
}

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A FIFO or a folder where the file should be: reads give defaults at once (a FIFO is
// never opened to wait for a writer), one line is logged, and saves leave it as it is.
TEST(Preferences, APathThatIsNotARegularFileReadsAsDefaultsAtOnceAndIsLeftAlone) {
    PreferenceSandbox sandbox;
    const auto fifo = sandbox.dir() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, sandbox.file());
    {
        fnd::LogCapture capture;
        struct Outcome {
            int values;
            bool saved;
        };
        auto attempt = std::async(std::launch::async, [] {
            return Outcome{GetValueFromPrefsPosInt("userEnableKlovSupport") +
                               GetValueFromPrefsPosInt("userEnableAnimatedBackground"),
                           zembra::setPreference("userEnableKlovSupport", 0)};
        });
        // Last-resort cap: a reader stuck in open() is released by writers coming and
        // going, so a failure ends the test instead of hanging it.
        if (attempt.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            ADD_FAILURE() << "the preferences waited on the FIFO";
            while (attempt.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
                const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) ::close(writer);
            }
        }
        const Outcome outcome = attempt.get();
        EXPECT_EQ(outcome.values, -2);
        EXPECT_FALSE(outcome.saved);
        EXPECT_EQ(capture.count("cannot be read"), 1u);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.file()));

    std::filesystem::remove(sandbox.file());
    std::filesystem::create_directory(sandbox.file());
    fnd::LogCapture capture;
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), -1);
    EXPECT_FALSE(zembra::setPreference("userEnableKlovSupport", 0));
    EXPECT_EQ(capture.count("cannot be read"), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.file()));
    EXPECT_EQ(namesIn(sandbox.dir()),
              (std::vector<std::string>{"fifo", sandbox.file().filename().string()}));
}

// Nesting that would run libplist and the conversion out of stack, and a file too large to
// be ours: defaults, one line each, no crash. The large one is left in place; the deep one
// is damaged like any unparsable file and is moved aside by the next save.
TEST(Preferences, DeeplyNestedOrHugeFilesReadAsDefaultsWithoutExhaustingTheStack) {
    PreferenceSandbox sandbox;
    const auto nested = [](int depth) {
        std::string text = "<plist version=\"1.0\"><dict><key>userEnableKlovSupport</key>";
        for (int i = 0; i < depth; ++i)
            text += "<array>";
        for (int i = 0; i < depth; ++i)
            text += "</array>";
        return text + "</dict></plist>";
    };
    const std::string huge = nested(1'000'000); // 15 MB
    writeFile(sandbox.file(), huge);
    {
        fnd::LogCapture capture;
        EXPECT_EQ(zembra::allPreferences(), fnd::PlistDict{});
        EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), -1);
        EXPECT_EQ(capture.count("cannot be read"), 1u);
        EXPECT_FALSE(zembra::setPreference("userEnableAnimatedBackground", 0));
        EXPECT_EQ(readFile(sandbox.file()), huge);
        EXPECT_EQ(namesIn(sandbox.dir()).size(), 2u); // the file and its lock, nothing aside
    }

    const std::string deep = nested(fnd::kMaxPropertyListDepth);
    ASSERT_LT(deep.size(), fnd::kMaxPropertyListFileSize);
    writeFile(sandbox.file(), deep);
    fnd::LogCapture capture;
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport"), -1);
    EXPECT_EQ(capture.count("cannot be read"), 1u);
    EXPECT_TRUE(zembra::setPreference("userEnableAnimatedBackground", 0));
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableAnimatedBackground"), 0);
    std::size_t aside = 0;
    for (const auto& name : namesIn(sandbox.dir()))
        aside += name.find(".corrupt-") != std::string::npos;
    EXPECT_EQ(aside, 1u);

    // Nesting within the bound still reads.
    writeFile(sandbox.file(), nested(fnd::kMaxPropertyListDepth - 4));
    EXPECT_NE(zembra::allPreferences(), fnd::PlistDict{});
}

TEST(Preferences, SavesFailCleanlyWhenTheFileCannotBeWritten) {
    PreferenceSandbox sandbox;
    writeFile(sandbox.dir() / "not-a-directory", "x");
    {
        ScopedEnv config("XDG_CONFIG_HOME",
                         (sandbox.dir() / "not-a-directory" / "config").string());
        fnd::LogCapture capture;
        EXPECT_FALSE(SaveStringToPrefs("key", "value"));
        EXPECT_EQ(GetStringFromPrefs("key"), std::nullopt);
    }
    EXPECT_FALSE(SaveStringToPrefs(std::string_view("a\0b", 3), "value")); // NUL in the key
    EXPECT_FALSE(SaveStringToPrefs("key", std::string_view("a\0b", 3)));
    EXPECT_FALSE(std::filesystem::exists(sandbox.file()));
}

TEST(Preferences, MissingDirectoriesAreCreatedAndSymlinkedFilesStayLinks) {
    PreferenceSandbox sandbox;
    const auto nested = sandbox.dir() / "a" / "b";
    {
        ScopedEnv config("XDG_CONFIG_HOME", nested.string());
        EXPECT_TRUE(SaveStringToPrefs("k", "v"));
        EXPECT_EQ(std::filesystem::status(nested).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
    }
    const auto real = sandbox.dir() / "dotfiles" / "zembra.plist";
    writeFile(real, "");
    std::filesystem::remove(real);
    std::filesystem::create_symlink(real, sandbox.file());
    EXPECT_TRUE(SaveStringToPrefs("k", "v"));
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.file()));
    EXPECT_EQ(GetStringFromPrefs("k"), "v");
    EXPECT_NE(readFile(real).find("<string>v</string>"), std::string::npos);
}

// A save through a link locks the file it writes, so a process naming the file directly
// is excluded too; and what a crashed save left beside that file is cleared, nothing else.
TEST(Preferences, SavesLockTheLinkedFileAndClearTemporariesThatCrashesLeft) {
    PreferenceSandbox sandbox;
    const auto real = sandbox.dir() / "dotfiles" / "zembra.plist";
    std::filesystem::create_directory(real.parent_path());
    std::filesystem::create_symlink(real, sandbox.file());
    const std::string orphan = "zembra.plist.tmp.4194999.0";
    for (const auto& name : {orphan, std::string("zembra.plist.tmp.x.1"),
                             std::string("zembra.plist.tmp.12"), std::string("other.tmp.1.2")})
        writeFile(real.parent_path() / name, "half a save");

    EXPECT_TRUE(zembra::setPreference("k", 1));
    EXPECT_EQ(namesIn(real.parent_path()),
              (std::vector<std::string>{"other.tmp.1.2", "zembra.plist", "zembra.plist.lock",
                                        "zembra.plist.tmp.12", "zembra.plist.tmp.x.1"}));
    EXPECT_FALSE(std::filesystem::exists(sandbox.file().string() + ".lock"));
}

TEST(Preferences, ConcurrentSavesFromThreadsAllLand) {
    PreferenceSandbox sandbox;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                SaveValueToPrefsPosInt("t" + std::to_string(t) + "-" + std::to_string(i), i);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(zembra::allPreferences().size(), 100u);
}

// Two host processes saving different keys into one file at the same moment lose nothing.
TEST(Preferences, TwoProcessesSavingTwoHundredKeysEachLoseNone) {
    PreferenceSandbox sandbox;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> writers;
    for (const char* prefix : {"first-", "second-"}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, go[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, go[1]);
        std::string program = ZEMBRA_TEST_PREFS_WRITER, p = prefix, count = "200";
        char* argv[] = {program.data(), p.data(), count.data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        writers.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]); // both writers start now
    for (pid_t pid : writers) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    auto parsed = fnd::readPropertyListFile(sandbox.file());
    ASSERT_EQ(parsed.status, fnd::ReadStatus::Ok);
    const auto& all = std::get<fnd::PlistDict>(parsed.value->storage());
    EXPECT_EQ(all.size(), 400u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(GetValueFromPrefsPosInt("first-" + std::to_string(i)), i);
        EXPECT_EQ(GetValueFromPrefsPosInt("second-" + std::to_string(i)), i);
    }
}

} // namespace
