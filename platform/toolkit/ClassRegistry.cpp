// SPDX-License-Identifier: GPL-3.0-or-later
// The class-name registry, holding the toolkit's own classes from the start.
#include "platform/toolkit/ClassRegistry.h"

#include "platform/toolkit/Button.h"
#include "platform/toolkit/Coder.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"

namespace tk {

ClassRegistry::ClassRegistry() {
    registerViewClass<View>("View");
    registerViewClass<Slider>("Slider");
    registerViewClass<Button>("Button");
    registerViewClass<TextField>("TextField");
    registerViewClass<PopUpButton>("PopUpButton");
    registerCellClass<Cell>("Cell");
    registerCellClass<SliderCell>("SliderCell");
    registerCellClass<ButtonCell>("ButtonCell");
    registerCellClass<TextFieldCell>("TextFieldCell");
    registerCellClass<PopUpButtonCell>("PopUpButtonCell");
}

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerView(const std::string& name, ViewFactory factory) {
    std::lock_guard lock(mutex_);
    views_[name] = std::move(factory);
}

void ClassRegistry::registerCell(const std::string& name, CellFactory factory) {
    std::lock_guard lock(mutex_);
    cells_[name] = std::move(factory);
}

std::shared_ptr<View> ClassRegistry::makeView(const std::string& name, const Coder& coder) const {
    ViewFactory f;
    {
        std::lock_guard lock(mutex_);
        auto it = views_.find(name);
        if (it == views_.end()) return nullptr;
        f = it->second;
    }
    return f(coder);
}

std::shared_ptr<Cell> ClassRegistry::makeCell(const std::string& name, const Coder& coder) const {
    CellFactory f;
    {
        std::lock_guard lock(mutex_);
        auto it = cells_.find(name);
        if (it == cells_.end()) return nullptr;
        f = it->second;
    }
    return f(coder);
}

bool ClassRegistry::hasView(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return views_.count(name) != 0;
}

bool ClassRegistry::hasCell(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return cells_.count(name) != 0;
}

} // namespace tk
