// SPDX-License-Identifier: GPL-3.0-or-later
// Interface descriptions: properties, cells, actions and waking order, and errors for hostile
// descriptions that name the file and the offending entry.
#include "platform/toolkit/InterfaceLoader.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/ClassRegistry.h"
#include "platform/toolkit/Coder.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"

#include "TestDirectory.h"

#include <gtest/gtest.h>

using namespace tk;

namespace {

std::vector<std::string> gWakeOrder;

class Panel : public View {
  public:
    explicit Panel(const Coder& c) : View(c) {}
    void awakeFromNib() override { gWakeOrder.push_back("panel"); }
};

class WakingCell : public SliderCell {
  public:
    explicit WakingCell(const Coder& c) : SliderCell(c) {}
    void awakeFromNib() override { gWakeOrder.push_back("cell"); }
};

class Owner : public Connectable {
  public:
    bool respondsToAction(std::string_view s) const override { return s == "levelChanged:"; }
    void performAction(std::string_view s, Control& sender) override {
        actions.push_back(std::string(s) + std::to_string(sender.intValue()));
    }
    std::vector<std::string> actions;
};

const char* kGood = R"({
  "root": {
    "class": "TestPanel", "id": "panel", "frame": [0, 0, 300, 200],
    "subviews": [
      {"class": "Slider", "id": "level", "cell": "TestWakingCell", "frame": [10, 20, 22, 150],
       "action": "levelChanged:"},
      {"class": "Button", "frame": [40, 20, 60, 24], "title": "Solo A", "font": {"bold": true}},
      {"class": "TextField", "frame": [40, 100, 80, 22], "text": "Kallnor", "editable": false,
       "hidden": true}
    ]
  }
})";

std::string loadError(const std::string& json) {
    Owner owner;
    std::string error;
    EXPECT_EQ(InterfaceLoader::loadString(json, "view.json", owner, &error), nullptr);
    return error;
}

} // namespace

// Classes, frames, outlets and actions of the editor's own description are what every editor
// test goes through; here the properties only pictures would show, and the waking order.
TEST(InterfaceLoader, LoadsByNameFromABundleSettingPropertiesAndWakingChildrenFirst) {
    ClassRegistry::shared().registerViewClass<Panel>("TestPanel");
    ClassRegistry::shared().registerCellClass<WakingCell>("TestWakingCell");
    gWakeOrder.clear();
    const testing_support::TestDirectory dir;
    testing_support::writeFile(dir / "panel.json", kGood);
    const fnd::Bundle& bundle = fnd::Bundle::registerBundle("org.zembra.test.toolkit", dir.path());
    Owner owner;
    std::string error;
    auto root = InterfaceLoader::loadNamed("panel", bundle, owner, &error);
    ASSERT_TRUE(root) << error;
    ASSERT_EQ(root->subviews().size(), 3u);
    auto* slider = dynamic_cast<Slider*>(root->subviews()[0].get());
    auto* button = dynamic_cast<Button*>(root->subviews()[1].get());
    auto* field = dynamic_cast<TextField*>(root->subviews()[2].get());
    ASSERT_TRUE(slider && button && field);
    EXPECT_TRUE(dynamic_cast<WakingCell*>(slider->cell()));
    slider->setDoubleValue(1);
    slider->sendAction();
    EXPECT_EQ(owner.actions, (std::vector<std::string>{"levelChanged:1"}));
    EXPECT_EQ(button->title(), "Solo A");
    EXPECT_TRUE(button->cell()->font().bold);
    EXPECT_EQ(field->stringValue(), "Kallnor");
    EXPECT_FALSE(field->isEditable());
    EXPECT_TRUE(field->isHidden());
    // Children wake before their parents, a control's cell with it.
    EXPECT_EQ(gWakeOrder, (std::vector<std::string>{"cell", "panel"}));

    fnd::LogCapture log;
    EXPECT_FALSE(InterfaceLoader::loadNamed("missing", bundle, owner, &error));
    EXPECT_NE(error.find("missing.json"), std::string::npos);
}

TEST(InterfaceLoader, ErrorsNameTheFileAndTheEntry) {
    fnd::LogCapture log;
    // Each message names the file, the entry (by id, else by its place) and what is wrong.
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {R"({"root": {"class": "View", "subviews": [
            {"class": "Slidr", "id": "mixA", "frame": [0, 0, 10, 10]}]}})",
         {"view.json", "'mixA'", "unknown view class 'Slidr'"}},
        {R"({"root": {"class": "View", "subviews": [{"class": "View"},
            {"class": "Slider", "editable": "no"}]}})",
         {"root.subviews[1]", "'editable'"}},
        {R"({"root": {"class": "Slider", "cell": "Nope"}})", {"unknown cell class 'Nope'"}},
        {R"({"root": {"class": "View", "outlet": "uiNothing"}})", {"no outlet 'uiNothing'"}},
        {R"({"root": {"class": "Slider", "action": "nope:"}})", {"no action 'nope:'"}},
        {"{\"root\": ", {"not valid JSON"}},
        // Too large for a double: not a parse error to the JSON library, it used to escape
        // the loader and end the host.
        {R"({"root": {"class": "View", "frame": [0, 0, 3e999, 1]}})", {"not valid JSON"}}};
    for (const auto& [json, parts] : cases) {
        const std::string error = loadError(json);
        for (const char* part : parts)
            EXPECT_NE(error.find(part), std::string::npos) << error;
    }
    EXPECT_GE(log.count("view.json"), 7u); // every failure is logged too
}
