// SPDX-License-Identifier: GPL-3.0-or-later
// The installed alert presenter and the default one, which logs and answers the default.
#include "platform/foundation/AlertPresenter.h"

#include "platform/foundation/Log.h"

#include <mutex>

namespace fnd {
namespace {

class LoggingPresenter final : public AlertPresenter {
  public:
    void present(const AlertRequest& request, std::function<void(AlertAnswer)> answer) override {
        log(LogLevel::Notice, "alert: " + request.title + ": " + request.message);
        answer(AlertAnswer::Default);
    }
};

std::mutex gPresenterMutex;
std::shared_ptr<AlertPresenter> gPresenter;

} // namespace

void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    std::lock_guard lock(gPresenterMutex);
    gPresenter = std::move(presenter);
}

std::shared_ptr<AlertPresenter> alertPresenter() {
    std::lock_guard lock(gPresenterMutex);
    if (!gPresenter) gPresenter = std::make_shared<LoggingPresenter>();
    return gPresenter;
}

} // namespace fnd
