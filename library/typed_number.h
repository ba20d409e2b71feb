#pragma once
// Numbers typed by the user into the editor's text entries: a forgiving
// reader that takes "14", "-14 LUFS", "1,5", "2k" or "−3" (Unicode minus).
#include <optional>
#include <string_view>

namespace kestrune::controls {

// Reads an optionally signed decimal number ("." or "," as separator) at the
// start of text, after white space; with allowK a following "k" or "K"
// multiplies by 1000. Any further text is ignored. The value is clamped to
// minimum..maximum. Nothing when no digit was read.
std::optional<double> ParseTypedNumber(std::string_view text, double minimum, double maximum, bool allowK);

}  // namespace kestrune::controls
