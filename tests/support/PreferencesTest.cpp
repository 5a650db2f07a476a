// SPDX-License-Identifier: GPL-3.0-or-later
// Preferences: widths and conversions, damaged and foreign files, saves that cannot land, and
// saves from two processes at once that must all land.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
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
    SaveValueToPrefsLL("bits", std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(SaveStringToPrefs("name", "A <b> & \"c\""));
    EXPECT_TRUE(SaveArrayToPrefs("list", {1, "two", 3.5}));
    EXPECT_EQ(GetValueFromPrefsPosInt("min"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(GetValueFromPrefsLL("bits"), -1);
    EXPECT_EQ(GetStringFromPrefs("name"), "A <b> & \"c\"");
    EXPECT_EQ(zembra::preferenceValue("list"), fnd::PlistValue(fnd::PlistArray{1, "two", 3.5}));

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

// Whatever is at the preference path reads as defaults, logged once. A save moves a damaged
// file aside intact; anything else (a link to a FIFO, a folder) is left exactly as it is,
// never opened, and the save fails.
TEST(Preferences, DamagedOrForeignFilesReadAsDefaultsAndAreNeverLost) {
    const auto readTwiceAndSave = [] {
        fnd::LogCapture capture;
        ::alarm(60); // a reader stuck on the FIFO ends the test instead of hanging it
        EXPECT_EQ(GetValueFromPrefsPosInt("userEnableKlovSupport") +
                      GetValueFromPrefsPosInt("userEnableAnimatedBackground"),
                  -2);
        const bool saved = zembra::setPreference("userEnableAnimatedBackground", 0);
        ::alarm(0);
        EXPECT_EQ(capture.count("cannot be read"), 1u);
        return saved;
    };
    PreferenceSandbox sandbox;
    const std::string damaged = "<plist><dict><key>userEnableKlovSupport</key><integer>0";
    writeFile(sandbox.file(), damaged);
    EXPECT_TRUE(readTwiceAndSave());
    const auto names = namesIn(sandbox.dir()); // the file, the damaged one, the lock
    ASSERT_EQ(names.size(), 3u);
    EXPECT_TRUE(names[1].starts_with(sandbox.file().filename().string() + ".corrupt-"));
    EXPECT_EQ(readFile(sandbox.dir() / names[1]), damaged); // byte for byte
    EXPECT_EQ(zembra::allPreferences(),
              (fnd::PlistDict{{"userEnableAnimatedBackground", int64_t{0}}}));

    const std::function<void(const std::filesystem::path&)> foreign[] = {
        [](const std::filesystem::path& file) {
            ASSERT_EQ(::mkfifo((file.parent_path() / "fifo").c_str(), 0600), 0);
            std::filesystem::create_symlink(file.parent_path() / "fifo", file);
        },
        [](const std::filesystem::path& file) { std::filesystem::create_directory(file); }};
    for (const auto& place : foreign) {
        PreferenceSandbox other;
        place(other.file());
        const auto before = namesIn(other.dir());
        const auto type = std::filesystem::symlink_status(other.file()).type();
        EXPECT_FALSE(readTwiceAndSave());
        EXPECT_EQ(namesIn(other.dir()), before);
        EXPECT_EQ(std::filesystem::symlink_status(other.file()).type(), type);
    }
}

// Missing folders are made, private; a save that cannot land says so and leaves nothing.
TEST(Preferences, SavesMakePrivateFoldersAndFailCleanlyWhereTheyCannotWrite) {
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

    const auto nested = sandbox.dir() / "a" / "b";
    ScopedEnv config("XDG_CONFIG_HOME", nested.string());
    EXPECT_TRUE(SaveStringToPrefs("k", "v"));
    EXPECT_EQ(std::filesystem::status(nested).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

// A save through a link (dotfile managers make them) writes and locks the linked file, keeps
// the link, and clears only what a crashed save of ours left beside that file.
TEST(Preferences, SavesThroughALinkKeepItAndClearOnlyTheirOwnLeftovers) {
    PreferenceSandbox sandbox;
    const auto real = sandbox.dir() / "dotfiles" / "zembra.plist";
    for (const char* name : {"zembra.plist.tmp.4194999.0", "zembra.plist.tmp.x.1",
                             "zembra.plist.tmp.12", "other.tmp.1.2"})
        writeFile(real.parent_path() / name, "half a save");
    std::filesystem::create_symlink(real, sandbox.file());

    EXPECT_TRUE(SaveStringToPrefs("k", "v"));
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.file()));
    EXPECT_EQ(GetStringFromPrefs("k"), "v");
    EXPECT_EQ(namesIn(real.parent_path()),
              (std::vector<std::string>{"other.tmp.1.2", "zembra.plist", "zembra.plist.lock",
                                        "zembra.plist.tmp.12", "zembra.plist.tmp.x.1"}));
    EXPECT_FALSE(std::filesystem::exists(sandbox.file().string() + ".lock"));
}

// Two hosts, each saving from two threads, write different keys into one file at once.
TEST(Preferences, SavesFromTwoProcessesAndTheirThreadsAtOnceAllLand) {
    PreferenceSandbox sandbox;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const auto save = [](std::string prefix) {
        for (int i = 0; i < 100; ++i)
            SaveValueToPrefsPosInt(prefix + std::to_string(i), i);
    };
    std::thread other(save, std::to_string(child) + "a");
    save(std::to_string(child) + "b");
    other.join();
    if (child == 0) ::_exit(0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(zembra::allPreferences().size(), 400u);
}

} // namespace
