#include "editor/target_menu.h"

namespace tonal_panel {

ActionMenu BuildTargetMenu(const ombrix::EditorCallables& callables) {
  const ombrix::TargetSummary current = callables.currentTarget ? callables.currentTarget() : ombrix::TargetSummary{};
  ActionMenu menu;
  menu.Add({kBalancedMenuText, true, current.kind == ombrix::TargetKind::Balanced}, callables.selectBalancedTarget);
  const std::vector<std::string> factory =
      callables.factoryTargetNames ? callables.factoryTargetNames() : std::vector<std::string>{};
  for (const std::string& name : factory) {
    const bool ticked = current.kind == ombrix::TargetKind::Factory && current.name == name;
    menu.Add({name, true, ticked}, [select = callables.selectFactoryTarget, name] {
      if (select) select(name);
    });
  }
  return menu;
}

std::string TargetChipLabel(const ombrix::EditorCallables& callables) {
  return callables.currentTarget ? callables.currentTarget().name : std::string();
}

}  // namespace tonal_panel
