// SPDX-License-Identifier: GPL-3.0-or-later
// Interface descriptions: a JSON file that describes a tree of views, their cells and
// properties, and their connections to an owner. The format:
//
//   {
//     "root": <entry>,
//     "outletsOn": "root",       optional: where "outlet" names go by default ("owner",
//                                "root" or an entry id); "root" unless given
//     "actionTarget": "owner"    optional: where actions go by default; "owner" unless given
//   }
//   <entry> = {
//     "class": "Slider",             a registered view class (ClassRegistry)
//     "id": "mixA",                  optional, unique; names the entry in errors and targets
//     "frame": [x, y, width, height] in the superview, y up
//     "cell": "VerticalSliderCell",  optional cell class for controls
//     "subviews": [<entry>, ...],
//     "outlet": "uiMixASlider" | {"name": "...", "on": "owner" | "root" | "<id>"},
//     "action": "iaParamMixAChanged:" | {"selector": "...", "target": "owner" | "root" | "<id>"},
//     ...properties of the class and its cell ("minValue", "title", "items", ...)
//   }
//
// Loading builds every object through its decoding constructor, then connects outlets and
// actions, then sends awakeFromNib to every cell and view, children before parents. Any
// problem stops the load; the error names the file and the offending entry.
#pragma once

#include "platform/toolkit/Connectable.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace fnd {
class Bundle;
}

namespace tk {

class View;

class InterfaceLoader {
  public:
    // "<name>.json" among the bundle's resources. Null on failure, with `error` set and
    // the error logged.
    static std::shared_ptr<View> loadNamed(std::string_view name, const fnd::Bundle& bundle,
                                           Connectable& owner, std::string* error = nullptr);
    static std::shared_ptr<View> loadFile(const std::filesystem::path& file, Connectable& owner,
                                          std::string* error = nullptr);
    // `sourceName` names the text in errors.
    static std::shared_ptr<View> loadString(std::string_view json, std::string_view sourceName,
                                            Connectable& owner, std::string* error = nullptr);
};

} // namespace tk
