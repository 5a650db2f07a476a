// SPDX-License-Identifier: GPL-3.0-or-later
// The licence as the built plug-in carries it: the GPL's text in every bundle, the licence named
// in the LV2 and VST3 metadata, and the LV2 metadata accepted by lv2-dev's validator.
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace e2e;

TEST(Licence, EveryBundleCarriesTheGplTextAndItsMetadataNamesIt) {
    const fs::path lv2 = fs::path(ZEMBRA_E2E_LV2_DIR) / "zembra.lv2",
                   vst3 = fs::path(ZEMBRA_E2E_VST3_BUNDLE) / "Contents" / "Resources";
    const std::string gpl = readFile(ZEMBRA_E2E_LICENSE);
    ASSERT_NE(gpl.find("GNU GENERAL PUBLIC LICENSE"), std::string::npos);
    ASSERT_NE(gpl.find("Version 3, 29 June 2007"), std::string::npos);
    for (const fs::path& copy : {lv2 / "resources" / "LICENSE", vst3 / "LICENSE"})
        EXPECT_EQ(readFile(copy), gpl) << copy;

    const std::string plugin = readFile(lv2 / "zembra.ttl");
    EXPECT_NE(plugin.find("doap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;"),
              std::string::npos)
        << plugin.substr(0, 2000);
    const std::string plist = readFile(vst3 / "Info.plist");
    const size_t key = plist.find("<key>NSHumanReadableCopyright</key>");
    ASSERT_NE(key, std::string::npos) << plist;
    const size_t value = plist.find("<string>", key);
    const std::string text = plist.substr(value, plist.find("</string>", value) - value);
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos) << text;
    EXPECT_NE(text.find("GNU General Public License, version 3 or later"), std::string::npos);
}

// The validator knows LV2's own schemas; DPF adds a few terms of other vocabularies, declared
// for it in lv2-vocabularies.ttl.
TEST(Licence, Lv2ValidateAcceptsTheLv2Metadata) {
    std::vector<std::string> argv = {"lv2_validate", ZEMBRA_E2E_LV2_VOCABULARIES};
    for (const auto& entry : fs::directory_iterator(fs::path(ZEMBRA_E2E_LV2_DIR) / "zembra.lv2"))
        if (entry.path().extension() == ".ttl") argv.push_back(entry.path().string());
    ASSERT_GE(argv.size(), 4u); // the manifest and the plug-in at least
    const Result r = run(argv);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Found 0 errors"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("warning:"), std::string::npos) << r.output;
}
