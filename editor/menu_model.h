#pragma once
// Menus as data: built by the controls as a list of items, checked item by
// item in tests, and shown as an asynchronous popup menu anchored to a
// rectangle of the canvas.
#include <functional>
#include <string>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

namespace tonal_panel {

struct MenuItem {
  std::string text;  // UTF-8; empty for a separator
  bool enabled = true;
  bool ticked = false;
  bool separator = false;
};

using MenuModel = std::vector<MenuItem>;

inline MenuItem Separator() { return MenuItem{"", false, false, true}; }

// The popup menu of a model; item i has the id i + 1.
juce::PopupMenu ToPopupMenu(const MenuModel& model);

// Shows the menu next to a rectangle of the anchor's canvas (in canvas
// coordinates) and calls onChosen with the chosen item's index, or -1 when
// the menu is dismissed, unless the anchor has been deleted by then. Returns
// at once.
void ShowMenuAsync(const MenuModel& model, juce::Component& anchor, juce::Rectangle<float> canvasArea,
                   std::function<void(int index)> onChosen);

}  // namespace tonal_panel
