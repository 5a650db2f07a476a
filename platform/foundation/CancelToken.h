// SPDX-License-Identifier: GPL-3.0-or-later
// Cancels waits handed to a run loop with performAndWait. Typical use: a view gives its
// worker thread a token; the view's teardown on the main thread cancels it before joining
// the worker, so a worker waiting for the main thread is freed instead of deadlocking.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace fnd {

namespace detail {
struct PendingCall;
}

// Copies share one state. Cancellation is sticky: every wait already using the token
// whose work has not started returns false, and later waits return false at once.
class CancelToken {
  public:
    CancelToken();

    void cancel();
    bool isCancelled() const;

  private:
    friend class RunLoop;
    struct State {
        std::mutex mutex;
        bool cancelled = false;
        std::vector<std::weak_ptr<detail::PendingCall>> calls;
    };
    // Returns false when already cancelled.
    bool attach(const std::shared_ptr<detail::PendingCall>& call) const;

    std::shared_ptr<State> mState;
};

} // namespace fnd
