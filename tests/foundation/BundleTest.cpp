// SPDX-License-Identifier: GPL-3.0-or-later
// Bundles: registration, resource lookup and Info.plist. (The module directory found from
// dladdr is what every plug-in loaded by a real host finds its pictures with.)
#include "TestDirectory.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

namespace {

using fnd::Bundle;
using testing_support::TestDirectory;
using testing_support::writeFile;

TEST(Bundle, ResourcesAreFoundInTheBundleAndItsResourceDirectoriesOnly) {
    TestDirectory root;
    const auto module = root / "Contents" / "x86_64-linux";
    writeFile(module / "top.png", "x");
    writeFile(module / "resources" / "131.png", "x");
    writeFile(root / "Contents" / "Resources" / "ChangeLog.txt", "x");
    writeFile(root / "Contents" / "secret.txt", "x");
    const Bundle& bundle = Bundle::registerBundle("org.zembra.test.resources", module);

    EXPECT_EQ(bundle.pathForResource("top", "png"), module / "top.png");
    EXPECT_EQ(bundle.pathForResource("131", "png"), module / "resources" / "131.png");
    EXPECT_EQ(bundle.pathForResource("ChangeLog", "txt"),
              root / "Contents" / "Resources" / "ChangeLog.txt");
    EXPECT_EQ(bundle.pathForResource("missing", "png"), std::nullopt);
    // Names are names, not paths: nothing outside the resource directories is reachable.
    EXPECT_EQ(bundle.pathForResource("../secret", "txt"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("..", ""), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("resources", ""), std::nullopt); // a directory
}

// Reading the generated Info.plist is checked through the loaded module (tests/e2e).
TEST(Bundle, ADamagedInfoPlistGivesAnEmptyDictionaryReportedOnce) {
    TestDirectory damaged;
    writeFile(damaged / "Info.plist", "<plist><dict><key>CFBundleVersion</key>");
    fnd::LogCapture capture;
    const Bundle& b = Bundle::registerBundle("org.zembra.test.badinfo", damaged.path());
    EXPECT_EQ(Bundle::withIdentifier("org.zembra.test.badinfo"), &b);
    EXPECT_EQ(Bundle::withIdentifier("org.zembra.test.unknown"), nullptr);
    EXPECT_EQ(b.infoString("CFBundleVersion"), std::nullopt);
    EXPECT_TRUE(b.infoDictionary().empty()); // read, and reported, once
    EXPECT_EQ(capture.lines().size(), 1u);
}

} // namespace
