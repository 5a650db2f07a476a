// SPDX-License-Identifier: GPL-3.0-or-later
// The thread that paces an editor's background: every 60 ms it has the main run loop run
// the editor's update and waits until it has run. It holds no reference to the view, so the
// view is torn down when its host lets go of it: teardown stops the thread without waiting
// for it, and an update it asked for but that has not started yet never runs.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace zembra {

inline constexpr std::chrono::milliseconds kGraphicsTick{60};

class GraphicsThread {
  public:
    // Starts the thread; `update` runs on the main run loop's thread, never after stop().
    explicit GraphicsThread(std::function<void()> update);
    // Stops the thread (see stop).
    ~GraphicsThread();
    GraphicsThread(const GraphicsThread&) = delete;
    GraphicsThread& operator=(const GraphicsThread&) = delete;

    // Call on the main run loop's thread. Returns at once; the thread ends within one tick.
    void stop();

    struct Link;

  private:
    std::shared_ptr<Link> mLink;
};

// Joins the threads of stopped editors; each ends within one tick of its stop. The plug-in
// calls it before its module may be unloaded, so that no thread still runs the module's
// code. Returns how many threads remain (those of editors still open).
std::size_t joinStoppedGraphicsThreads();

} // namespace zembra
