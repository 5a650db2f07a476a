// SPDX-License-Identifier: GPL-3.0-or-later
// Hands alerts to the main thread and waits, bounded, for their answer.
#include "support/ThreadSafeAlert.h"

#include "platform/foundation/RunLoop.h"

#include <condition_variable>
#include <mutex>
#include <optional>

namespace zembra {
namespace {

using fnd::AlertAnswer;

// Shared by the waiting caller, the work queued on the main loop and the presenter's
// completion, any of which may outlive the others.
struct Exchange {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<AlertAnswer> answer;
    bool abandoned = false; // the caller stopped waiting: do not show the alert any more

    void give(AlertAnswer a) {
        std::lock_guard lock(mutex);
        if (answer) return; // a presenter answering twice keeps its first answer
        answer = a;
        answered.notify_all();
    }
};

} // namespace

long raiseThreadSafeAlert(const fnd::AlertRequest& request, std::chrono::milliseconds timeout) {
    auto exchange = std::make_shared<Exchange>();
    auto answer = [exchange](AlertAnswer a) { exchange->give(a); };
    fnd::RunLoop& mainLoop = fnd::RunLoop::main();

    if (mainLoop.isCurrent()) {
        fnd::alertPresenter()->present(request, answer);
        std::lock_guard lock(exchange->mutex);
        return static_cast<long>(exchange->answer.value_or(AlertAnswer::Default));
    }

    mainLoop.perform([exchange, request, answer] {
        {
            std::lock_guard lock(exchange->mutex);
            if (exchange->abandoned) return;
        }
        fnd::alertPresenter()->present(request, answer);
    });
    std::unique_lock lock(exchange->mutex);
    if (!exchange->answered.wait_for(lock, timeout, [&] { return exchange->answer.has_value(); })) {
        exchange->abandoned = true;
        return static_cast<long>(AlertAnswer::Default);
    }
    return static_cast<long>(*exchange->answer);
}

} // namespace zembra

long RaiseThreadSafeAlert(std::string_view title, std::string_view message,
                          std::string_view defaultButton, std::string_view alternateButton,
                          std::string_view otherButton) {
    return zembra::raiseThreadSafeAlert({std::string(title), std::string(message),
                                         std::string(defaultButton), std::string(alternateButton),
                                         std::string(otherButton)},
                                        zembra::kAlertTimeout);
}
