#pragma once
// The target named on the command line: "Balanced", one of the factory
// targets by name (letter case aside), or a target file (".omtarget").
#include <string>

#include "library/target_curve.h"

namespace ombrix::cli {

// An unknown name throws UsageError; a target file that cannot be read
// throws Failure with the reader's reason.
TargetChoice ResolveTarget(const std::string& nameOrFile);

// "Balanced, Dance, Metal, ...", for help and messages.
std::string TargetNames();

}  // namespace ombrix::cli
