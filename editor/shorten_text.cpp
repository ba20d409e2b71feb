#include "editor/shorten_text.h"

namespace tonal_panel {
namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";

// The length of the text without its last UTF-8 character.
std::size_t WithoutLastCharacter(const std::string& text, std::size_t length) {
  if (length == 0) return 0;
  std::size_t n = length - 1;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

std::string ShortenToWidth(const std::string& utf8, float width, const std::function<float(const std::string&)>& measure) {
  if (measure(utf8) <= width) return utf8;
  std::size_t length = utf8.size();
  while (length > 0) {
    length = WithoutLastCharacter(utf8, length);
    std::string candidate = utf8.substr(0, length) + kEllipsis;
    if (measure(candidate) <= width) return candidate;
  }
  return kEllipsis;
}

}  // namespace tonal_panel
