// SPDX-License-Identifier: GPL-3.0-or-later
// Classes an interface description may name, by name: the toolkit's own and those that
// other libraries register (the editor's controls register theirs before loading).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tk {

class Cell;
class Coder;
class View;

class ClassRegistry {
  public:
    using ViewFactory = std::function<std::shared_ptr<View>(const Coder&)>;
    using CellFactory = std::function<std::shared_ptr<Cell>(const Coder&)>;

    // Holds the toolkit's classes from the start.
    static ClassRegistry& shared();

    void registerView(const std::string& name, ViewFactory factory);
    void registerCell(const std::string& name, CellFactory factory);
    template <class T> void registerViewClass(const std::string& name) {
        registerView(name, [](const Coder& c) { return std::make_shared<T>(c); });
    }
    template <class T> void registerCellClass(const std::string& name) {
        registerCell(name, [](const Coder& c) { return std::make_shared<T>(c); });
    }

    // Null when no such class is registered; decoding errors propagate.
    std::shared_ptr<View> makeView(const std::string& name, const Coder& coder) const;
    std::shared_ptr<Cell> makeCell(const std::string& name, const Coder& coder) const;
    bool hasView(const std::string& name) const;
    bool hasCell(const std::string& name) const;

  private:
    ClassRegistry();
    mutable std::mutex mutex_;
    std::map<std::string, ViewFactory, std::less<>> views_;
    std::map<std::string, CellFactory, std::less<>> cells_;
};

} // namespace tk
