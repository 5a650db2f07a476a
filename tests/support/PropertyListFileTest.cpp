// SPDX-License-Identifier: GPL-3.0-or-later
// Property-list files read by file URL, as the exported helper takes them.
#include "TestDirectory.h"

#include "support/PropertyListFile.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

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

} // namespace
