#include "library/format_db.h"

#include <cmath>
#include <cstdio>

namespace kestrune::controls {
namespace {
constexpr const char* kUnicodeMinus = "−";
}  // namespace

std::string FormatDb(double value, bool plusSign, bool dropZeroDecimal, double floor) {
  std::string text;
  if (!(value > floor)) return text.append(kUnicodeMinus).append("inf");
  if (std::isinf(value)) return text.append(plusSign ? "+inf" : "inf");
  const double d = std::round(10.0 * value) / 10.0;
  const double magnitude = std::abs(d);
  char digits[32];
  const bool whole = magnitude == std::floor(magnitude);
  std::snprintf(digits, sizeof digits, dropZeroDecimal && whole ? "%.0f" : "%.1f", magnitude);
  if (d < 0.0)
    text.append(kUnicodeMinus);
  else if (d > 0.0 && plusSign)
    text.append("+");
  return text.append(digits);
}

}  // namespace kestrune::controls
