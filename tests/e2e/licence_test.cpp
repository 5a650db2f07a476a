// SPDX-License-Identifier: GPL-3.0-or-later
// The licence as the built plug-in carries it: the GPL's text inside every bundle, the
// licence named in the LV2 and VST3 metadata, and the LV2 metadata accepted by lv2-dev's
// validator.
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace e2e;

namespace {

const fs::path kLv2Bundle = fs::path(ZEMBRA_E2E_LV2_DIR) / "zembra.lv2";

std::vector<std::string> ttlFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(kLv2Bundle))
        if (entry.path().extension() == ".ttl") files.push_back(entry.path().string());
    return files;
}

} // namespace

TEST(Licence, EveryBundleCarriesTheGplText) {
    const std::string gpl = readFile(ZEMBRA_E2E_LICENSE);
    ASSERT_NE(gpl.find("GNU GENERAL PUBLIC LICENSE"), std::string::npos);
    ASSERT_NE(gpl.find("Version 3, 29 June 2007"), std::string::npos);
    for (const fs::path& copy :
         {kLv2Bundle / "resources" / "LICENSE",
          fs::path(ZEMBRA_E2E_VST3_BUNDLE) / "Contents" / "Resources" / "LICENSE"})
        EXPECT_EQ(readFile(copy), gpl) << copy;
}

TEST(Licence, TheLv2MetadataNamesItAndPassesLv2Validate) {
    const std::string plugin = readFile(kLv2Bundle / "zembra.ttl");
    EXPECT_NE(plugin.find("doap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;"),
              std::string::npos)
        << plugin.substr(0, 2000);

    // The validator knows LV2's own schemas; DPF adds a few terms of other vocabularies,
    // declared for it here.
    std::vector<std::string> argv = {"lv2_validate", ZEMBRA_E2E_LV2_VOCABULARIES};
    const std::vector<std::string> files = ttlFiles();
    ASSERT_GE(files.size(), 2u); // the manifest and the plug-in at least
    argv.insert(argv.end(), files.begin(), files.end());
    const Result r = run(argv);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Found 0 errors"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("warning:"), std::string::npos) << r.output;
}

TEST(Licence, TheVst3BundleNamesIt) {
    const std::string plist =
        readFile(fs::path(ZEMBRA_E2E_VST3_BUNDLE) / "Contents" / "Resources" / "Info.plist");
    const size_t key = plist.find("<key>NSHumanReadableCopyright</key>");
    ASSERT_NE(key, std::string::npos) << plist;
    const size_t value = plist.find("<string>", key);
    const std::string text = plist.substr(value, plist.find("</string>", value) - value);
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos) << text;
    EXPECT_NE(text.find("GNU General Public License, version 3 or later"), std::string::npos);
}
