#include "editor/shorten_text.h"

namespace kestrune::controls {
namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string ShortenToFit(const std::string& text, float width,
                         const std::function<float(const std::string&)>& measure) {
  if (measure(text) <= width) return text;
  std::string kept = text;
  while (!kept.empty()) {
    // Drop one whole character: its continuation bytes and its lead byte.
    std::size_t end = kept.size() - 1;
    while (end > 0 && IsContinuationByte(kept[end])) --end;
    kept.resize(end);
    if (measure(kept + kEllipsis) <= width) break;
  }
  return kept + kEllipsis;
}

}  // namespace kestrune::controls
