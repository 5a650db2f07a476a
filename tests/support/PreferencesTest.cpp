// SPDX-License-Identifier: GPL-3.0-or-later
// Preferences: defaults, widths and conversions, damaged and hostile files, and saves from
// several threads and processes that must all land.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/PreferenceFile.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <future>
#include <limits>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace testing_support;

TEST(Preferences, ValuesKeepTheirWidthsConvertBetweenThemAndAbsentOnesGiveDefaults) {
    PreferenceSandbox sandbox;
    EXPECT_EQ(GetValueFromPrefsPosInt("userEnableAnimatedBackground"), -1);
    EXPECT_EQ(GetValueFromPrefs("missing"), 0.0f);
    EXPECT_EQ(GetValueFromPrefsLL("missing"), 0);
    EXPECT_EQ(GetStringFromPrefs("missing"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(sandbox.file())); // reading creates nothing

    SaveValueToPrefsPosInt("min", std::numeric_limits<int32_t>::min());
    SaveValueToPrefs("gain", 0.1f);
    SaveValueToPrefsLL("bits", std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(SaveStringToPrefs("name", "A <b> & \"c\""));
    EXPECT_TRUE(SaveArrayToPrefs("list", {1, "two", 3.5}));
    EXPECT_EQ(GetValueFromPrefsPosInt("min"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(GetValueFromPrefs("gain"), 0.1f); // exactly the float saved
    EXPECT_EQ(GetValueFromPrefsLL("bits"), -1);
    EXPECT_EQ(GetStringFromPrefs("name"), "A <b> & \"c\"");
    EXPECT_EQ(zembra::preferenceValue("list"), fnd::PlistValue(fnd::PlistArray{1, "two", 3.5}));
    EXPECT_FALSE(std::filesystem::exists(sandbox.dir() / "org.zembra.Zembra.plist.tmp"));

    // Numbers out of a narrower type's range saturate rather than wrap; text is no number,
    // but a hand-typed "0" still means off.
    SaveValueToPrefs("hugeReal", 1e30f);
    SaveValueToPrefsLL("wide", uint64_t{1} << 40);
    SaveValueToPrefs("nan", std::numeric_limits<float>::quiet_NaN());
    SaveStringToPrefs("typedAsText", "0");
    SaveStringToPrefs("words", "off");
    EXPECT_EQ(GetValueFromPrefsPosInt("hugeReal"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(GetValueFromPrefsPosInt("wide"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(GetValueFromPrefsLL("wide"), int64_t{1} << 40);
    EXPECT_EQ(GetValueFromPrefsPosInt("nan"), -1);
    EXPECT_EQ(GetValueFromPrefsPosInt("typedAsText"), 0);
    EXPECT_EQ(GetValueFromPrefsPosInt("words"), -1);
}

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string nestedArrays(int depth) {
    std::string text = "<plist version=\"1.0\"><dict><key>userEnableKlovSupport</key>";
    for (int i = 0; i < depth; ++i)
        text += "<array>";
    for (int i = 0; i < depth; ++i)
        text += "</array>";
    return text + "</dict></plist>";
}

struct Attempt {
    int values;
    bool saved;
};

// Two reads and a save, run so that preferences waiting on a FIFO fail the test, not hang it.
Attempt readTwiceAndSave(const std::filesystem::path& fifo) {
    auto attempt = std::async(std::launch::async, [] {
        return Attempt{GetValueFromPrefsPosInt("userEnableKlovSupport") +
                           GetValueFromPrefsPosInt("userEnableAnimatedBackground"),
                       zembra::setPreference("userEnableAnimatedBackground", 0)};
    });
    // Last-resort cap: a reader stuck in open() is released by writers coming and going.
    if (attempt.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the preferences waited on the FIFO";
        while (attempt.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
        }
    }
    return attempt.get();
}

// Whatever is at the preference path reads as defaults at once, logged once, without
// exhausting the stack. A file we could have written but cannot parse is moved aside
// intact by the next save; anything else (a FIFO, a folder, a file too large to be ours) is
// left exactly as it is and the save fails.
TEST(Preferences, DamagedOrHostileFilesReadAsDefaultsAndAreNeverLost) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> place;
        bool movedAside;
    };
    const auto writing = [](std::string text) {
        return [text](const std::filesystem::path& file) { writeFile(file, text); };
    };
    const std::string deep = nestedArrays(fnd::kMaxPropertyListDepth);
    ASSERT_LT(deep.size(), fnd::kMaxPropertyListFileSize);
    const Case cases[] = {
        {"damaged", writing("<plist><dict><key>userEnableKlovSupport</key><integer>0"), true},
        {"nested too deep", writing(deep), true},
        {"too large", writing(nestedArrays(1'000'000)), false}, // 15 MB
        {"a link to a FIFO",
         [](const std::filesystem::path& file) {
             ASSERT_EQ(::mkfifo((file.parent_path() / "fifo").c_str(), 0600), 0);
             std::filesystem::create_symlink(file.parent_path() / "fifo", file);
         },
         false},
        {"a folder", [](const std::filesystem::path& file) { create_directory(file); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PreferenceSandbox sandbox;
        const auto& file = sandbox.file();
        c.place(file);
        const auto names = namesIn(sandbox.dir());
        const auto type = std::filesystem::symlink_status(file).type();
        const std::string text = std::filesystem::is_regular_file(file) ? readFile(file) : "";
        fnd::LogCapture capture;

        const Attempt attempt = readTwiceAndSave(sandbox.dir() / "fifo");
        EXPECT_EQ(attempt.values, -2);
        EXPECT_EQ(capture.count("cannot be read"), 1u);
        EXPECT_EQ(attempt.saved, c.movedAside);
        std::vector<std::string> aside, others;
        for (const auto& name : namesIn(sandbox.dir())) {
            if (name.find(".corrupt-") != std::string::npos)
                aside.push_back(name);
            else if (name != file.filename().string() + ".lock")
                others.push_back(name);
        }
        EXPECT_EQ(others, names); // no temporary left, nothing else touched
        EXPECT_EQ(std::filesystem::symlink_status(file).type(), type);
        if (c.movedAside) {
            ASSERT_EQ(aside.size(), 1u);
            EXPECT_EQ(readFile(sandbox.dir() / aside[0]), text); // byte for byte
            EXPECT_EQ(zembra::allPreferences(),
                      (fnd::PlistDict{{"userEnableAnimatedBackground", int64_t{0}}}));
        } else {
            EXPECT_TRUE(aside.empty());
            EXPECT_EQ(text.empty() ? text : readFile(file), text); // no FIFO is opened
        }
    }
    // Nesting within the bound still reads.
    PreferenceSandbox sandbox;
    writeFile(sandbox.file(), nestedArrays(fnd::kMaxPropertyListDepth - 4));
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

// Missing folders are made, private; a save through a link writes and locks the linked
// file, keeps the link, and clears only what a crashed save of ours left beside that file.
TEST(Preferences, SavesMakeMissingFoldersKeepLinksAndClearTheirOwnLeftovers) {
    PreferenceSandbox sandbox;
    const auto nested = sandbox.dir() / "a" / "b";
    {
        ScopedEnv config("XDG_CONFIG_HOME", nested.string());
        EXPECT_TRUE(SaveStringToPrefs("k", "v"));
        EXPECT_EQ(std::filesystem::status(nested).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
    }
    const auto real = sandbox.dir() / "dotfiles" / "zembra.plist";
    std::filesystem::create_directory(real.parent_path());
    std::filesystem::create_symlink(real, sandbox.file());
    for (const char* name : {"zembra.plist.tmp.4194999.0", "zembra.plist.tmp.x.1",
                             "zembra.plist.tmp.12", "other.tmp.1.2"})
        writeFile(real.parent_path() / name, "half a save");

    EXPECT_TRUE(SaveStringToPrefs("k", "v"));
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.file()));
    EXPECT_EQ(GetStringFromPrefs("k"), "v");
    EXPECT_NE(readFile(real).find("<string>v</string>"), std::string::npos);
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
    for (const std::string prefix : {"first-", "second-"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) { // a host process of its own, once both have been started
            ::close(go[1]);
            char byte;
            while (::read(go[0], &byte, 1) > 0) {
            }
            for (int i = 0; i < 200; ++i)
                SaveValueToPrefsPosInt(prefix + std::to_string(i), i);
            ::_exit(0);
        }
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
