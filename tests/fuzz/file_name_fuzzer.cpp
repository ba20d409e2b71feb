// File names for arbitrary display names: never more than 80 bytes before
// the extension, no forbidden byte, nothing to trim, no reserved device name,
// and a name that was valid UTF-8 stays valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/file_helpers.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t point = 0;
    if (byte < 0x80) {
      length = 1;
      point = byte;
    } else if ((byte & 0xE0) == 0xC0) {
      length = 2;
      point = byte & 0x1F;
    } else if ((byte & 0xF0) == 0xE0) {
      length = 3;
      point = byte & 0x0F;
    } else if ((byte & 0xF8) == 0xF0) {
      length = 4;
      point = byte & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path path = ombrix::FileNameForName("/folder", name, ".omtarget", "Target");
  Check(path.parent_path() == "/folder");
  const std::string file = ombrix::PathToUtf8(path.filename());
  Check(file.ends_with(".omtarget"));
  std::string stem = file.substr(0, file.size() - std::string_view(".omtarget").size());
  Check(!stem.empty());

  // A reserved device name is the only reason for a "-" after the cut.
  const bool marked = stem.size() > 1 && stem.back() == '-' && stem.size() - 1 <= 80;
  Check(stem.size() <= 80 || (marked && stem.size() == 81));

  for (const char c : stem) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte >= 0x20);
    Check(std::string_view("\"*/:<>?\\|").find(c) == std::string_view::npos);
  }
  Check(stem.front() != ' ' && stem.front() != '.');
  Check(stem.back() != ' ' && stem.back() != '.');
  if (IsValidUtf8(name)) Check(IsValidUtf8(stem));
  return 0;
}
