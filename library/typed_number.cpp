#include "library/typed_number.h"

#include <algorithm>
#include <cmath>

namespace kestrune::controls {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view kUnicodeMinus = "\xE2\x88\x92";

}  // namespace

std::optional<double> ParseTypedNumber(std::string_view text, double minimum, double maximum, bool allowK) {
  std::size_t i = 0;
  const auto skipSpace = [&] {
    while (i < text.size() && IsSpace(text[i])) ++i;
  };
  skipSpace();
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  } else if (text.substr(i, kUnicodeMinus.size()) == kUnicodeMinus) {
    negative = true;
    i += kUnicodeMinus.size();
  }
  skipSpace();

  double value = 0.0;
  int digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    value = value * 10.0 + (text[i] - '0');
    ++digits;
    ++i;
  }
  if (i + 1 < text.size() && (text[i] == '.' || text[i] == ',')) {
    if (!IsDigit(text[i + 1]) && digits == 0) return std::nullopt;
    ++i;
    double scale = 0.1;
    while (i < text.size() && IsDigit(text[i])) {
      value += (text[i] - '0') * scale;
      scale *= 0.1;
      ++digits;
      ++i;
    }
  }
  if (digits == 0) return std::nullopt;
  skipSpace();
  if (allowK && i < text.size() && (text[i] == 'k' || text[i] == 'K')) value *= 1000.0;
  if (negative) value = -value;
  if (!std::isfinite(value)) value = negative ? minimum : maximum;
  return std::clamp(value, minimum, maximum);
}

}  // namespace kestrune::controls
