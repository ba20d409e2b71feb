#include "editor/palette.h"

#include <algorithm>
#include <cmath>

namespace tonal_panel {
namespace {

constexpr std::array<ombrix::RgbColour, 5> kThemeAccents{{
    {21, 232, 121},  // Green
    {233, 21, 90},   // Red
    {255, 122, 0},   // Orange
    {0, 184, 255},   // Blue
    {134, 0, 255},   // Purple
}};

constexpr ombrix::RgbColour kAmberComplement{255, 157, 46};

juce::Colour Opaque(ombrix::RgbColour c) { return juce::Colour(c.red, c.green, c.blue, std::uint8_t{255}); }

std::uint8_t Channel(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::round(value * 255.0), 0.0, 255.0));
}

}  // namespace

ombrix::RgbColour ThemeAccent(int theme, ombrix::RgbColour dawAccent) {
  if (theme == kDawColourTheme) return dawAccent;
  if (theme < 0 || theme >= static_cast<int>(kThemeAccents.size())) theme = 0;
  return kThemeAccents[static_cast<std::size_t>(theme)];
}

ombrix::RgbColour ComplementOf(ombrix::RgbColour accent) {
  const double r = accent.red / 255.0, g = accent.green / 255.0, b = accent.blue / 255.0;
  const double max = std::max({r, g, b}), min = std::min({r, g, b});
  const double delta = max - min;
  const double lightness = (max + min) / 2.0;
  if (delta <= 0.0) return kAmberComplement;
  const double saturation = delta / (1.0 - std::abs(2.0 * lightness - 1.0));
  if (saturation < 0.15) return kAmberComplement;

  double sextant;
  if (max == r)
    sextant = std::fmod((g - b) / delta, 6.0);
  else if (max == g)
    sextant = (b - r) / delta + 2.0;
  else
    sextant = (r - g) / delta + 4.0;
  const double hue = std::fmod(60.0 * sextant + 180.0 + 360.0, 360.0);

  const double chroma = (1.0 - std::abs(2.0 * lightness - 1.0)) * saturation;
  const double x = chroma * (1.0 - std::abs(std::fmod(hue / 60.0, 2.0) - 1.0));
  const double m = lightness - chroma / 2.0;
  double rr, gg, bb;
  if (hue < 60)
    rr = chroma, gg = x, bb = 0;
  else if (hue < 120)
    rr = x, gg = chroma, bb = 0;
  else if (hue < 180)
    rr = 0, gg = chroma, bb = x;
  else if (hue < 240)
    rr = 0, gg = x, bb = chroma;
  else if (hue < 300)
    rr = x, gg = 0, bb = chroma;
  else
    rr = chroma, gg = 0, bb = x;
  const ombrix::RgbColour rotated{Channel(rr + m), Channel(gg + m), Channel(bb + m)};
  return ombrix::NormaliseBrightness(rotated).value_or(kAmberComplement);
}

Palette MakePalette(ombrix::RgbColour accent) {
  Palette p;
  p.accent = Opaque(accent);
  p.complement = Opaque(ComplementOf(accent));
  return p;
}

}  // namespace tonal_panel
