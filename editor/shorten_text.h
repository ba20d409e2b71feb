#pragma once
// Shortens a UTF-8 text to a width: whole characters are removed from its
// end and "…" appended until it fits; "…" alone when nothing fits.
#include <functional>
#include <string>

namespace tonal_panel {

std::string ShortenToWidth(const std::string& utf8, float width, const std::function<float(const std::string&)>& measure);

}  // namespace tonal_panel
