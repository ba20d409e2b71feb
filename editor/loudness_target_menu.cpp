#include "editor/loudness_target_menu.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "core/parameter_table.h"
#include "library/format_db.h"

namespace tonal_panel {
namespace {

struct Preset {
  double lufs;
  const char* text;
};
constexpr std::array<Preset, 3> kPresets{{
    {-14.0, "−14 LUFS · streaming"},
    {-16.0, "−16 LUFS"},
    {-23.0, "−23 LUFS · broadcast"},
}};

}  // namespace

std::string LoudnessTargetLabel(double target) { return kestrune::controls::FormatDb(target, false, true) + " LUFS"; }

std::string LoudnessTargetEntryText(double target) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", target);
  return text;
}

ActionMenu BuildLoudnessTargetMenu(const ombrix::ParameterCallables& parameters, std::function<void()> typeValue,
                                   std::function<void()> afterSet) {
  const double target = parameters.value(ombrix::kLoudnessTarget);
  ActionMenu menu;
  for (const Preset& preset : kPresets) {
    const bool ticked = std::abs(target - preset.lufs) < 1e-6;
    menu.Add({preset.text, true, ticked}, [parameters, lufs = preset.lufs, afterSet] {
      ombrix::SetAsGesture(parameters, ombrix::kLoudnessTarget, lufs);
      if (afterSet) afterSet();
    });
  }
  menu.AddSeparator();
  menu.Add({"Type a value…"}, std::move(typeValue));
  return menu;
}

}  // namespace tonal_panel
