// SPDX-License-Identifier: GPL-3.0-or-later
// Bundles, host and editor for the editor tests.
#include "EditorTestSupport.h"

#include "editor/GraphicsThread.h"
#include "editor/ZembraNotifications.h"
#include "editor/zembra_CocoaViewFactory.h"
#include "engine/ZembraParameters.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "support/BundleIdentity.h"
#include "support/ControllerStatus.h"
#include "support/EditorPictures.h"
#include "support/Preferences.h"

#include "Pictures.h"
#include "TestDirectory.h"

#include <atomic>
#include <cstdlib>
#include <fstream>

// Stands in for the controller's flag, which the editor reads when it wakes and for its panel.
extern "C" {
std::atomic<bool> gIsConnected{false};
}

namespace fs = std::filesystem;

namespace editor_test {

namespace {

// The bundles and the tests' own preferences, never the user's; gone when the binary ends.
const fs::path& scratch() {
    static testing_support::TestDirectory root;
    [[maybe_unused]] static const int configured =
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    return root.path();
}

} // namespace

fs::path useBundle(const Art& art) {
    static int bundles = 0;
    const fs::path dir = scratch() / ("bundle-" + std::to_string(bundles++));
    fs::create_directories(dir);
    if (art.description) fs::copy_file(ZEMBRA_DESCRIPTION, dir / "zembra_CocoaView.json");
    const auto png = [&dir](const std::string& name) { return dir / (name + ".png"); };
    if (art.frames)
        for (int n = 1; n <= zembra::kBackgroundFrameCount; ++n)
            if (n != art.missingFrame)
                testing_support::writeSolidPNG(
                    png(zembra::backgroundFrameName(n)), {8, 6},
                    tk::Color::calibratedRGBA(n % 2 ? 0.8 : 0.2, n / 255.0, 0.3));
    if (art.still)
        testing_support::writeSolidPNG(png(zembra::kStillBackgroundPicture), {8, 6},
                                       tk::Color::calibratedRGBA(0.1, 0.2, 0.9));
    testing_support::writeSolidPNG(png(zembra::kPadKnobPicture), {21, 15},
                                   tk::Color::calibratedRGBA(0.2, 0.6, 0.9));
    testing_support::writeSolidPNG(png(zembra::kSliderThumbPicture), {28, 21},
                                   tk::Color::calibratedWhite(0.8));
    std::ofstream(dir / "ChangeLog.txt") << "changes\n";
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, dir);
    return dir;
}

void setAnimationPreference(std::optional<int> value) {
    if (value)
        SaveValueToPrefsPosInt(zembra::kPrefEnableAnimatedBackground, *value);
    else
        zembra::removePreference(zembra::kPrefEnableAnimatedBackground);
}

std::shared_ptr<au::TestHost> makeHost() {
    std::vector<float> values;
    for (const auto& p : zembra::kParameters)
        values.push_back(p.def);
    return std::make_shared<au::TestHost>(
        values, [](AudioUnitParameterID id, float v) { return zembra::kParameters[id].clamp(v); });
}

void postLevels(std::optional<std::int32_t> unit, float a, std::optional<float> b) {
    fnd::UserInfo info{{zembra::kInAPeakKey, a}};
    if (unit) info[zembra::kRefConKey] = *unit;
    if (b) info[zembra::kInBPeakKey] = *b;
    fnd::NotificationCenter::defaultCenter().post(zembra::kSetPeakInputLevelsNotification, nullptr,
                                                  std::move(info));
}

void pump() {
    fnd::RunLoop::main().runUntilIdle();
}

bool pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2500 && !done(); ++i)
        fnd::RunLoop::main().runFor(std::chrono::milliseconds(2));
    return done();
}

Editor::Editor(const std::function<void(au::TestHost&)>& prepare) : mHost(makeHost()) {
    if (prepare) prepare(*mHost);
    mRegistration = std::make_unique<au::InstanceRegistration>(mHost);
    mUnit = mRegistration->unit();
    zembra_CocoaViewFactory factory;
    mView = std::dynamic_pointer_cast<zembra_CocoaView>(
        factory.uiViewForAudioUnit(mRegistration->unit(), {100, 100}));
    if (!mView) throw std::runtime_error("the editor did not load");
    mWindow = std::make_unique<tk::HeadlessWindow>(mView->frame().size);
    mWindow->setContentView(mView);
    pump();
}

Editor::~Editor() {
    mWindow->close();
    mView.reset();
    mWindow.reset();
}

void Editor::hostChange(AudioUnitParameterID id, float value) {
    mHost->store(id, value);
    if (mRegistration) mRegistration->parameterChanged(id, value);
}

void Editor::click(tk::View& v) {
    const tk::Rect r = v.convertRectToView(v.bounds(), nullptr);
    mWindow->mouseDown({r.midX(), r.midY()});
    mWindow->mouseUp({r.midX(), r.midY()});
}

void EditorTest::SetUp() {
    scratch();
    fnd::RunLoop::main().bindToCurrentThread();
    useBundle();
    setAnimationPreference(std::nullopt);
    gIsConnected.store(false);
    zembra::registerControllerConnectedFlag(&gIsConnected);
    pump();
}

void EditorTest::TearDown() {
    pump();
    zembra::joinStoppedGraphicsThreads();
}

} // namespace editor_test
