// SPDX-License-Identifier: GPL-3.0-or-later
// An alert that any thread may raise. On the main thread it is shown at once; from any
// other thread it is handed to the main run loop and the caller waits for the answer, at
// most 30 seconds, then takes the default button.
//
// The alert goes to the installed presenter (platform/foundation/AlertPresenter.h). The
// toolkit's presenter draws it in the editor and answers through a completion (there is no
// nested event loop), so a main-thread caller gets the answer only when the presenter answers
// before returning, as the default presenter (log and answer the default button) does;
// otherwise the alert stays up and the call returns the default button at once rather than
// blocking the interface.
#pragma once

#include "platform/foundation/AlertPresenter.h"
#include "support/Export.h"

#include <chrono>
#include <string_view>

// 1 default, 0 alternate, -1 other; 1 when nobody answers in time.
ZEMBRA_EXPORT long RaiseThreadSafeAlert(std::string_view title, std::string_view message,
                                        std::string_view defaultButton,
                                        std::string_view alternateButton,
                                        std::string_view otherButton);

namespace zembra {

inline constexpr std::chrono::milliseconds kAlertTimeout = std::chrono::seconds(30);

// RaiseThreadSafeAlert with the wait for an answer from another thread bounded by `timeout`.
long raiseThreadSafeAlert(const fnd::AlertRequest& request, std::chrono::milliseconds timeout);

} // namespace zembra
