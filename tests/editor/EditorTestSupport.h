// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the editor tests: bundles of small pictures (each animation frame a colour of its
// own, neighbours far apart), a host that keeps values as the plug-in does, and an editor on a
// headless window.
#pragma once

#include "editor/zembra_CocoaView.h"
#include "platform/audiounit/TestHost.h"
#include "platform/toolkit/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace editor_test {

struct Art {
    bool frames = true;
    int missingFrame = 0; // this frame (1..130) is left out
    bool still = true;
    bool description = true;
};

// Registers a fresh bundle with the real interface description and small pictures.
std::filesystem::path useBundle(const Art& art = {});
// Sets "userEnableAnimatedBackground", or removes it when `value` is empty.
void setAnimationPreference(std::optional<int> value);
// The twelve parameters at their defaults, kept within their ranges.
std::shared_ptr<au::TestHost> makeHost();
// Posts levels as the audio side does for `unit`; an empty reference or level is left out.
void postLevels(std::optional<std::int32_t> unit, float a, std::optional<float> b);
// Runs what is queued on the main loop (listener deliveries among it).
void pump();
// Runs the main loop until `done` holds, for a few seconds at most; whether it holds.
bool pumpUntil(const std::function<bool()>& done);

class Editor {
  public:
    // `prepare` may set the host's values before the editor binds to it.
    explicit Editor(const std::function<void(au::TestHost&)>& prepare = {});
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    zembra_CocoaView& view() const { return *mView; }
    tk::HeadlessWindow& window() const { return *mWindow; }
    au::TestHost& host() const { return *mHost; }
    AudioUnit unit() const { return mUnit; }
    // The view connected to the editor's outlet `name`.
    template <class T> T& outlet(const std::string& name) const {
        auto* v = dynamic_cast<T*>(mView->outlet(name));
        if (!v) throw std::runtime_error("no outlet '" + name + "' of that class");
        return *v;
    }
    // A change the host announces (automation, a preset), stored as the plug-in keeps it.
    void hostChange(AudioUnitParameterID id, float value);
    void unregister() { mRegistration.reset(); }
    // Clicks the middle of `v`.
    void click(tk::View& v);

  private:
    std::shared_ptr<au::TestHost> mHost;
    std::unique_ptr<au::InstanceRegistration> mRegistration;
    AudioUnit mUnit = 0;
    std::unique_ptr<tk::HeadlessWindow> mWindow;
    std::shared_ptr<zembra_CocoaView> mView;
};

// Each test starts with the complete bundle, no preference, the main loop on this thread and
// nothing queued.
class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace editor_test
