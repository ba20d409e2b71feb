#pragma once
// Base64 with the standard alphabet (A-Z, a-z, 0-9, "+", "/") and "="
// padding, on one line. Decoding is strict about characters and lenient only
// about the unused low bits of a padded last group.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix {

// The last group is filled up to four characters with "="; no line breaks.
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

// Nothing unless the length is a multiple of four, every character is of the
// alphabet, and "=" appears only as the fourth, or third and fourth,
// character of the last group. Spaces, line breaks and URL-safe letters are
// refused. The empty text decodes to no bytes.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

}  // namespace ombrix
