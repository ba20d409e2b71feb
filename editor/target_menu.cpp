#include "editor/target_menu.h"

#include <cmath>

namespace tonal_panel {
namespace {

// Whole seconds, as the menu and the chip count them.
long WholeSeconds(double seconds) { return static_cast<long>(std::max(0.0, seconds)); }

template <typename Result>
Result Call(const std::function<Result()>& f, Result fallback = {}) {
  return f ? f() : fallback;
}

void AddLearningItems(ActionMenu& menu, const ombrix::EditorCallables& c, bool learning, bool analysing) {
  if (learning) {
    const double seconds = Call(c.learnedSeconds, 0.0);
    const std::string s = std::to_string(WholeSeconds(seconds));
    if (seconds >= kLearnMinimumSeconds)
      menu.Add({"Finish learning (" + s + " s)"}, c.finishLearning);
    else
      menu.Add({"Learning\xE2\x80\xA6 " + s + " of 15 s", false});
    menu.Add({"Cancel learning"}, c.cancelLearning);
    return;
  }
  menu.Add({"Learn from input", !analysing}, c.startLearning);
}

void AddReferenceFileItem(ActionMenu& menu, const ombrix::EditorCallables& c, const TargetMenuHooks& hooks,
                          bool learning, bool analysing) {
  const std::string text = analysing ? "Analysing a file\xE2\x80\xA6" : "Learn from reference file\xE2\x80\xA6";
  menu.Add({text, !analysing && !learning}, [c, choose = hooks.chooseReferenceFile] {
    if (!choose) return;
    choose([c](const std::string& path) {
      if (path.empty()) return;
      // Learning or another analysis may have started while the dialog was open.
      if (Call(c.learning, false) || Call(c.analysingReferenceFile, false)) return;
      if (c.learnFromReferenceFile) c.learnFromReferenceFile(path);
    });
  });
}

}  // namespace

ActionMenu BuildTargetMenu(const ombrix::EditorCallables& c, const TargetMenuHooks& hooks) {
  const ombrix::TargetSummary current = Call(c.currentTarget);
  const bool learning = Call(c.learning, false);
  const bool analysing = Call(c.analysingReferenceFile, false);
  ActionMenu menu;
  menu.Add({kBalancedMenuText, true, current.kind == ombrix::TargetKind::Balanced}, c.selectBalancedTarget);
  for (const std::string& name : Call(c.factoryTargetNames)) {
    const bool ticked = current.kind == ombrix::TargetKind::Factory && current.name == name;
    menu.Add({name, true, ticked}, [select = c.selectFactoryTarget, name] {
      if (select) select(name);
    });
  }
  menu.AddSeparator();
  AddLearningItems(menu, c, learning, analysing);
  AddReferenceFileItem(menu, c, hooks, learning, analysing);
  menu.AddSeparator();
  const std::vector<ombrix::TargetCurve> saved = Call(c.userTargets);
  for (const ombrix::TargetCurve& target : saved) {
    const bool ticked = current.kind == ombrix::TargetKind::User && current.name == target.name;
    menu.Add({target.name, true, ticked}, [select = c.selectUserTarget, target] {
      if (select) select(target);
    });
  }
  if (saved.empty()) menu.Add({"No saved targets", false});
  menu.AddSeparator();
  menu.Add({"Save target\xE2\x80\xA6", !learning}, [open = hooks.openSaveEntry, current] {
    if (open) open(SuggestedTargetName(current));
  });
  if (current.kind == ombrix::TargetKind::User)
    menu.Add({"Delete \xE2\x80\x9C" + current.name + "\xE2\x80\x9D\xE2\x80\xA6"}, c.deleteCurrentTarget);
  return menu;
}

std::string TargetChipLabel(const ombrix::EditorCallables& c) {
  if (Call(c.learning, false)) return "Learning " + std::to_string(WholeSeconds(Call(c.learnedSeconds, 0.0))) + " s";
  if (Call(c.analysingReferenceFile, false)) return "Analysing\xE2\x80\xA6";
  return Call(c.currentTarget).name;
}

std::string ReferenceFilePatterns() {
  std::string patterns;
  std::string extensions = ombrix::kReferenceFileExtensions;
  std::size_t start = 0;
  while (start < extensions.size()) {
    std::size_t end = extensions.find(' ', start);
    if (end == std::string::npos) end = extensions.size();
    if (end > start) patterns += (patterns.empty() ? "*." : ";*.") + extensions.substr(start, end - start);
    start = end + 1;
  }
  return patterns;
}

std::string SuggestedTargetName(const ombrix::TargetSummary& current) {
  if (current.kind == ombrix::TargetKind::Learned && current.source.empty()) return "Learned target";
  return current.name;
}

}  // namespace tonal_panel
