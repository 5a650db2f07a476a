// SPDX-License-Identifier: GPL-3.0-or-later
// Levels only for this editor's instance, controller status carried from the controller's
// thread to the main one, and the information panel's way to the change log.
#include "EditorTestSupport.h"

#include "controls/VerticalSliderCell.h"
#include "editor/SystemServices.h"
#include "editor/ZembraNotifications.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "support/BundleIdentity.h"
#include "support/ScriptRunner.h"

#include <atomic>
#include <fstream>
#include <optional>
#include <thread>

extern "C" std::atomic<bool> gIsConnected;

using namespace editor_test;

namespace {

class Status : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        scripts.clear();
        beeps = 0;
        scriptStatus = 0;
        zembra::setEditorScriptRunner([](char* text) -> std::int16_t {
            scripts.push_back(text);
            return scriptStatus;
        });
        zembra::setEditorBeep([] { ++beeps; });
    }
    void TearDown() override {
        zembra::setEditorScriptRunner(nullptr);
        zembra::setEditorBeep(nullptr);
        EditorTest::TearDown();
    }

    // What the Mix A and Mix B meters show.
    static std::pair<float, float> meters(Editor& e) {
        auto level = [&](const char* slider) {
            return dynamic_cast<VerticalSliderCell&>(*e.outlet<tk::Slider>(slider).cell())
                .rmsLevel();
        };
        return {level("uiMixASlider"), level("uiMixBSlider")};
    }
    static void postFromAnotherThread(const char* name) {
        std::thread([name] { fnd::NotificationCenter::defaultCenter().post(name); }).join();
    }
    static tk::Button* button(tk::View& parent, const std::string& titleOrAction) {
        for (const auto& v : parent.subviews())
            if (auto* b = dynamic_cast<tk::Button*>(v.get());
                b && (b->title() == titleOrAction || b->action() == titleOrAction))
                return b;
        throw std::runtime_error("no button " + titleOrAction);
    }
    // Opens the panel with the editor's information button.
    static void openPanel(Editor& e) {
        e.click(*button(e.view(), "iaGetInfo:"));
        ASSERT_EQ(e.window().overlays().size(), 1u);
    }
    static void answer(Editor& e, const std::string& title) {
        e.click(*button(*e.window().overlays().back(), title));
    }

    static inline std::vector<std::string> scripts;
    static inline int beeps = 0;
    static inline std::int16_t scriptStatus = 0;
};

TEST_F(Status, LevelsReachTheMetersOfTheirOwnInstanceOnly) {
    Editor e;
    const auto unit = static_cast<std::int32_t>(e.unit());
    postLevels(unit + 1, 0.9f, 0.9f);
    postLevels(std::nullopt, 0.9f, 0.9f);
    EXPECT_EQ(meters(e), std::pair(0.0f, 0.0f));
    postLevels(unit, 0.5f, 0.25f);
    EXPECT_EQ(meters(e), std::pair(0.5f, 0.25f));
    postLevels(unit, 0.75f, std::nullopt);
    EXPECT_EQ(meters(e), std::pair(0.75f, 0.0f)) << "an absent level reads as 0";
    // From the audio side's own thread: shown once the main thread runs.
    std::thread([unit] { postLevels(unit, 0.1f, 0.2f); }).join();
    EXPECT_EQ(meters(e), std::pair(0.75f, 0.0f));
    pump();
    EXPECT_EQ(meters(e), std::pair(0.1f, 0.2f));
}

TEST_F(Status, TheControllerStatusFollowsItsNotificationsOnTheMainThread) {
    auto status = [](Editor& e) { return e.outlet<tk::TextField>("uiKlovStatus").stringValue(); };
    Editor e;
    EXPECT_EQ(status(e), "");
    postFromAnotherThread(zembra::kKlovConnectNotification); // an attach announces itself twice
    postFromAnotherThread(zembra::kKlovConnectNotification);
    EXPECT_EQ(status(e), "") << "changed on the main thread only";
    pump();
    EXPECT_EQ(status(e), "Kallnor <KLOV> found");
    postFromAnotherThread(zembra::kKlovDisconnectNotification);
    pump();
    EXPECT_EQ(status(e), "");

    gIsConnected.store(true);
    auto attached = std::make_unique<Editor>();
    EXPECT_EQ(status(*attached), "Kallnor <KLOV> found");
    // A change queued for an editor closed meanwhile reaches only the one still open.
    postFromAnotherThread(zembra::kKlovConnectNotification);
    attached.reset();
    pump();
    EXPECT_EQ(status(e), "Kallnor <KLOV> found");
}

TEST_F(Status, ThePanelOpensTheChangeLogAndBeepsWhenItCannot) {
    Editor e;
    openPanel(e);
    answer(e, "Ok");
    EXPECT_TRUE(e.window().overlays().empty());
    EXPECT_TRUE(scripts.empty());
    openPanel(e);
    answer(e, "Show ChangeLog");
    ASSERT_EQ(scripts.size(), 1u);
    const auto changeLog =
        fnd::Bundle::withIdentifier(zembra::kBundleIdentifier)->pathForResource("ChangeLog", "txt");
    EXPECT_EQ(scripts[0], "open location \"" + zembra::fileURLForPath(*changeLog) +
                              "\" with error reporting\n");
    EXPECT_EQ(beeps, 0);
    scriptStatus = -1753; // the opener failed
    openPanel(e);
    answer(e, "Show ChangeLog");
    EXPECT_EQ(beeps, 1);
}

TEST_F(Status, TheChangeLogOpensFromALongPathWithAwkwardCharactersAndIsLoggedWhenMissing) {
    fnd::LogCapture log;
    std::filesystem::remove(useBundle() / "ChangeLog.txt");
    zembra::openChangeLog();
    EXPECT_EQ(log.count("resourceFromBundlePath not valid!!"), 1u);
    EXPECT_TRUE(scripts.empty());
    EXPECT_EQ(beeps, 0);

    // Far beyond the 2048 bytes a fixed buffer would hold, with a quote and a backslash.
    auto dir = useBundle();
    for (int i = 0; i < 30; ++i)
        dir /= std::string(90, 'a' + i % 26) + (i == 3 ? " \"q\\" : "");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "ChangeLog.txt") << "changes\n";
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, dir);
    zembra::openChangeLog();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_GT(scripts[0].size(), 2800u);
    const auto url = zembra::parseOpenLocationScript(scripts[0]);
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, zembra::fileURLForPath(dir / "ChangeLog.txt"));
    EXPECT_NE(url->find("%22q%5C"), std::string::npos);
}

} // namespace
