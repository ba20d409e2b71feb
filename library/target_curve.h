#pragma once
// Target curves: one relative level and one spread value per grid point, the
// plug-in's current choice of target, and the ".omtarget" text format.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

#include "core/frequency_grid.h"

namespace ombrix {

inline constexpr std::string_view kTargetHeader = "Ombrix target 1";

// Every target the plug-in takes in, from a target file, a saved state or
// preset, or learning, is held within these ranges: far wider than any real
// tonal balance, and narrow enough that a target file stays a few kilobytes,
// so every file the plug-in writes it can list, read and delete again.
inline constexpr double kTargetLevelLimitDb = 200.0;   // curve: -200 .. +200 dB
inline constexpr double kTargetSpreadLimitDb = 200.0;  // spread: 0 .. 200 dB

// One target as read from text.
struct TargetCurve {
  std::string name;    // UTF-8, compared byte for byte
  std::string source;  // file name of the reference audio, or empty
  dsp::GridCurve curve{};
  dsp::GridCurve spread{};
  std::filesystem::path path;  // empty for factory targets
  bool factory = false;
};

// Stored in the plug-in state as a 32-bit integer: the values never change.
enum class TargetKind : std::int32_t { Balanced = 0, Factory = 1, User = 2, Learned = 3 };

// The plug-in's current target. A default-constructed choice is the built-in
// flat target "Balanced".
struct TargetChoice {
  TargetKind kind = TargetKind::Balanced;
  std::string name = "Balanced";
  std::string source;
  dsp::GridCurve curve{};
  dsp::GridCurve spread{};
};

// The choice made when the user picks a factory target (its source is not copied).
TargetChoice FactoryChoice(const TargetCurve& target);
// The choice made when the user picks or has just saved a target of the library.
TargetChoice UserChoice(const TargetCurve& target);

// Clamps the curve into +-kTargetLevelLimitDb and the spread into
// 0..kTargetSpreadLimitDb; values that are not finite become 0.
void KeepTargetValuesInRange(dsp::GridCurve& curve, dsp::GridCurve& spread);

// Reads one target, its values kept in range. On failure returns false with a reason ending in the
// label, and leaves `target` untouched. The label also stands in for a
// missing or empty name. Accepts LF and CR LF line ends.
bool ReadTargetText(std::istream& in, TargetCurve& target, std::string& error, const std::string& label);

// The text of a target file: LF line ends, "source=" only when not empty,
// CR and LF inside name and source replaced by spaces.
std::string WriteTargetText(const std::string& name, const std::string& source, const dsp::GridCurve& curve,
                            const dsp::GridCurve& spread);

// Reads 180 numbers ("." decimals, whatever the locale) into `values`.
// True only when all 180 were read and are finite; text after them is ignored.
bool ParseLevels(std::string_view text, dsp::GridCurve& values);

// 180 numbers with three decimals, separated by single spaces. A value that
// is not finite is written as "0.000" so the text always reads back.
std::string FormatLevels(const dsp::GridCurve& values);

}  // namespace ombrix
