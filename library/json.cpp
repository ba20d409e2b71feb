#include "library/json.h"

#include <cmath>
#include <limits>

#include "library/locale_free_numbers.h"

namespace kestrune::updates {
namespace {

constexpr int kMaxDepth = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> ParseDocument() {
    JsonValue value;
    if (!ParseValue(0, value)) return std::nullopt;
    SkipWhiteSpace();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }

  void SkipWhiteSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++pos_;
  }

  bool ParseValue(int depth, JsonValue& out) {
    if (depth > kMaxDepth) return false;
    SkipWhiteSpace();
    if (AtEnd()) return false;
    switch (Peek()) {
      case '"':
        out.kind = JsonValue::kString;
        return ParseString(out.text);
      case '[':
        return ParseArray(depth, out);
      case '{':
        return ParseObject(depth, out);
      case 't':
        out.kind = JsonValue::kBoolean;
        out.boolean = true;
        return ParseWord("true");
      case 'f':
        out.kind = JsonValue::kBoolean;
        out.boolean = false;
        return ParseWord("false");
      case 'n':
        out.kind = JsonValue::kNull;
        return ParseWord("null");
      default:
        out.kind = JsonValue::kNumber;
        return ParseNumber(out.number);
    }
  }

  bool ParseWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool ParseArray(int depth, JsonValue& out) {
    out.kind = JsonValue::kArray;
    ++pos_;  // [
    SkipWhiteSpace();
    if (!AtEnd() && Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      out.items.emplace_back();
      if (!ParseValue(depth + 1, out.items.back())) return false;
      SkipWhiteSpace();
      if (AtEnd()) return false;
      const char c = text_[pos_++];
      if (c == ']') return true;
      if (c != ',') return false;
    }
  }

  bool ParseObject(int depth, JsonValue& out) {
    out.kind = JsonValue::kObject;
    ++pos_;  // {
    SkipWhiteSpace();
    if (!AtEnd() && Peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      SkipWhiteSpace();
      if (AtEnd() || Peek() != '"') return false;
      JsonMember& member = out.members.emplace_back();
      if (!ParseString(member.name)) return false;
      SkipWhiteSpace();
      if (AtEnd() || Peek() != ':') return false;
      ++pos_;
      if (!ParseValue(depth + 1, member.value)) return false;
      SkipWhiteSpace();
      if (AtEnd()) return false;
      const char c = text_[pos_++];
      if (c == '}') return true;
      if (c != ',') return false;
    }
  }

  bool ParseHexUnit(std::uint32_t& unit) {
    if (text_.size() - pos_ < 4) return false;
    unit = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const int digit = HexValue(text_[pos_ + i]);
      if (digit < 0) return false;
      unit = unit * 16 + static_cast<std::uint32_t>(digit);
    }
    pos_ += 4;
    return true;
  }

  bool ParseString(std::string& out) {
    ++pos_;  // opening quote
    for (;;) {
      if (AtEnd()) return false;
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (AtEnd()) return false;
      switch (text_[pos_++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t unit = 0;
          if (!ParseHexUnit(unit)) return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.substr(pos_, 2) != "\\u") return false;
            pos_ += 2;
            if (!ParseHexUnit(low) || low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + (unit - 0xD800) * 0x400 + (low - 0xDC00);
          }
          AppendUtf8(out, unit);
          break;
        }
        default:
          return false;
      }
    }
  }

  bool ParseNumber(double& out) {
    const std::size_t start = pos_;
    const bool negative = !AtEnd() && Peek() == '-';
    if (negative) ++pos_;
    if (AtEnd() || !IsDigit(Peek())) return false;
    const std::size_t integerStart = pos_;
    if (Peek() == '0') {
      ++pos_;
    } else {
      while (!AtEnd() && IsDigit(Peek())) ++pos_;
    }
    const std::size_t integerEnd = pos_;
    std::size_t fractionStart = pos_;
    std::size_t fractionEnd = pos_;
    if (!AtEnd() && Peek() == '.') {
      ++pos_;
      fractionStart = pos_;
      if (AtEnd() || !IsDigit(Peek())) return false;
      while (!AtEnd() && IsDigit(Peek())) ++pos_;
      fractionEnd = pos_;
    }
    long long exponent = 0;
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      ++pos_;
      bool negativeExponent = false;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) negativeExponent = text_[pos_++] == '-';
      if (AtEnd() || !IsDigit(Peek())) return false;
      while (!AtEnd() && IsDigit(Peek())) {
        exponent = std::min<long long>(exponent * 10 + (text_[pos_++] - '0'), 1'000'000'000LL);
      }
      if (negativeExponent) exponent = -exponent;
    }

    if (auto value = ombrix::ParseNumber(text_.substr(start, pos_ - start))) {
      out = *value;
      return true;
    }
    // Out of the range of a double: the magnitude's decimal exponent tells
    // whether it overflowed (an infinity) or underflowed (zero).
    const std::string_view integer = text_.substr(integerStart, integerEnd - integerStart);
    const std::string_view fraction = text_.substr(fractionStart, fractionEnd - fractionStart);
    long long leading = static_cast<long long>(integer.size()) - 1;  // decimal exponent of the first digit
    std::size_t i = 0;
    for (; i < integer.size() && integer[i] == '0'; ++i) --leading;
    if (i == integer.size()) {
      for (std::size_t j = 0; j < fraction.size() && fraction[j] == '0'; ++j) --leading;
    }
    const double magnitude = leading + exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    out = negative ? -magnitude : magnitude;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
  if (kind != kObject) return nullptr;
  for (const JsonMember& member : members) {
    if (member.name == name) return &member.value;
  }
  return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text) { return Parser(text).ParseDocument(); }

std::string QuoteJson(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() + 2);
  out += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0F];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace kestrune::updates
