#pragma once
// Shortens a UTF-8 label to a width: the text itself if it fits, else the
// longest run of its whole characters from the start that fits followed by
// "…" ("…" alone when none does). measure gives the drawn width of a text.
#include <functional>
#include <string>

namespace kestrune::controls {

std::string ShortenToFit(const std::string& text, float width, const std::function<float(const std::string&)>& measure);

}  // namespace kestrune::controls
