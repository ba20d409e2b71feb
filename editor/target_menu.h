#pragma once
// The target chip's menu: the built-in target and the factory targets, with
// a check mark on the current one, each selecting its target when chosen.
// Built afresh on every click from the callables it is given.
#include "editor/action_menu.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

inline constexpr const char* kBalancedMenuText = "Balanced (pink noise)";

ActionMenu BuildTargetMenu(const ombrix::EditorCallables& callables);

// The chip's label: the current target's name.
std::string TargetChipLabel(const ombrix::EditorCallables& callables);

}  // namespace tonal_panel
