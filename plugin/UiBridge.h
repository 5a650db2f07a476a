// SPDX-License-Identifier: GPL-3.0-or-later
// What the plug-in's UI does for the editor apart from drawing and input: it is the instance
// side's connection to the host, passes the host's values and the input levels on, posts the
// preset trigger, pumps the main run loop, and turns the controller's stick into gestures
// through the host so that automation records it. Free of DPF, so it is tested without one.
#pragma once

#include "HostParameters.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

namespace zembra::plugin {

class UiBridge final : public HostConnection {
  public:
    // Whether this UI's editor is the one the user worked in last: only that one follows
    // the stick, so one controller does not move every open instance at once.
    using FrontmostTest = std::function<bool()>;

    // A host update that changes this many parameters between two idle calls is taken for a
    // preset (or a session) being loaded; automation seldom moves so many at once.
    static constexpr std::size_t kBurstThreshold = 3;

    // Call on the UI thread, which becomes the main thread: the main run loop is bound to it.
    // Attaches itself to `parameters` as its host connection, forwarding to `host`, and
    // observes the stick.
    UiBridge(std::shared_ptr<HostParameters> parameters, HostConnection& host,
             FrontmostTest isFrontmost);
    ~UiBridge() override;
    UiBridge(const UiBridge&) = delete;
    UiBridge& operator=(const UiBridge&) = delete;

    // DPF's callbacks. The controls go to the instance side, whose listeners move the
    // editor; the two peak outputs are kept for the next idle.
    void parameterChanged(std::uint32_t index, float value);
    void programLoaded();
    // Posts the levels if they changed and the preset trigger if one is due, then runs the
    // main run loop's work (listener deliveries, the editor's updates, the stick).
    void idle();

    // HostConnection: to the host, remembering what was sent, so that the host's echo of a
    // value of ours is not taken for a change of its own.
    void setParameterValue(std::uint32_t index, float value) override;
    void editParameter(std::uint32_t index, bool started) override;

    const std::shared_ptr<HostParameters>& parameters() const { return mParameters; }

  private:
    struct Stick;
    void applyStick();
    void postLevels();

    std::shared_ptr<HostParameters> mParameters;
    HostConnection& mHost;
    FrontmostTest mIsFrontmost;
    std::shared_ptr<Stick> mStick;

    // What the UI last knew of each input, NaN until the host first tells it.
    std::array<float, kControlCount> mKnown;
    std::bitset<kControlCount> mHostChanged;
    bool mProgramLoaded = false;

    float mPeakA = 0.0f;
    float mPeakB = 0.0f;
    bool mPeaksChanged = false;
};

} // namespace zembra::plugin
