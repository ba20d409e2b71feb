#pragma once
// The options that choose what analyses compare against, shared by the
// subcommands that analyse: --target and --crossovers.
#include <string>

#include "library/target_curve.h"
#include "tools/ombrix/command_line.h"
#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

// The target to compare against as an analysis sees it.
BalanceTarget MakeBalanceTarget(const TargetChoice& choice, const dsp::Crossovers& crossovers);

// From --target (default Balanced) and --crossovers (default 200,2000,6000).
BalanceTarget BalanceTargetFromOptions(const ParsedArguments& parsed);

}  // namespace ombrix::cli
