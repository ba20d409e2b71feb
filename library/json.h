#pragma once
// A small, strict JSON reader and the quoting of one string, for the update
// feed and its cache. There is no general writer.
//
// The reader accepts exactly one value surrounded by optional white space
// (space, tab, LF, CR), nested at most 8 deep (the top-level value is depth 0).
// Numbers follow the JSON grammar (no leading zeros, no "+", ".5", "1.",
// hexadecimal, Infinity or NaN) and are read with "." as the decimal separator
// whatever the locale; a number beyond the range of a double reads as an
// infinity, one below it as zero. Strings decode every JSON escape; surrogate
// pairs must be complete. Raw bytes of 0x80 and above in strings are taken
// as they are, without checking their UTF-8 form. Malformed input of any kind
// makes the whole parse fail, without exceptions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::updates {

struct JsonMember;

struct JsonValue {
  enum Kind : std::uint8_t { kNull = 0, kBoolean = 1, kNumber = 2, kString = 3, kArray = 4, kObject = 5 };

  Kind kind = kNull;
  bool boolean = false;
  double number = 0.0;
  std::string text;                  // decoded content of a string, UTF-8
  std::vector<JsonValue> items;      // elements of an array, in order
  std::vector<JsonMember> members;   // members of an object in document order; duplicates kept

  bool IsObject() const { return kind == kObject; }
  bool IsString() const { return kind == kString; }
  bool IsNumber() const { return kind == kNumber; }

  // The first member with this name, or null (also for values that are not objects).
  const JsonValue* Find(std::string_view name) const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

// The value of the whole text, or nothing when the text is not exactly one
// complete JSON value. Never throws on malformed input.
std::optional<JsonValue> ParseJson(std::string_view text);

// The bytes as a JSON string literal, quotes included: '"' and '\' are
// escaped, LF, CR and tab become \n, \r, \t, other bytes below 0x20 become
// \u00XX (lower-case hex); everything else, 0x7F and bytes of 0x80 and above
// included, is copied unchanged, so invalid UTF-8 passes through as it is.
// ParseJson of the result gives back the input byte for byte.
std::string QuoteJson(std::string_view bytes);

}  // namespace kestrune::updates
