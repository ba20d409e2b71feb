#pragma once
// A menu as data together with what each item does: built afresh on every
// click, shown through ShowMenuAsync, and run by index when an item is
// chosen. Items without an action (separators, disabled items) do nothing.
#include <functional>
#include <utility>
#include <vector>

#include "editor/menu_model.h"

namespace tonal_panel {

struct ActionMenu {
  MenuModel model;
  std::vector<std::function<void()>> actions;  // one per item; empty for none

  void Add(MenuItem item, std::function<void()> action = {}) {
    model.push_back(std::move(item));
    actions.push_back(std::move(action));
  }
  void AddSeparator() { Add(Separator()); }
  // Runs the action of item index; nothing for an index out of range.
  void Run(int index) const {
    if (index < 0 || index >= static_cast<int>(actions.size())) return;
    if (const auto& action = actions[static_cast<std::size_t>(index)]) action();
  }
};

}  // namespace tonal_panel
