#pragma once
// The control tree one layout built: it owns every control in attach order
// and keeps the lookups the idle tick and the controls need (tags, shade
// groups, the controls that follow what they show on every tick).
#include <map>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/layout.h"
#include "editor/panel_control.h"
#include "editor/tick_follower.h"
#include "editor/text_control.h"

namespace kestrune::controls {
class UpdatePillControl;
class PresetBarControl;
}  // namespace kestrune::controls

namespace tonal_panel {

class SettingsMenuControl;

struct EditorControls {
  std::vector<std::unique_ptr<juce::Component>> owned;
  std::map<int, juce::Component*> byTag;
  std::map<ControlId, juce::Component*> byId;
  TextControl* title = nullptr;
  TextControl* status = nullptr;
  std::vector<PanelControl*> correctShades;
  std::vector<PanelControl*> freezeShades;
  std::vector<PanelControl*> bypassShades;
  std::vector<TickFollower*> followers;
  kestrune::controls::UpdatePillControl* updatePill = nullptr;
  kestrune::controls::PresetBarControl* presetBar = nullptr;
  SettingsMenuControl* settingsMenu = nullptr;

  juce::Component* Tagged(int tag) const {
    const auto it = byTag.find(tag);
    return it == byTag.end() ? nullptr : it->second;
  }
  juce::Component* Find(ControlId id) const {
    const auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
  }
};

}  // namespace tonal_panel
