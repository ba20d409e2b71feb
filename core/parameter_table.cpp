#include "core/parameter_table.h"

#include "core/eq_design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ombrix {
namespace {

using K = ParamKind;
using S = ParamShape;
using U = ParamUnit;
using D = ParamDisplay;

constexpr ParamSpec Bool(const char* name) { return {name, K::Bool, 0.0, 0.0, 1.0, 1.0, S::Linear, U::None, D::OffOn}; }
constexpr ParamSpec Amount(const char* name) { return {name, K::Double, 50.0, 0.0, 100.0, 1.0, S::Linear, U::Percentage, D::Percent}; }
constexpr ParamSpec Frozen(const char* name, D display = D::SignedDb) {
  return {name, K::Double, 0.0, -24.0, 24.0, 0.01, S::Linear, U::Decibels, display};
}
constexpr ParamSpec Crossover(const char* name, double def, double lo, double hi, double step) {
  return {name, K::Double, def, lo, hi, step, S::Exponential, U::Frequency, D::Crossover};
}

constexpr std::array<ParamSpec, kNumParams> kTable{{
    Bool("Bypass"),
    {"Loudness Target", K::Double, -14.0, -36.0, -6.0, 0.5, S::Linear, U::Custom, D::Lufs},
    Crossover("Low Crossover", 200.0, 60.0, 800.0, 1.0),
    Crossover("High Crossover", 6000.0, 1500.0, 16000.0, 10.0),
    Bool("Correct"),
    Amount("Correct Tilt"),
    Amount("Correct Low"),
    Amount("Correct Lo-Mid"),
    Amount("Correct High"),
    {"Correct Speed", K::Double, 15.0, 2.0, 60.0, 0.1, S::Exponential, U::Seconds, D::Speed},
    Bool("Freeze"),
    // Stored as the tilt shelves' gain; shown as the slope it gives, as the
    // editor shows the tilt.
    Frozen("Frozen Tilt", D::TiltSlope),
    Frozen("Frozen Low"),
    Frozen("Frozen Lo-Mid"),
    Frozen("Frozen High"),
    Crossover("Mid Crossover", 2000.0, 400.0, 6000.0, 10.0),
    Amount("Correct Hi-Mid"),
    Frozen("Frozen Hi-Mid"),
}};

std::string Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

const std::array<ParamSpec, kNumParams>& ParamTable() { return kTable; }

const ParamSpec& Param(int index) { return kTable.at(static_cast<std::size_t>(index)); }

std::string FormatParamValue(int index, double value) {
  switch (Param(index).display) {
    case D::OffOn: return IsOn(value) ? "on" : "off";
    case D::Lufs: return Printf("%.1f LUFS", value);
    case D::Crossover: return value >= 1000.0 ? Printf("%.2f kHz", value / 1000.0) : Printf("%.0f Hz", value);
    case D::Percent: return Printf("%.0f %%", value);
    case D::Speed: return value < 10.0 ? Printf("%.1f s", value) : Printf("%.0f s", value);
    case D::SignedDb: return Printf("%+.2f dB", value);
    case D::TiltSlope: return Printf("%+.2f dB/oct", TiltSlope(value, kTiltDisplayRate));
  }
  return {};
}

double ToNormalised(int index, double value) {
  const ParamSpec& p = Param(index);
  double x = 0.0;
  if (p.shape == S::Exponential)
    x = std::log(value / p.minValue) / std::log(p.maxValue / p.minValue);
  else
    x = (value - p.minValue) / (p.maxValue - p.minValue);
  return std::isfinite(x) ? std::clamp(x, 0.0, 1.0) : 0.0;
}

double FromNormalised(int index, double normalised) {
  const ParamSpec& p = Param(index);
  const double x = std::isfinite(normalised) ? std::clamp(normalised, 0.0, 1.0) : 0.0;
  if (p.shape == S::Exponential) return p.minValue * std::pow(p.maxValue / p.minValue, x);
  return p.minValue + x * (p.maxValue - p.minValue);
}

}  // namespace ombrix
