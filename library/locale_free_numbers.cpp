#include "library/locale_free_numbers.h"

#include <charconv>
#include <cmath>

namespace ombrix {

std::string FormatFixed(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[512];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "nan";
  return std::string(buffer, result.ptr);
}

std::string FormatShortest(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string_view body = text;
  bool negative = false;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  // from_chars would accept "inf"/"nan" spellings; only plain decimals are numbers here.
  if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.')) return std::nullopt;
  double value = 0.0;
  auto result = std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) return std::nullopt;
  if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace ombrix
