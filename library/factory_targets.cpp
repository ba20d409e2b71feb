#include "library/factory_targets.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace ombrix {
namespace {
#include "library/factory_target_texts.inc"
}  // namespace

TargetChoice BalancedTarget() {
  TargetChoice choice;
  choice.kind = TargetKind::Balanced;
  choice.name = std::string(kBalancedTargetName);
  choice.source.clear();
  choice.curve.fill(0.0);
  choice.spread.fill(0.0);
  return choice;
}

std::vector<std::string_view> FactoryTargetTexts() {
  return std::vector<std::string_view>(std::begin(kFactoryTargetTexts), std::end(kFactoryTargetTexts));
}

std::vector<TargetCurve> LoadFactoryTargets() {
  std::vector<TargetCurve> targets;
  const std::string label(kFactoryTargetLabel);
  for (std::string_view text : FactoryTargetTexts()) {
    std::istringstream in{std::string(text)};
    TargetCurve target;
    std::string error;
    if (!ReadTargetText(in, target, error, label)) continue;
    target.factory = true;
    targets.push_back(std::move(target));
  }
  std::stable_sort(targets.begin(), targets.end(),
            [](const TargetCurve& a, const TargetCurve& b) { return a.name < b.name; });
  return targets;
}

}  // namespace ombrix
