#include "tools/ombrix/option_values.h"

#include <array>
#include <cmath>

#include "core/parameter_table.h"
#include "library/plugin_state.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/command_error.h"

namespace ombrix::cli {

namespace {

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

double CrossoverWithinRange(int index, const std::string& text) {
  const ParamSpec& spec = Param(index);
  const std::optional<double> value = ParseNumber(Trimmed(text));
  if (!value || !std::isfinite(*value))
    throw UsageError("--crossovers: \"" + text + "\" is not a number of Hz");
  if (*value < spec.minValue || *value > spec.maxValue)
    throw UsageError(std::string("--crossovers: the ") + spec.name + " must lie between " +
                     FormatFixed(spec.minValue, 0) + " and " + FormatFixed(spec.maxValue, 0) + " Hz");
  return *value;
}

}  // namespace

double ParseLoudnessTarget(std::string_view text) {
  const ParamSpec& spec = Param(kLoudnessTarget);
  const std::optional<double> value = ParseNumber(Trimmed(text));
  if (!value || !std::isfinite(*value) || *value < spec.minValue || *value > spec.maxValue)
    throw UsageError("--loudness-target: \"" + std::string(text) + "\" is not a loudness between " +
                     FormatFixed(spec.minValue, 0) + " and " + FormatFixed(spec.maxValue, 0) + " LUFS");
  return *value;
}

dsp::Crossovers ParseCrossovers(std::string_view text) {
  std::array<std::string, 3> parts;
  std::size_t part = 0;
  for (char c : text) {
    if (c == ',') {
      if (++part == parts.size()) break;
      continue;
    }
    parts[part] += c;
  }
  if (part != 2) throw UsageError("--crossovers needs three frequencies, LOW,MID,HIGH in Hz");
  const double low = CrossoverWithinRange(kLowCrossover, parts[0]);
  const double mid = CrossoverWithinRange(kMidCrossover, parts[1]);
  const double high = CrossoverWithinRange(kHighCrossover, parts[2]);
  return dsp::SanitizeCrossovers(low, mid, high);
}

double ParseSeconds(std::string_view option, std::string_view text) {
  const std::optional<double> value = ParseNumber(Trimmed(text));
  if (!value || !std::isfinite(*value) || *value < 0.0)
    throw UsageError(std::string(option) + " needs a number of seconds, 0 or more");
  return *value;
}

int ParseBits(std::string_view text) {
  if (text == "16") return 16;
  if (text == "24") return 24;
  if (text == "32") return 0;
  throw UsageError("--bits must be 16 or 24 (32-bit float is the default)");
}

ParameterAssignment ParseParameterAssignment(std::string_view text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos)
    throw UsageError("--set needs NAME=VALUE, for instance \"Correct Speed=5\"");
  const std::string name = Trimmed(text.substr(0, equals));
  const std::string valueText = Trimmed(text.substr(equals + 1));

  ParameterAssignment assignment;
  assignment.index = -1;
  for (int i = 0; i < kNumParams; ++i)
    if (SameIgnoringCase(Param(i).name, name)) assignment.index = i;
  if (assignment.index < 0)
    throw UsageError("--set: no parameter named \"" + name + "\" (" + ParameterNames() + ")");

  const ParamSpec& spec = Param(assignment.index);
  if (spec.kind == ParamKind::Bool) {
    if (SameIgnoringCase(valueText, "on") || valueText == "1") {
      assignment.value = 1.0;
    } else if (SameIgnoringCase(valueText, "off") || valueText == "0") {
      assignment.value = 0.0;
    } else {
      throw UsageError(std::string("--set: ") + spec.name + " takes on or off");
    }
    return assignment;
  }
  const std::optional<double> value = ParseNumber(valueText);
  if (!value || !std::isfinite(*value))
    throw UsageError(std::string("--set: ") + spec.name + " needs a number, not \"" + valueText + "\"");
  assignment.value = ClampParamValue(assignment.index, *value);
  return assignment;
}

std::string ParameterNames() {
  std::string names;
  for (int i = 0; i < kNumParams; ++i) {
    if (i > 0) names += ", ";
    names += Param(i).name;
  }
  return names;
}

}  // namespace ombrix::cli
