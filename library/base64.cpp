#include "library/base64.h"

#include <array>

namespace ombrix {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;

constexpr std::array<int, 256> MakeDecodeTable() {
  std::array<int, 256> table{};
  for (int& entry : table) entry = kNotInAlphabet;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  }
  return table;
}

constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

int SextetOf(char c) { return kDecodeTable[static_cast<unsigned char>(c)]; }

}  // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += kAlphabet[group & 63];
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t group = std::uint32_t{bytes[i]} << 16;
    if (left == 2) group |= std::uint32_t{bytes[i + 1]} << 8;
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t at = 0; at < text.size(); at += 4) {
    const bool lastGroup = at + 4 == text.size();
    const int a = SextetOf(text[at]);
    const int b = SextetOf(text[at + 1]);
    if (a == kNotInAlphabet || b == kNotInAlphabet) return std::nullopt;
    const bool thirdIsPad = text[at + 2] == '=';
    const bool fourthIsPad = text[at + 3] == '=';
    if ((thirdIsPad || fourthIsPad) && !lastGroup) return std::nullopt;
    if (thirdIsPad && !fourthIsPad) return std::nullopt;
    const int c = thirdIsPad ? 0 : SextetOf(text[at + 2]);
    const int d = fourthIsPad ? 0 : SextetOf(text[at + 3]);
    if (c == kNotInAlphabet || d == kNotInAlphabet) return std::nullopt;
    const std::uint32_t group = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                                (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    if (!thirdIsPad) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
    if (!fourthIsPad) bytes.push_back(static_cast<std::uint8_t>(group));
  }
  return bytes;
}

}  // namespace ombrix
