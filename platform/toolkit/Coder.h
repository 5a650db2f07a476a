// SPDX-License-Identifier: GPL-3.0-or-later
// One entry of an interface description as a class's decoding constructor sees it: typed
// property reads that remember which keys were used, so that the loader can reject keys no
// class understood (a misspelt "maxValue" must not silently become the default).
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Geometry.h"
#include "platform/toolkit/Text.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tk {

class Cell;

// A problem with one entry; the loader adds the file and entry names.
class DescriptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Coder {
  public:
    explicit Coder(const nlohmann::json& entry);
    ~Coder();

    const std::string& className() const { return className_; }
    bool has(const std::string& key) const;
    bool isString(const std::string& key) const;

    // Each throws DescriptionError when the key is present with the wrong type.
    std::optional<double> number(const std::string& key) const;
    std::optional<int> integer(const std::string& key) const;
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<std::vector<std::string>> strings(const std::string& key) const;
    std::optional<Rect> rect(const std::string& key) const;   // [x, y, width, height]
    std::optional<Color> color(const std::string& key) const; // [r, g, b] or [r, g, b, a]
    std::optional<Font> font(const std::string& key) const;   // size, or {family,size,bold}
    // One of `choices`, returned as its index.
    std::optional<int> choice(const std::string& key,
                              const std::vector<std::string>& choices) const;

    // The entry's cell, of the class named by "cell" or else `defaultClass`.
    std::shared_ptr<Cell> decodeCell(const std::string& defaultClass) const;

    void markUsed(const std::string& key) const { used_.insert(key); }
    // Keys that no decoder read.
    std::vector<std::string> unusedKeys() const;

  private:
    const nlohmann::json* find(const std::string& key) const;
    const nlohmann::json& entry_;
    std::string className_;
    mutable std::set<std::string> used_;
};

} // namespace tk
