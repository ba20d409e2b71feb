#pragma once
// The loudness target chip's label and menu: three common targets with a
// check mark on the current one, and "Type a value…", which opens a text
// entry pre-filled with the current target. Reads and sets the "Loudness
// Target" parameter (a set is one host gesture).
#include <functional>
#include <string>

#include "editor/action_menu.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

// "−14 LUFS", "−14.5 LUFS".
std::string LoudnessTargetLabel(double target);
// "-14.0": what the text entry starts with.
std::string LoudnessTargetEntryText(double target);

// typeValue opens the text entry; afterSet runs once a target was set.
ActionMenu BuildLoudnessTargetMenu(const ombrix::ParameterCallables& parameters, std::function<void()> typeValue,
                                   std::function<void()> afterSet);

}  // namespace tonal_panel
