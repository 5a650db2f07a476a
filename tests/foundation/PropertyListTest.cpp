// SPDX-License-Identifier: GPL-3.0-or-later
// Property lists through libplist: every kind survives the XML round trip, integers keep
// their 64 bits, and damaged input is refused.
#include "TestDirectory.h"

#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace fnd;
using testing_support::TestDirectory;
using testing_support::writeFile;

TEST(PropertyList, EveryKindSurvivesTheXmlRoundTrip) {
    const PlistValue original(PlistDict{
        {"bool", true},
        {"int32", int32_t{-2147483647 - 1}},
        {"int64", std::numeric_limits<int64_t>::max()},
        {"float", 0.1f},
        {"double", 1e300},
        {"text", "<&> \"quoted\" \t\r\n and ünïcode"},
        {"key <with> & markup", "v"},
        {"data", PlistData{0, 1, 255}},
        {"date", PlistDate{86400.0}}, // XML keeps dates to the second
        {"array", PlistArray{1, "two", PlistArray{}, PlistDict{}}},
        {"dict", PlistDict{{"nested", 3.5}}},
    });
    const auto parsed = parsePropertyList(toXmlPropertyList(original));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, original);
    const auto& dict = std::get<PlistDict>(parsed->storage());
    EXPECT_EQ(static_cast<float>(std::get<double>(dict.at("float").storage())), 0.1f);
}

TEST(PropertyList, UnsignedIntegersReadAsTheSameBitsAndDamagedInputIsRefused) {
    // Another writer may have stored the unsigned spelling of -1.
    const auto parsed =
        parsePropertyList("<plist version=\"1.0\"><integer>18446744073709551615</integer></plist>");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(std::get<int64_t>(parsed->storage()), -1);

    EXPECT_EQ(parsePropertyList(""), std::nullopt);
    EXPECT_EQ(parsePropertyList("garbage"), std::nullopt);
    EXPECT_EQ(parsePropertyList("<plist><dict><key>a</key><integer>1</inte"), std::nullopt);
    // libplist accepts a NUL inside a string, then asserts on reading it back out.
    using namespace std::string_literals;
    for (const std::string& text : {"<plist><dict><key>a\0b</key><true/></dict></plist>"s,
                                    "<plist><array><string>a\0b</string></array></plist>"s})
        EXPECT_EQ(parsePropertyList(text), std::nullopt);
}

// Closing tags hidden where libplist does not look must not hide the real nesting.
TEST(PropertyList, NestingBeyondTheBoundIsRefusedWhateverHidesBetweenTheLevels) {
    const auto nested = [](int depth, const std::string& between) {
        std::string text = "<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
                           "1.0//EN\" \"x.dtd\">"
                           "<plist version=\"1.0\">";
        for (int i = 0; i < depth; ++i)
            text += "<array>" + between;
        text += "<string>a &lt;b&gt; <![CDATA[<c>]]></string>";
        for (int i = 0; i < depth; ++i)
            text += "</array>";
        return text + "</plist>";
    };
    const int limit = kMaxPropertyListDepth;
    for (const std::string between :
         {"", "<!-- </array></array> -->", "<string><![CDATA[</array></array>]]></string>",
          "<?pi </array></array> ?>", "<true/>"}) {
        EXPECT_TRUE(parsePropertyList(nested(limit - 2, between))) << between;
        EXPECT_EQ(parsePropertyList(nested(limit, between)), std::nullopt) << between;
    }
}

// What is refused is not ours: a folder, or a file too large to be a property list of ours.
TEST(PropertyList, FileReadsTellMissingFromRefusedFromCorrupt) {
    TestDirectory dir;
    writeFile(dir / "good.plist", toXmlPropertyList(PlistValue(PlistDict{{"a", 1}})));
    writeFile(dir / "bad.plist", "<plist><dict>");
    writeFile(dir / "huge.plist", std::string(kMaxPropertyListFileSize + 1, ' '));
    std::filesystem::create_directory(dir / "folder.plist");

    auto good = readPropertyListFile(dir / "good.plist");
    EXPECT_EQ(good.status, ReadStatus::Ok);
    ASSERT_TRUE(good.value);
    EXPECT_EQ(*good.value, PlistValue(PlistDict{{"a", 1}}));
    EXPECT_EQ(readPropertyListFile(dir / "none.plist").status, ReadStatus::Missing);
    EXPECT_EQ(readPropertyListFile(dir / "bad.plist").status, ReadStatus::Corrupt);
    EXPECT_EQ(readPropertyListFile(dir / "folder.plist").status, ReadStatus::Refused);
    EXPECT_EQ(readPropertyListFile(dir / "huge.plist").status, ReadStatus::Refused);
}

} // namespace
