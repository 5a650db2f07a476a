// SPDX-License-Identifier: GPL-3.0-or-later
// Pop-up buttons: a button showing the selected item of a list; pressing it opens the list
// as a menu drawn inside the window. Press-drag-release picks in one gesture; a click
// leaves the menu open for a second click. The action is sent when an item is chosen.
#pragma once

#include "platform/toolkit/ButtonCell.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace tk {

class PopUpButtonCell : public ButtonCell {
  public:
    PopUpButtonCell();
    // Decoding: "items" (list of titles), "selectedIndex".
    explicit PopUpButtonCell(const Coder& coder);

    const std::vector<std::string>& itemTitles() const { return items_; }
    int numberOfItems() const { return static_cast<int>(items_.size()); }
    void addItemWithTitle(std::string title);
    void addItemsWithTitles(const std::vector<std::string>& titles);
    void removeAllItems();
    // -1 selects nothing; an index past the end is ignored and the selection kept.
    void selectItemAtIndex(int index);
    int indexOfSelectedItem() const { return selected_; }
    std::string titleOfSelectedItem() const;

    // The value is the selected index.
    double doubleValue() const override { return selected_; }
    void setDoubleValue(double v) override;

    void drawWithFrame(GraphicsContext& g, const Rect& cellFrame, View& controlView) override;

  private:
    std::vector<std::string> items_;
    int selected_ = -1;
};

// The open list. Lives in the window's overlays while open.
class PopUpMenuView : public OverlayView {
  public:
    PopUpMenuView(const Rect& frame, std::vector<std::string> items, int selected, Font font,
                  std::function<void(int)> chosen);

    int highlightedIndex() const { return highlighted_; }
    int itemAt(Point windowPoint) const;
    Rect itemRect(int index) const; // in the menu's own coordinates
    void highlightAt(Point windowPoint);
    // Ends the menu: chosen index, or -1 when cancelled.
    void finish(int index);

    void drawRect(GraphicsContext& g, const Rect& dirty) override;
    void mouseDown(const Event& e) override;
    void mouseDragged(const Event& e) override;
    void mouseUp(const Event& e) override;
    void keyDown(const Event& e) override;
    void cancelOverlay() override { finish(-1); }

    // Frame for a menu of `count` items opened from `button` (window coordinates) so that
    // item `selected` lies over the button, kept inside a window of `windowSize`.
    static Rect frameFor(const Rect& button, int count, int selected, double width,
                         Size windowSize);

  private:
    std::vector<std::string> items_;
    int highlighted_;
    Font font_;
    std::function<void(int)> chosen_;
    bool finished_ = false;
};

class PopUpButton : public Control {
  public:
    explicit PopUpButton(const Rect& frame);
    explicit PopUpButton(const Coder& coder);

    PopUpButtonCell* popUpCell() const { return dynamic_cast<PopUpButtonCell*>(cell()); }
    void addItemWithTitle(std::string title);
    void addItemsWithTitles(const std::vector<std::string>& titles);
    void removeAllItems();
    int numberOfItems() const;
    std::vector<std::string> itemTitles() const;
    void selectItemAtIndex(int index);
    int indexOfSelectedItem() const;
    std::string titleOfSelectedItem() const;

    bool isMenuOpen() const { return menu_.lock() != nullptr; }
    PopUpMenuView* menu() const { return menu_.lock().get(); }
    // Opens the menu without a press (keyboard, tests, the gallery).
    void openMenu();

    void mouseDown(const Event& e) override;

  private:
    std::shared_ptr<PopUpMenuView> makeMenu();
    std::weak_ptr<PopUpMenuView> menu_;
};

} // namespace tk
