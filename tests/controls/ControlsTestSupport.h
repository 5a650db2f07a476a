// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the control tests: a bundle with knob and thumb pictures of chosen sizes, and a
// log of the notifications and actions the controls send, in their order.
#pragma once

#include "controls/ControlNotifications.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/toolkit/Control.h"
#include "support/BundleIdentity.h"

#include "Pictures.h"
#include "TestDirectory.h"

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Registers the plug-in bundle at a fresh directory with 131.png (knob) and 133.png
// (thumb) of the given sizes; a zero size leaves that picture out.
inline std::filesystem::path bundleWithArt(tk::Size knob, tk::Size thumb) {
    static std::deque<testing_support::TestDirectory> dirs; // they go when the binary ends
    const std::filesystem::path& dir = dirs.emplace_back().path();
    const auto colour = tk::Color::calibratedRGBA(0.2, 0.4, 0.8);
    if (knob.width > 0) writeSolidPNG(dir / "131.png", knob, colour);
    if (thumb.width > 0) writeSolidPNG(dir / "133.png", thumb, colour);
    fnd::Bundle::registerBundle(zembra::kBundleIdentifier, dir);
    return dir;
}

// Entries named "begin", "end", "values" (with the pad's X and Y) or "action" (with the
// sender's value as x).
struct Posted {
    std::string name;
    const void* object;
    float x = 0, y = 0;
};

class NotificationLog : public tk::Connectable {
  public:
    NotificationLog() {
        auto& c = fnd::NotificationCenter::defaultCenter();
        const std::pair<const char*, const char*> names[] = {
            {zembra::kBeginGestureNotification, "begin"},
            {zembra::kEndGestureNotification, "end"},
            {zembra::kSendUpdatedValuesToHostNotification, "values"}};
        for (const auto& [name, shortName] : names)
            c.addObserver(this, name, nullptr, [this, shortName](const fnd::Notification& n) {
                entries.push_back({shortName, n.object,
                                   fnd::floatValue(n.userInfo, zembra::kXValueKey).value_or(-9),
                                   fnd::floatValue(n.userInfo, zembra::kYValueKey).value_or(-9)});
            });
    }
    ~NotificationLog() override { fnd::NotificationCenter::defaultCenter().removeObserver(this); }

    bool respondsToAction(std::string_view) const override { return true; }
    void performAction(std::string_view, tk::Control& sender) override {
        entries.push_back({"action", &sender, sender.floatValue(), 0});
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : entries)
            out.push_back(e.name);
        return out;
    }
    std::vector<Posted> entries;
};

} // namespace testing_support
