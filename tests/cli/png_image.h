#pragma once
// Reads a PNG file the tool wrote, to check chosen pixels of it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrix::test_support {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct PngImage {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;  // row by row
  Rgba At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x]; }
};

// Nothing when the file is not a PNG that libpng can read.
std::optional<PngImage> ReadPng(const std::string& path);

// Whether each channel is within tolerance.
bool Near(Rgba a, Rgba b, int tolerance = 3);

}  // namespace ombrix::test_support
