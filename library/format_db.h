#pragma once
// Decibel and LUFS figures as the editor shows them: one decimal, the Unicode
// minus sign, "−inf" for nothing measured. Pure; no allocation beyond the
// returned string.
#include <string>

namespace kestrune::controls {

// The floor at or below which a level counts as nothing measured.
inline constexpr double kSilenceFloorDb = -149.0;

// value rounded to one decimal; a negative result gets "−" (U+2212), a
// positive one "+" when plusSign is set, zero no sign. With dropZeroDecimal a
// whole number is shown without its ".0". "−inf" at or below floor (and for a
// value that is not a number).
std::string FormatDb(double value, bool plusSign, bool dropZeroDecimal, double floor = kSilenceFloorDb);

}  // namespace kestrune::controls
