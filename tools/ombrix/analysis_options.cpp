#include "tools/ombrix/analysis_options.h"

#include "library/factory_targets.h"
#include "tools/ombrix/option_values.h"
#include "tools/ombrix/target_lookup.h"

namespace ombrix::cli {

BalanceTarget MakeBalanceTarget(const TargetChoice& choice, const dsp::Crossovers& crossovers) {
  BalanceTarget target;
  target.name = choice.name;
  target.levels = choice.curve;
  target.spread = choice.spread;
  target.crossovers = crossovers;
  return target;
}

BalanceTarget BalanceTargetFromOptions(const ParsedArguments& parsed) {
  const std::optional<std::string> targetOption = parsed.Value("target");
  const TargetChoice choice = targetOption ? ResolveTarget(*targetOption) : BalancedTarget();
  const std::optional<std::string> crossoverOption = parsed.Value("crossovers");
  const dsp::Crossovers crossovers =
      crossoverOption ? ParseCrossovers(*crossoverOption) : dsp::SanitizeCrossovers(200.0, 2000.0, 6000.0);
  return MakeBalanceTarget(choice, crossovers);
}

}  // namespace ombrix::cli
