// SPDX-License-Identifier: GPL-3.0-or-later
// An alert that any thread may raise. On the main thread it is shown at once; from any
// other thread it is handed to the main run loop and the caller waits for the answer, at
// most 30 seconds, then takes the default button.
//
// The toolkit registers the presenter that draws the alert in the editor. Its alerts answer
// through a completion (there is no nested event loop), so a main-thread caller gets the
// answer only when the presenter answers before returning, as the default presenter (log
// and answer the default button) does; otherwise the alert stays up and the call returns
// the default button at once rather than blocking the interface.
#pragma once

#include "support/Export.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// 1 default, 0 alternate, -1 other; 1 when nobody answers in time.
ZEMBRA_EXPORT long RaiseThreadSafeAlert(std::string_view title, std::string_view message,
                                        std::string_view defaultButton,
                                        std::string_view alternateButton,
                                        std::string_view otherButton);

namespace zembra {

enum class AlertAnswer : long { Default = 1, Alternate = 0, Other = -1 };

struct AlertRequest {
    std::string title;   // the alert's message text
    std::string message; // its informative text, shown literally, never as a format
    std::string defaultButton;
    std::string alternateButton; // empty: no such button
    std::string otherButton;     // empty: no such button
};

class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // Called on the main thread. Call `answer` once, from any thread, now or later.
    virtual void present(const AlertRequest& request, std::function<void(AlertAnswer)> answer) = 0;
};

// Installs the presenter alerts go to; nullptr restores the default.
void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter);

inline constexpr std::chrono::milliseconds kAlertTimeout = std::chrono::seconds(30);

// RaiseThreadSafeAlert with the wait for an answer from another thread bounded by `timeout`.
long raiseThreadSafeAlert(const AlertRequest& request, std::chrono::milliseconds timeout);

} // namespace zembra
