#include "library/target_curve.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "library/locale_free_numbers.h"

namespace ombrix {
namespace {

constexpr int kLevelDecimals = 3;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of `text` that is a decimal number: optional
// sign, digits with an optional "." fraction (at least one digit in all),
// optional exponent. 0 when there is none.
std::size_t NumberLength(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  std::size_t digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (exponent < text.size() && IsDigit(text[exponent])) {
      while (exponent < text.size() && IsDigit(text[exponent])) ++exponent;
      pos = exponent;
    }
  }
  return pos;
}

void RemoveTrailingCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

std::string WithoutLineBreaks(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

TargetChoice FactoryChoice(const TargetCurve& target) {
  TargetChoice choice;
  choice.kind = TargetKind::Factory;
  choice.name = target.name;
  choice.source.clear();
  choice.curve = target.curve;
  choice.spread = target.spread;
  return choice;
}

TargetChoice UserChoice(const TargetCurve& target) {
  TargetChoice choice;
  choice.kind = TargetKind::User;
  choice.name = target.name;
  choice.source = target.source;
  choice.curve = target.curve;
  choice.spread = target.spread;
  return choice;
}

void KeepTargetValuesInRange(dsp::GridCurve& curve, dsp::GridCurve& spread) {
  for (double& level : curve) {
    level = std::isfinite(level) ? std::clamp(level, -kTargetLevelLimitDb, kTargetLevelLimitDb) : 0.0;
  }
  for (double& value : spread) value = std::isfinite(value) ? std::clamp(value, 0.0, kTargetSpreadLimitDb) : 0.0;
}

bool ParseLevels(std::string_view text, dsp::GridCurve& values) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    const std::size_t length = NumberLength(text.substr(pos));
    if (length == 0) return false;
    const std::optional<double> value = ParseNumber(text.substr(pos, length));
    if (!value || !std::isfinite(*value)) return false;
    values[i] = *value;
    pos += length;
  }
  return true;
}

std::string FormatLevels(const dsp::GridCurve& values) {
  std::string text;
  text.reserve(values.size() * 8);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ' ';
    text += FormatFixed(std::isfinite(values[i]) ? values[i] : 0.0, kLevelDecimals);
  }
  return text;
}

std::string WriteTargetText(const std::string& name, const std::string& source, const dsp::GridCurve& curve,
                            const dsp::GridCurve& spread) {
  std::string text;
  text.append(kTargetHeader).append("\n");
  text.append("name=").append(WithoutLineBreaks(name)).append("\n");
  if (!source.empty()) text.append("source=").append(WithoutLineBreaks(source)).append("\n");
  text.append("points=").append(std::to_string(dsp::kGridPoints)).append("\n");
  text.append("curve=").append(FormatLevels(curve)).append("\n");
  text.append("spread=").append(FormatLevels(spread)).append("\n");
  return text;
}

bool ReadTargetText(std::istream& in, TargetCurve& target, std::string& error, const std::string& label) {
  std::string line;
  if (!std::getline(in, line)) {
    error = "not an Ombrix target: " + label;
    return false;
  }
  RemoveTrailingCarriageReturn(line);
  if (line != kTargetHeader) {
    error = "not an Ombrix target: " + label;
    return false;
  }

  TargetCurve read;
  const std::string gridSize = std::to_string(dsp::kGridPoints);
  bool pointsAccepted = false;
  bool curveComplete = false;
  bool spreadComplete = false;
  while (std::getline(in, line)) {
    RemoveTrailingCarriageReturn(line);
    const std::size_t equals = line.find('=');
    if (line.empty() || equals == std::string::npos) continue;
    const std::string_view key = std::string_view(line).substr(0, equals);
    const std::string_view value = std::string_view(line).substr(equals + 1);
    if (key == "name") {
      read.name = value;
    } else if (key == "source") {
      read.source = value;
    } else if (key == "points") {
      pointsAccepted = value == gridSize;
    } else if (key == "curve") {
      curveComplete = ParseLevels(value, read.curve);
    } else if (key == "spread") {
      spreadComplete = ParseLevels(value, read.spread);
    }
  }

  if (!pointsAccepted) {
    error = "the target was written for another frequency grid: " + label;
    return false;
  }
  if (!curveComplete) {
    error = "the target has no complete curve: " + label;
    return false;
  }
  if (!spreadComplete) read.spread.fill(0.0);
  KeepTargetValuesInRange(read.curve, read.spread);
  if (read.name.empty()) read.name = label;
  target = std::move(read);
  return true;
}

}  // namespace ombrix
