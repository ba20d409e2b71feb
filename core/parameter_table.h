#pragma once
// The 18 automatable parameters. Hosts and stored automation address them by
// index, so the order below never changes.
#include <array>
#include <string>

#include "core/correction_settings.h"

namespace ombrix {

enum ParamIndex : int {
  kBypass = 0,
  kLoudnessTarget = 1,
  kLowCrossover = 2,
  kHighCrossover = 3,
  kCorrect = 4,
  kCorrectTilt = 5,
  kCorrectLow = 6,
  kCorrectLoMid = 7,
  kCorrectHigh = 8,
  kCorrectSpeed = 9,
  kFreeze = 10,
  kFrozenTilt = 11,
  kFrozenLow = 12,
  kFrozenLoMid = 13,
  kFrozenHigh = 14,
  kMidCrossover = 15,
  kCorrectHiMid = 16,
  kFrozenHiMid = 17,
  kNumParams = 18
};

// Parameter indices in band order: tilt, Low, Lo-Mid, Hi-Mid, High.
inline constexpr std::array<int, 5> kAmountParams{kCorrectTilt, kCorrectLow, kCorrectLoMid, kCorrectHiMid, kCorrectHigh};
inline constexpr std::array<int, 5> kFrozenParams{kFrozenTilt, kFrozenLow, kFrozenLoMid, kFrozenHiMid, kFrozenHigh};

enum class ParamKind { Bool, Double };
enum class ParamShape { Linear, Exponential };
enum class ParamUnit { None, Custom, Frequency, Percentage, Seconds, Decibels };
enum class ParamDisplay { OffOn, Lufs, Crossover, Percent, Speed, SignedDb, TiltSlope };

struct ParamSpec {
  const char* name;
  ParamKind kind;
  double defaultValue;
  double minValue;
  double maxValue;
  double step;
  ParamShape shape;
  ParamUnit unit;
  ParamDisplay display;
};

const std::array<ParamSpec, kNumParams>& ParamTable();
const ParamSpec& Param(int index);

// The host-facing text of a real (not normalised) value.
std::string FormatParamValue(int index, double value);
// The rate at which a tilt gain is shown as a slope: texts must not depend on
// the session's rate.
inline constexpr double kTiltDisplayRate = 48000.0;

// Normalised 0..1 <-> real value, following the parameter's shape.
double ToNormalised(int index, double value);
double FromNormalised(int index, double normalised);

// Booleans count as on at 0.5 or more.
inline bool IsOn(double value) { return value >= 0.5; }

// Reads the nine correction fields from a value accessor (index -> real value).
template <typename ValueOf>
CorrectionSettings MakeCorrectionSettings(ValueOf&& valueOf) {
  CorrectionSettings s;
  for (int k = 0; k < 5; ++k) s.amount[k] = valueOf(kAmountParams[k]) / 100.0;
  s.speedSeconds = valueOf(kCorrectSpeed);
  s.lowCrossover = valueOf(kLowCrossover);
  s.midCrossover = valueOf(kMidCrossover);
  s.highCrossover = valueOf(kHighCrossover);
  return s;
}

}  // namespace ombrix
