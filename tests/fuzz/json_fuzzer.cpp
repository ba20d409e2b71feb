// ParseJson on arbitrary bytes: it must neither crash nor throw, and what it
// accepts must survive being written out and read again. QuoteJson of any
// bytes must read back as exactly those bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/json.h"
#include "library/locale_free_numbers.h"

namespace {

using kestrune::updates::JsonValue;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Writes a parsed value back as JSON text; false when a number has no JSON
// spelling (an overflow read as infinity).
bool Write(const JsonValue& value, std::string& out) {
  switch (value.kind) {
    case JsonValue::kNull: out += "null"; return true;
    case JsonValue::kBoolean: out += value.boolean ? "true" : "false"; return true;
    case JsonValue::kNumber:
      if (!std::isfinite(value.number)) return false;
      out += ombrix::FormatShortest(value.number);
      return true;
    case JsonValue::kString: out += kestrune::updates::QuoteJson(value.text); return true;
    case JsonValue::kArray:
      out += '[';
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i > 0) out += ',';
        if (!Write(value.items[i], out)) return false;
      }
      out += ']';
      return true;
    case JsonValue::kObject:
      out += '{';
      for (std::size_t i = 0; i < value.members.size(); ++i) {
        if (i > 0) out += ',';
        out += kestrune::updates::QuoteJson(value.members[i].name);
        out += ':';
        if (!Write(value.members[i].value, out)) return false;
      }
      out += '}';
      return true;
  }
  return false;
}

bool Same(const JsonValue& a, const JsonValue& b) {
  if (a.kind != b.kind || a.boolean != b.boolean || a.text != b.text || a.items.size() != b.items.size() ||
      a.members.size() != b.members.size()) {
    return false;
  }
  if (a.kind == JsonValue::kNumber && a.number != b.number) return false;
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    if (!Same(a.items[i], b.items[i])) return false;
  }
  for (std::size_t i = 0; i < a.members.size(); ++i) {
    if (a.members[i].name != b.members[i].name || !Same(a.members[i].value, b.members[i].value)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto parsed = kestrune::updates::ParseJson(text);
  if (parsed) {
    std::string written;
    if (Write(*parsed, written)) {
      const auto again = kestrune::updates::ParseJson(written);
      Check(again.has_value());
      Check(Same(*parsed, *again));
    }
  }

  const auto quoted = kestrune::updates::ParseJson(kestrune::updates::QuoteJson(text));
  Check(quoted.has_value());
  Check(quoted->kind == JsonValue::kString);
  Check(quoted->text == text);
  return 0;
}
