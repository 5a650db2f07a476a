// SPDX-License-Identifier: GPL-3.0-or-later
// What an interface description connects to: objects that take outlets by name and answer
// actions by selector. Views are connectable; so is whoever owns a loaded description.
#pragma once

#include <memory>
#include <string_view>

namespace tk {

class View;
class Control;

class Connectable {
  public:
    virtual ~Connectable() = default;
    // True when `name` is an outlet of this object and it took `object`.
    virtual bool setOutlet(std::string_view name, const std::shared_ptr<View>& object) {
        (void)name, (void)object;
        return false;
    }
    virtual bool respondsToAction(std::string_view selector) const {
        (void)selector;
        return false;
    }
    virtual void performAction(std::string_view selector, Control& sender) {
        (void)selector, (void)sender;
    }
};

} // namespace tk
