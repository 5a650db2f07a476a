// SPDX-License-Identifier: GPL-3.0-or-later
// Where alerts go: the one presenter that shows them and collects the answer. The toolkit
// installs the presenter that draws alerts in the editor; until then alerts are logged and
// answered with their default button.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace fnd {

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
// The presenter installed now, never null.
std::shared_ptr<AlertPresenter> alertPresenter();

} // namespace fnd
