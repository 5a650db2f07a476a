// SPDX-License-Identifier: GPL-3.0-or-later
// The small exported helpers: buffer lists, clamping, day of year, sleep intervals,
// property-list files by URL, the version from Info.plist, and the controller's status.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/AudioBufferList.h"
#include "support/BundleIdentity.h"
#include "support/ControllerStatus.h"
#include "support/Helpers.h"
#include "support/PluginBundle.h"
#include "support/PropertyListFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

namespace {

using namespace testing_support;

TEST(AudioBufferLists, AreLaidOutAsTheAudioSideExpectsAndZeroFilled) {
    static_assert(offsetof(AudioBufferList, mBuffers) == 8);
    static_assert(sizeof(AudioBuffer) == 16 && offsetof(AudioBuffer, mData) == 8);

    AudioBufferList* list = AllocateAudioBufferList(2, 4096);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->mNumberBuffers, 2u);
    for (const AudioBuffer& b : {list->mBuffers[0], list->mBuffers[1]}) {
        EXPECT_EQ(b.mNumberChannels, 1u);
        ASSERT_EQ(b.mDataByteSize, 4096u);
        const auto* bytes = static_cast<const unsigned char*>(b.mData);
        EXPECT_EQ(std::count(bytes, bytes + 4096, 0), 4096);
    }
    DestroyAudioBufferList(list);

    AudioBufferList* empty = AllocateAudioBufferList(3, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->mNumberBuffers, 3u);
    EXPECT_EQ(empty->mBuffers[2].mData, nullptr); // zero bytes: no block
    DestroyAudioBufferList(empty);
    DestroyAudioBufferList(AllocateAudioBufferList(0, 4096));
    DestroyAudioBufferList(nullptr);
}

TEST(Helpers, ClampYearDayAndSleepIntervalsOfASecondOrMore) {
    EXPECT_EQ(limit(-5), 0);
    EXPECT_EQ(limit(127), 127);
    EXPECT_EQ(limit(300), 127);

    auto localNoon = [](int year, int month, int day) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = 12;
        t.tm_isdst = -1;
        return std::mktime(&t);
    };
    EXPECT_EQ(zembra::yearDay(localNoon(2023, 1, 1)), 0);
    EXPECT_EQ(zembra::yearDay(localNoon(2023, 12, 31)), 364);
    EXPECT_EQ(zembra::yearDay(localNoon(2024, 12, 31)), 365);

    // nanosleep refuses 1000 ms given as nanoseconds; the interval is normalised instead.
    const timespec longer = zembra::sleepInterval(2500);
    EXPECT_EQ(longer.tv_sec, 2);
    EXPECT_EQ(longer.tv_nsec, 500'000'000L);
    EXPECT_EQ(zembra::sleepInterval(-3).tv_nsec, 0);
    SpendTimeInOtherThreads(-1); // returns at once
}

TEST(PropertyListFiles, AreReadByFileUrlAndAnythingElseGivesNone) {
    TestDirectory dir;
    writeFile(dir / "my presets" / "a%b.plist",
              "<plist version=\"1.0\"><dict><key>Room</key><real>0.5</real></dict></plist>");
    writeFile(dir / "bad.plist", "<plist><dict>");
    const std::string base = "file://" + dir.path().string();

    const auto list = CreatePropertyListFromFile(base + "/my%20presets/a%25b.plist");
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, fnd::PlistValue(fnd::PlistDict{{"Room", 0.5}}));
    EXPECT_TRUE(CreatePropertyListFromFile("file://localhost" + dir.path().string() +
                                           "/my%20presets/a%25b.plist"));
    EXPECT_TRUE(CreatePropertyListFromFile((dir / "my presets" / "a%b.plist").string()));

    for (const std::string& url : {std::string(), base + "/bad.plist", base + "/none.plist",
                                   "file://elsewhere" + dir.path().string() + "/bad.plist",
                                   std::string("http://example.org/x.plist"), base + "/x%00.plist",
                                   base + "/x%zz.plist", std::string("relative.plist")})
        EXPECT_EQ(CreatePropertyListFromFile(url), std::nullopt) << url;
}

TEST(Version, ComesFromTheRegisteredPluginBundlesInfoPlist) {
    TestDirectory empty;
    fnd::LogCapture capture;
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, empty.path());
    EXPECT_EQ(GetVersion(), std::nullopt);

    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, ZEMBRA_TEST_RESOURCES_DIR);
    EXPECT_EQ(GetVersion(), zembra::kVersion);
}

// A module without the controller has nobody registering: the editor reads "not connected".
// (The editor's status tests read a registered flag.)
TEST(ControllerStatus, IsNotConnectedWithoutARegisteredFlag) {
    EXPECT_FALSE(zembra::controllerConnected());
}

} // namespace
