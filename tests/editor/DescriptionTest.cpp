// SPDX-License-Identifier: GPL-3.0-or-later
// The interface description lays the controls out and the parameter table says what they
// hold: every parameter's controls are in the description, of a class that can show it and
// sending its action, with no range or items of their own to drift from the table.
#include "editor/ControlBindings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>

namespace {

using nlohmann::json;
using zembra::ControlKind;

void collectOutlets(const json& node, std::map<std::string, json>& outlets) {
    if (node.contains("outlet") && node["outlet"].is_string()) outlets[node["outlet"]] = node;
    for (const auto& sub : node.value("subviews", json::array()))
        collectOutlets(sub, outlets);
}

TEST(Description, LaysOutEveryBoundControlAndLeavesItsValuesToTheParameterTable) {
    std::ifstream in(ZEMBRA_DESCRIPTION);
    std::map<std::string, json> outlets;
    collectOutlets(json::parse(in)["root"], outlets);
    const std::map<ControlKind, std::string> classOf = {{ControlKind::SliderPair, "Slider"},
                                                        {ControlKind::Pad, "ZembraXYView"},
                                                        {ControlKind::PopUp, "PopUpButton"},
                                                        {ControlKind::Toggle, "Button"}};
    for (const auto& binding : zembra::kControlBindings) {
        const std::string action = binding.method ? std::string(binding.action) + ":" : "";
        auto expect = [&](std::string_view outlet, const std::string& cls) {
            SCOPED_TRACE(std::string(outlet));
            ASSERT_TRUE(outlets.count(std::string(outlet)));
            const json& control = outlets[std::string(outlet)];
            EXPECT_EQ(control.value("class", ""), cls);
            EXPECT_EQ(control.value("action", ""), action);
            if (binding.kind == ControlKind::Toggle) {
                EXPECT_EQ(control.value("buttonType", ""), "toggle");
            }
            for (const char* key : {"minValue", "maxValue", "items", "selectedIndex", "state"})
                EXPECT_FALSE(control.contains(key)) << key << " belongs to the parameter table";
        };
        expect(binding.control, classOf.at(binding.kind));
        if (!binding.field.empty()) expect(binding.field, "TextField");
    }
}

} // namespace
