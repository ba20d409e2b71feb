#pragma once
// Number text that always uses "." as the decimal separator, whatever the
// process locale says. Files and feeds must read the same on every machine.
#include <optional>
#include <string>
#include <string_view>

namespace ombrix {

// Fixed notation with the given number of decimals ("%.*f" in the C locale).
std::string FormatFixed(double value, int decimals);

// Shortest text that reads back to exactly the same double.
std::string FormatShortest(double value);

// Parses the whole of text as a decimal number (optional sign, digits,
// optional fraction and exponent). Leading/trailing spaces are not accepted.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace ombrix
