#include "editor/menu_model.h"

namespace tonal_panel {

juce::PopupMenu ToPopupMenu(const MenuModel& model) {
  juce::PopupMenu menu;
  for (std::size_t i = 0; i < model.size(); ++i) {
    const MenuItem& item = model[i];
    if (item.separator) {
      menu.addSeparator();
      continue;
    }
    menu.addItem(static_cast<int>(i) + 1, juce::String::fromUTF8(item.text.c_str()), item.enabled, item.ticked);
  }
  return menu;
}

void ShowMenuAsync(const MenuModel& model, juce::Component& anchor, juce::Rectangle<float> canvasArea,
                   std::function<void(int index)> onChosen) {
  // The canvas rectangle is relative to the anchor's parent (the canvas).
  juce::Component* canvas = anchor.getParentComponent();
  const juce::Rectangle<int> area =
      (canvas != nullptr ? canvas->localAreaToGlobal(canvasArea) : anchor.localAreaToGlobal(canvasArea))
          .getSmallestIntegerContainer();
  const auto options = juce::PopupMenu::Options().withTargetComponent(&anchor).withTargetScreenArea(area);
  // The anchor may be gone by the time the menu closes (the editor was
  // rebuilt or closed): then the choice is dropped.
  ToPopupMenu(model).showMenuAsync(
      options, [alive = juce::Component::SafePointer<juce::Component>(&anchor), onChosen = std::move(onChosen)](int result) {
        if (alive != nullptr && onChosen) onChosen(result - 1);
      });
}

}  // namespace tonal_panel
