#pragma once
// A growable byte buffer of native little-endian ints, doubles, length-prefixed
// UTF-8 strings and four-character tags, as the plug-in's state is stored.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix {

// A tag's four characters read as a big-endian number: 'OMS1' -> 0x4F4D5331,
// stored little-endian as the bytes 31 53 4D 4F.
constexpr std::int32_t MakeTag(const char (&text)[5]) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
                                   (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
                                   (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
                                   static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])));
}

class ByteChunk {
 public:
  ByteChunk() = default;
  explicit ByteChunk(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  ByteChunk(const void* data, std::size_t size)
      : bytes_(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size) {}

  void PutInt(std::int32_t v) { PutRaw(&v, sizeof v); }
  void PutDouble(double v) { PutRaw(&v, sizeof v); }
  void PutBytes(const void* data, std::size_t size) { PutRaw(data, size); }
  void PutString(std::string_view s) {
    PutInt(static_cast<std::int32_t>(s.size()));
    PutRaw(s.data(), s.size());
  }

  // Each getter reads at pos and returns the position after the value, or
  // -1 when the chunk ends first (the value is then left untouched).
  int GetInt(std::int32_t& v, int pos) const { return GetRaw(&v, sizeof v, pos); }
  int GetDouble(double& v, int pos) const { return GetRaw(&v, sizeof v, pos); }
  int GetString(std::string& s, int pos) const {
    std::int32_t length = 0;
    const int start = GetInt(length, pos);
    if (start < 0 || length < 0 || static_cast<std::size_t>(length) > bytes_.size() - static_cast<std::size_t>(start))
      return -1;
    s.assign(reinterpret_cast<const char*>(bytes_.data()) + start, static_cast<std::size_t>(length));
    return start + length;
  }

  int Size() const { return static_cast<int>(bytes_.size()); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  void PutRaw(const void* data, std::size_t size) {
    if (size == 0) return;
    const std::size_t at = bytes_.size();
    bytes_.resize(at + size);
    std::memcpy(bytes_.data() + at, data, size);
  }
  int GetRaw(void* out, std::size_t size, int pos) const {
    if (pos < 0 || static_cast<std::size_t>(pos) > bytes_.size() || bytes_.size() - static_cast<std::size_t>(pos) < size)
      return -1;
    std::memcpy(out, bytes_.data() + pos, size);
    return pos + static_cast<int>(size);
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace ombrix
