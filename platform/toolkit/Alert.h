// SPDX-License-Identifier: GPL-3.0-or-later
// Alert panels: a title, an informative text and up to three buttons, shown modally inside
// a window (the window takes no other input while it is up). There is no nested event
// loop: the answer goes to a completion, 1 for the default (first) button, 0 for the
// alternate (second), -1 for the other (third).
#pragma once

#include "platform/toolkit/Window.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class Button;

class Alert : public std::enable_shared_from_this<Alert> {
  public:
    static constexpr int kDefaultReturn = 1;
    static constexpr int kAlternateReturn = 0;
    static constexpr int kOtherReturn = -1;
    // The window closed under the alert: no button was chosen.
    static constexpr int kDismissedReturn = -1000;

    // Empty button titles add no button; without any, the alert gets an "OK" button.
    static std::shared_ptr<Alert> make(std::string title, std::string informativeText,
                                       std::string defaultButton, std::string alternateButton = {},
                                       std::string otherButton = {});

    const std::string& messageText() const { return title_; }
    const std::string& informativeText() const { return text_; }
    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    // False (and nothing added) beyond three buttons.
    bool addButtonWithTitle(std::string title);

    // Shows the alert over `window`'s content. `completion` is called once with the answer.
    // False when the window is closed or this alert is already shown.
    bool beginModal(Window& window, std::function<void(int)> completion);
    bool isShown() const;
    // Answers as if the button for `answer` were pressed (closing the window answers
    // kDismissedReturn).
    void answer(int answer);
    View* panelView() const;

    // Routes alerts raised through the support library's thread-safe alert to the most
    // recently active window. Windows do this when the first of them is created.
    static void registerAsAlertPresenter();

  private:
    Alert() = default;
    friend class AlertPanelView;
    void finished(int answer);

    std::string title_;
    std::string text_;
    std::vector<std::string> buttons_;
    std::function<void(int)> completion_;
    std::weak_ptr<OverlayView> panel_;
};

} // namespace tk
