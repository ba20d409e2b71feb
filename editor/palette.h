#pragma once
// The editor's colours: the nine palette entries the controls copy, the
// fixed colours of the window, and the colour themes with their accent.
// The accent comes from the chosen theme or, with "DAW color", from the host
// track's colour; its complement marks where the input leaves the target.
#include <array>
#include <cstdint>

#include <juce_graphics/juce_graphics.h>

#include "library/host_track_link.h"

namespace tonal_panel {

// A colour written as (A, R, G, B).
inline juce::Colour Argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return juce::Colour(r, g, b, a);
}

struct Palette {
  juce::Colour text = Argb(255, 250, 250, 250);
  juce::Colour textDim = Argb(107, 250, 250, 250);
  juce::Colour textFaint = Argb(77, 250, 250, 250);
  juce::Colour hairline = Argb(18, 250, 250, 250);
  juce::Colour amber = Argb(255, 255, 157, 46);
  juce::Colour coral = Argb(255, 255, 77, 94);
  juce::Colour accent = Argb(255, 21, 232, 121);
  juce::Colour ink = Argb(255, 15, 15, 15);
  juce::Colour complement = Argb(255, 255, 157, 46);
};

namespace fixed_colours {
inline juce::Colour WindowBackground() { return Argb(255, 10, 10, 10); }
inline juce::Colour Card() { return Argb(255, 20, 20, 20); }
inline juce::Colour Shade() { return Argb(173, 20, 20, 20); }
inline juce::Colour Divider() { return Argb(18, 250, 250, 250); }
inline juce::Colour KnobTrack() { return Argb(36, 250, 250, 250); }
}  // namespace fixed_colours

// The colour themes of the settings menu, by index.
inline constexpr int kDawColourTheme = 5;
inline constexpr std::array<const char*, 6> kThemeNames{"Green", "Red", "Orange", "Blue", "Purple", "DAW color"};

// The accent of a theme; dawAccent is the host track's colour after the
// brightness rule (or its fallback) and counts only for "DAW color". Indices
// outside 0..5 count as 0.
ombrix::RgbColour ThemeAccent(int theme, ombrix::RgbColour dawAccent);

// The hue opposite the accent, brightness-normalised; amber for a grey or a
// black accent.
ombrix::RgbColour ComplementOf(ombrix::RgbColour accent);

Palette MakePalette(ombrix::RgbColour accent);

}  // namespace tonal_panel
