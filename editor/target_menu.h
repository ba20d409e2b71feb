#pragma once
// The target chip's label and menu: the built-in and factory targets,
// learning from the input, learning from a reference file, the user's saved
// targets, saving the current target and deleting a saved one, with check
// marks on the current target and the items that cannot be chosen now
// disabled. Built afresh on every click from the callables it is given.
#include <functional>
#include <string>

#include "editor/action_menu.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

inline constexpr const char* kBalancedMenuText = "Balanced (pink noise)";
inline constexpr double kLearnMinimumSeconds = 15.0;
// The file dialog's patterns for reference files: "*.wav;*.wave;…".
std::string ReferenceFilePatterns();

// What the menu's actions need from the editor beside the plug-in.
struct TargetMenuHooks {
  // Opens the text entry over the chip, pre-filled with a suggested name;
  // what is typed becomes the pending target name.
  std::function<void(const std::string& suggestion)> openSaveEntry;
  // Opens the file dialog; the continuation gets the chosen file's path, or
  // an empty one when the dialog was cancelled.
  std::function<void(std::function<void(const std::string& path)>)> chooseReferenceFile;
};

ActionMenu BuildTargetMenu(const ombrix::EditorCallables& callables, const TargetMenuHooks& hooks = {});

// "Learning 9 s" while learning, "Analysing…" while a file is analysed,
// otherwise the current target's name.
std::string TargetChipLabel(const ombrix::EditorCallables& callables);

// The name the save entry suggests: "Learned target" for a target learned
// from the input, otherwise the current name.
std::string SuggestedTargetName(const ombrix::TargetSummary& current);

}  // namespace tonal_panel
