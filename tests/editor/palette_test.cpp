// Accent and complement colours of the themes and of host track colours.
#include <gtest/gtest.h>

#include "editor/palette.h"
#include "library/host_track_link.h"

namespace ombrix::test {
namespace {

using tonal_panel::ComplementOf;
using tonal_panel::ThemeAccent;

TEST(Palette, ThemeAccents) {
  const RgbColour daw{10, 20, 30};
  const struct {
    int theme;
    RgbColour accent;
  } cases[] = {
      {0, {21, 232, 121}}, {1, {233, 21, 90}}, {2, {255, 122, 0}}, {3, {0, 184, 255}},
      {4, {134, 0, 255}},  {5, daw},           {6, {21, 232, 121}}, {-1, {21, 232, 121}},
  };
  for (const auto& c : cases) EXPECT_EQ(ThemeAccent(c.theme, daw), c.accent) << c.theme;
}

TEST(Palette, DawAccentFromTrackColours) {
  // The accent the "DAW color" theme takes: the track colour after the
  // brightness rule, or the green fallback without a usable colour.
  const struct {
    std::uint32_t channelColour;  // ARGB as the host reports it; 0 = none
    RgbColour accent;
  } cases[] = {
      {0x00000000, {21, 232, 121}},  // no colour
      {0xff000000, {21, 232, 121}},  // black: luma below 1
      {0xff00003c, {0, 0, 255}},     // dark blue (0, 0, 60): luma 4.3, brightened by 47 / 4.3
      {0xffffffff, {200, 200, 200}}, // white: dimmed to luma 200
      {0xff3c8cd2, {60, 140, 210}},  // already within 47..200: unchanged
  };
  for (const auto& c : cases) {
    ChannelContextInfo channel;
    channel.colour = c.channelColour;
    const RgbaColour accent = DawAccentColour(HostTrackLink{}, channel, 255);
    EXPECT_EQ((RgbColour{accent.red, accent.green, accent.blue}), c.accent) << std::hex << c.channelColour;
  }
}

TEST(Palette, Complements) {
  const struct {
    RgbColour accent;
    RgbColour complement;
    const char* why;
  } cases[] = {
      {{21, 232, 121}, {232, 21, 132}, "the green theme gives a magenta"},
      {{128, 128, 128}, {255, 157, 46}, "grey has no hue: amber"},
      {{120, 130, 125}, {255, 157, 46}, "saturation below 0.15: amber"},
      {{0, 0, 0}, {255, 157, 46}, "black: amber"},
      {{0, 0, 255}, {215, 215, 0}, "blue gives yellow, dimmed to luma 200"},
      {{255, 0, 0}, {0, 254, 254}, "red gives cyan, just above luma 200: dimmed a little"},
      {{40, 0, 0}, {0, 59, 59}, "a dark red's cyan is brightened to luma 47"},
  };
  for (const auto& c : cases) EXPECT_EQ(ComplementOf(c.accent), c.complement) << c.why;
}

}  // namespace
}  // namespace ombrix::test
