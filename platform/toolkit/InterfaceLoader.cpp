// SPDX-License-Identifier: GPL-3.0-or-later
// Builds, connects and wakes a view tree from an interface description.
#include "platform/toolkit/InterfaceLoader.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/ClassRegistry.h"
#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/View.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace tk {

using nlohmann::json;

namespace {

struct LoadError {
    std::string message;
};

// Descriptions are small; anything this large is not one.
constexpr std::uintmax_t kMaxDescriptionBytes = 4u << 20;
constexpr int kMaxDepth = 64;

struct Built {
    std::shared_ptr<View> view;
    std::string label; // how errors name the entry
};

struct Connection {
    std::string label;
    std::shared_ptr<View> view;
    bool isAction;
    std::string name;   // outlet name or selector
    std::string target; // "owner", "root" or an id
};

class Builder {
  public:
    explicit Builder(std::string defaultOutletsOn, std::string defaultActionTarget)
        : outletsOn_(std::move(defaultOutletsOn)), actionTarget_(std::move(defaultActionTarget)) {}

    std::shared_ptr<View> build(const json& entry, const std::string& path, int depth) {
        if (depth > kMaxDepth) throw LoadError{"entry at " + path + ": views nest too deeply"};
        std::string label = "entry at " + path;
        if (entry.is_object()) {
            auto id = entry.find("id");
            auto cls = entry.find("class");
            if (id != entry.end() && id->is_string())
                label = "entry '" + id->get<std::string>() + "'";
            if (cls != entry.end() && cls->is_string())
                label += " (" + cls->get<std::string>() + " at " + path + ")";
        }
        try {
            Coder coder(entry);
            auto view = ClassRegistry::shared().makeView(coder.className(), coder);
            if (!view) throw DescriptionError("unknown view class '" + coder.className() + "'");
            if (auto id = entry.find("id"); id != entry.end()) {
                if (!id->is_string() || id->get<std::string>().empty())
                    throw DescriptionError("\"id\" must be a non-empty string");
                const auto key = id->get<std::string>();
                if (key == "owner" || key == "root")
                    throw DescriptionError("the id '" + key + "' is reserved");
                if (!ids_.emplace(key, view).second)
                    throw DescriptionError("the id '" + key + "' is used twice");
            }
            if (auto unused = coder.unusedKeys(); !unused.empty()) {
                std::string list;
                for (const auto& k : unused)
                    list += (list.empty() ? "'" : ", '") + k + "'";
                throw DescriptionError("unknown propert" +
                                       std::string(unused.size() > 1 ? "ies " : "y ") + list +
                                       " for class '" + coder.className() + "'");
            }
            readConnections(entry, label, view);
            if (auto subs = entry.find("subviews"); subs != entry.end()) {
                if (!subs->is_array()) throw DescriptionError("\"subviews\" must be a list");
                for (size_t i = 0; i < subs->size(); ++i)
                    view->addSubview(build(
                        (*subs)[i], path + ".subviews[" + std::to_string(i) + "]", depth + 1));
            }
            return view;
        } catch (const DescriptionError& e) {
            throw LoadError{label + ": " + e.what()};
        }
    }

    void connect(const std::shared_ptr<View>& root, Connectable& owner) {
        for (const auto& c : connections_) {
            Connectable* target = nullptr;
            if (c.target == "owner")
                target = &owner;
            else if (c.target == "root")
                target = root.get();
            else if (auto it = ids_.find(c.target); it != ids_.end())
                target = it->second.get();
            if (!target) throw LoadError{c.label + ": no entry with the id '" + c.target + "'"};
            if (c.isAction) {
                auto* control = dynamic_cast<Control*>(c.view.get());
                if (!control) throw LoadError{c.label + ": only controls send actions"};
                if (!target->respondsToAction(c.name))
                    throw LoadError{c.label + ": the " + c.target + " has no action '" + c.name +
                                    "'"};
                control->setTarget(target);
                control->setAction(c.name);
            } else if (!target->setOutlet(c.name, c.view)) {
                throw LoadError{c.label + ": the " + c.target + " has no outlet '" + c.name + "'"};
            }
        }
    }

  private:
    void readConnections(const json& entry, const std::string& label,
                         const std::shared_ptr<View>& view) {
        if (auto o = entry.find("outlet"); o != entry.end()) {
            if (o->is_string()) {
                connections_.push_back({label, view, false, o->get<std::string>(), outletsOn_});
            } else if (o->is_object() && o->contains("name") && (*o)["name"].is_string()) {
                std::string on = outletsOn_;
                if (auto t = o->find("on"); t != o->end()) {
                    if (!t->is_string()) throw DescriptionError("outlet \"on\" must be a string");
                    on = t->get<std::string>();
                }
                connections_.push_back({label, view, false, (*o)["name"].get<std::string>(), on});
            } else {
                throw DescriptionError("\"outlet\" must be a name or {\"name\", \"on\"}");
            }
        }
        if (auto a = entry.find("action"); a != entry.end()) {
            if (a->is_string()) {
                connections_.push_back({label, view, true, a->get<std::string>(), actionTarget_});
            } else if (a->is_object() && a->contains("selector") && (*a)["selector"].is_string()) {
                std::string target = actionTarget_;
                if (auto t = a->find("target"); t != a->end()) {
                    if (!t->is_string())
                        throw DescriptionError("action \"target\" must be a string");
                    target = t->get<std::string>();
                }
                connections_.push_back(
                    {label, view, true, (*a)["selector"].get<std::string>(), target});
            } else {
                throw DescriptionError(
                    "\"action\" must be a selector or {\"selector\", \"target\"}");
            }
        }
    }

    std::string outletsOn_;
    std::string actionTarget_;
    std::map<std::string, std::shared_ptr<View>> ids_;
    std::vector<Connection> connections_;
};

void wake(View& v) {
    const auto subs = v.subviews();
    for (const auto& s : subs)
        wake(*s);
    if (auto* c = dynamic_cast<Control*>(&v); c && c->cell()) c->cell()->awakeFromNib();
    v.awakeFromNib();
}

std::shared_ptr<View> fail(const std::string& message, std::string* error) {
    fnd::log(fnd::LogLevel::Error, message);
    if (error) *error = message;
    return nullptr;
}

} // namespace

std::shared_ptr<View> InterfaceLoader::loadString(std::string_view text,
                                                  std::string_view sourceName, Connectable& owner,
                                                  std::string* error) {
    const std::string source(sourceName);
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) { // a parse error, or a number out of range
        return fail(source + ": not valid JSON: " + e.what(), error);
    }
    try {
        if (!doc.is_object()) throw LoadError{"the description must be an object"};
        std::string outletsOn = "root", actionTarget = "owner";
        for (auto it = doc.begin(); it != doc.end(); ++it) {
            if (it.key() == "root") continue;
            if ((it.key() == "outletsOn" || it.key() == "actionTarget") && it->is_string())
                (it.key() == "outletsOn" ? outletsOn : actionTarget) = it->get<std::string>();
            else
                throw LoadError{"unknown top-level key '" + it.key() + "'"};
        }
        auto root = doc.find("root");
        if (root == doc.end()) throw LoadError{"no \"root\" entry"};
        Builder builder(outletsOn, actionTarget);
        auto view = builder.build(*root, "root", 0);
        builder.connect(view, owner);
        wake(*view);
        return view;
    } catch (const LoadError& e) {
        return fail(source + ": " + e.message, error);
    } catch (const json::exception& e) {
        // A value of a kind the decoder did not check for: still the file's fault, and the
        // host must not be ended for it.
        return fail(source + ": " + e.what(), error);
    }
}

std::shared_ptr<View> InterfaceLoader::loadFile(const std::filesystem::path& file,
                                                Connectable& owner, std::string* error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return fail(file.string() + ": cannot read: " + ec.message(), error);
    if (size > kMaxDescriptionBytes)
        return fail(file.string() + ": too large for an interface description", error);
    std::ifstream in(file, std::ios::binary);
    if (!in) return fail(file.string() + ": cannot open", error);
    std::ostringstream ss;
    ss << in.rdbuf();
    return loadString(ss.str(), file.filename().string(), owner, error);
}

std::shared_ptr<View> InterfaceLoader::loadNamed(std::string_view name, const fnd::Bundle& bundle,
                                                 Connectable& owner, std::string* error) {
    auto path = bundle.pathForResource(name, "json");
    if (!path)
        return fail(std::string(name) + ".json: not found in bundle " + bundle.identifier(), error);
    return loadFile(*path, owner, error);
}

} // namespace tk
