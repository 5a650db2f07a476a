// SPDX-License-Identifier: GPL-3.0-or-later
// The graphics threads and the list that joins them once their editors have gone.
#include "editor/GraphicsThread.h"

#include "platform/foundation/CancelToken.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zembra {

struct GraphicsThread::Link {
    std::function<void()> update; // read and cleared on the main thread only
    // The view's stop flag, here rather than in the view so that the thread may read it
    // after the view has gone.
    std::atomic<bool> mExitBackgroundThread{false};
    fnd::CancelToken token;
    std::mutex mutex;
    std::condition_variable wake;
};

namespace {

struct Running {
    std::thread thread;
    std::shared_ptr<GraphicsThread::Link> link;
};

struct ThreadList {
    std::mutex mutex;
    std::vector<Running> threads;
};

// Never destroyed: a thread may outlive static destruction.
ThreadList& threadList() {
    static auto* list = new ThreadList;
    return *list;
}

// Takes the threads that asked to stop out of the list; the caller joins them unlocked.
std::vector<Running> takeStopped(ThreadList& list) {
    std::vector<Running> stopped;
    std::lock_guard lock(list.mutex);
    auto split = std::stable_partition(list.threads.begin(), list.threads.end(), [](auto& r) {
        return !r.link->mExitBackgroundThread.load();
    });
    std::move(split, list.threads.end(), std::back_inserter(stopped));
    list.threads.erase(split, list.threads.end());
    return stopped;
}

void updateGraphicsThread(std::shared_ptr<GraphicsThread::Link> link) {
    while (!link->mExitBackgroundThread.load()) {
        fnd::RunLoop::main().performAndWait(
            [l = link.get()] {
                if (!l->mExitBackgroundThread.load() && l->update) l->update();
            },
            link->token);
        std::unique_lock lock(link->mutex);
        link->wake.wait_for(lock, kGraphicsTick,
                            [&link] { return link->mExitBackgroundThread.load(); });
    }
}

} // namespace

GraphicsThread::GraphicsThread(std::function<void()> update) : mLink(std::make_shared<Link>()) {
    mLink->update = std::move(update);
    auto& list = threadList();
    // Threads of editors closed since the last start: they have ended or are about to.
    for (auto& r : takeStopped(list))
        r.thread.join();
    std::lock_guard lock(list.mutex);
    list.threads.push_back({std::thread(updateGraphicsThread, mLink), mLink});
}

GraphicsThread::~GraphicsThread() {
    stop();
}

void GraphicsThread::stop() {
    if (mLink->mExitBackgroundThread.exchange(true)) return;
    mLink->token.cancel();
    mLink->update = nullptr;
    { std::lock_guard lock(mLink->mutex); }
    mLink->wake.notify_all();
}

std::size_t joinStoppedGraphicsThreads() {
    auto& list = threadList();
    for (auto& r : takeStopped(list))
        r.thread.join();
    std::lock_guard lock(list.mutex);
    return list.threads.size();
}

} // namespace zembra
