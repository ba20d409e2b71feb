#pragma once
// The targets that come with the plug-in: the flat built-in "Balanced" and the
// five factory genre balances, whose texts are compiled into the binary.
#include <string_view>
#include <vector>

#include "library/target_curve.h"

namespace ombrix {

// Reserved: no user target may be saved under this name.
inline constexpr std::string_view kBalancedTargetName = "Balanced";
// Label the factory texts are read under.
inline constexpr std::string_view kFactoryTargetLabel = "factory target";

// The built-in target: kind Balanced, name "Balanced", no source, all zeros.
TargetChoice BalancedTarget();

// The five factory texts in their fixed order (Dance, Metal, Pop, Rock, Schlager).
std::vector<std::string_view> FactoryTargetTexts();

// Reads every factory text; the ones that read get the factory flag and join
// the list, which is sorted by name in byte order. A text that fails is left out.
std::vector<TargetCurve> LoadFactoryTargets();

}  // namespace ombrix
