// SPDX-License-Identifier: GPL-3.0-or-later
// The small exported helpers where a fault would matter: sleep intervals, property-list files
// by URL, and the version from Info.plist.
#include "SupportTestEnvironment.h"

#include "platform/foundation/Log.h"
#include "support/BundleIdentity.h"
#include "support/Helpers.h"
#include "support/PluginBundle.h"
#include "support/PropertyListFile.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

// nanosleep refuses a second or more given as nanoseconds: the interval is normalised, or
// SpendTimeInOtherThreads would not sleep at all.
TEST(Helpers, SleepIntervalsOfASecondOrMoreAreNormalised) {
    const timespec longer = zembra::sleepInterval(2500);
    EXPECT_EQ(longer.tv_sec, 2);
    EXPECT_EQ(longer.tv_nsec, 500'000'000L);
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

} // namespace
