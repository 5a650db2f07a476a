// SPDX-License-Identifier: GPL-3.0-or-later
// Typed reads of one interface-description entry.
#include "platform/toolkit/Coder.h"

#include "platform/toolkit/Cell.h"
#include "platform/toolkit/ClassRegistry.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace tk {

using nlohmann::json;

namespace {
// Keys the loader itself reads from every entry.
const char* const kStructuralKeys[] = {"class", "cell", "id", "subviews", "outlet", "action"};

std::string typeError(const std::string& key, const char* wanted) {
    return "property '" + key + "' must be " + wanted;
}
} // namespace

Coder::Coder(const json& entry) : entry_(entry) {
    if (!entry_.is_object()) throw DescriptionError("entry is not an object");
    auto c = entry_.find("class");
    if (c == entry_.end() || !c->is_string()) throw DescriptionError("entry has no \"class\" name");
    className_ = c->get<std::string>();
    for (const char* k : kStructuralKeys)
        used_.insert(k);
}

Coder::~Coder() = default;

const json* Coder::find(const std::string& key) const {
    auto it = entry_.find(key);
    if (it == entry_.end()) return nullptr;
    used_.insert(key);
    return &*it;
}

bool Coder::has(const std::string& key) const {
    return entry_.contains(key);
}

bool Coder::isString(const std::string& key) const {
    auto it = entry_.find(key);
    return it != entry_.end() && it->is_string();
}

std::optional<double> Coder::number(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (!j->is_number()) throw DescriptionError(typeError(key, "a number"));
    const double v = j->get<double>();
    if (!std::isfinite(v)) throw DescriptionError(typeError(key, "a finite number"));
    return v;
}

std::optional<int> Coder::integer(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (!j->is_number_integer()) throw DescriptionError(typeError(key, "a whole number"));
    const auto v = j->get<int64_t>();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw DescriptionError(typeError(key, "a whole number in the int range"));
    return static_cast<int>(v);
}

std::optional<bool> Coder::boolean(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (!j->is_boolean()) throw DescriptionError(typeError(key, "true or false"));
    return j->get<bool>();
}

std::optional<std::string> Coder::string(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (!j->is_string()) throw DescriptionError(typeError(key, "a string"));
    return j->get<std::string>();
}

std::optional<std::vector<std::string>> Coder::strings(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (!j->is_array()) throw DescriptionError(typeError(key, "a list of strings"));
    std::vector<std::string> out;
    for (const auto& e : *j) {
        if (!e.is_string()) throw DescriptionError(typeError(key, "a list of strings"));
        out.push_back(e.get<std::string>());
    }
    return out;
}

namespace {
std::vector<double> numbers(const json& j, const std::string& key, size_t minN, size_t maxN,
                            const char* what) {
    if (!j.is_array() || j.size() < minN || j.size() > maxN)
        throw DescriptionError(typeError(key, what));
    std::vector<double> v;
    for (const auto& e : j) {
        if (!e.is_number()) throw DescriptionError(typeError(key, what));
        const double d = e.get<double>();
        if (!std::isfinite(d)) throw DescriptionError(typeError(key, what));
        v.push_back(d);
    }
    return v;
}
} // namespace

std::optional<Rect> Coder::rect(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    const auto v = numbers(*j, key, 4, 4, "[x, y, width, height]");
    return Rect{v[0], v[1], v[2], v[3]};
}

std::optional<Color> Coder::color(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    const auto v =
        numbers(*j, key, 3, 4, "[red, green, blue] or [red, green, blue, alpha], each 0 to 1");
    for (double c : v)
        if (c < 0.0 || c > 1.0)
            throw DescriptionError(typeError(key, "colour components from 0 to 1"));
    return Color::calibratedRGBA(v[0], v[1], v[2], v.size() == 4 ? v[3] : 1.0);
}

std::optional<Font> Coder::font(const std::string& key) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    Font f;
    if (j->is_number()) {
        f.size = j->get<double>();
    } else if (j->is_object()) {
        for (auto it = j->begin(); it != j->end(); ++it) {
            if (it.key() == "family" && it->is_string())
                f.family = it->get<std::string>();
            else if (it.key() == "size" && it->is_number())
                f.size = it->get<double>();
            else if (it.key() == "bold" && it->is_boolean())
                f.bold = it->get<bool>();
            else
                throw DescriptionError("property '" + key + "' has a bad field '" + it.key() + "'");
        }
    } else {
        throw DescriptionError(typeError(key, "a size or {family, size, bold}"));
    }
    if (!(f.size > 0.0 && f.size < 500.0))
        throw DescriptionError(typeError(key, "a size from 0 to 500"));
    return f;
}

std::optional<int> Coder::choice(const std::string& key,
                                 const std::vector<std::string>& choices) const {
    const json* j = find(key);
    if (!j) return std::nullopt;
    if (j->is_string()) {
        const auto s = j->get<std::string>();
        for (size_t i = 0; i < choices.size(); ++i)
            if (choices[i] == s) return static_cast<int>(i);
    }
    std::string list;
    for (const auto& c : choices)
        list += (list.empty() ? "\"" : ", \"") + c + "\"";
    throw DescriptionError(typeError(key, ("one of " + list).c_str()));
}

std::shared_ptr<Cell> Coder::decodeCell(const std::string& defaultClass) const {
    std::string name = defaultClass;
    if (const json* j = find("cell")) {
        if (!j->is_string()) throw DescriptionError("\"cell\" must be a class name");
        name = j->get<std::string>();
    }
    auto cell = ClassRegistry::shared().makeCell(name, *this);
    if (!cell) throw DescriptionError("unknown cell class '" + name + "'");
    return cell;
}

std::vector<std::string> Coder::unusedKeys() const {
    std::vector<std::string> out;
    for (auto it = entry_.begin(); it != entry_.end(); ++it)
        if (!used_.count(it.key())) out.push_back(it.key());
    return out;
}

} // namespace tk
