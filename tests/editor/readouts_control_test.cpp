// The five readouts: colours against the tolerances, the deviation bars, the
// held bands and the invalid state, checked at chosen pixels.
#include "editor/readouts_control.h"

#include <gtest/gtest.h>

#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::Argb;
using tonal_panel::ReadoutsControl;

const tonal_panel::Palette kPalette{};
const juce::Colour kBackground = Argb(255, 20, 20, 20);
constexpr float kTop = 260.0f;
constexpr float kBarY = kTop + 41.0f;  // the middle of the bar track

struct ReadoutsTest : testing::Test {
  void Render(float scale) {
    control = std::make_unique<ReadoutsControl>(kPalette, [this] { return readouts; });
    control->PlaceOnCanvas({110, 260, 372, 46});
    image = RenderOnCanvas(*control, scale, kBackground);
  }
  juce::Colour At(float x, float y, float scale) const { return PixelAt(image, x, y, scale); }
  // The brightest pixel of a column's value (above where a held badge starts).
  juce::Colour ValueInk(float centre, float scale) const {
    return BrightestIn(image, {centre - 37, kTop + 16, 74, 16}, scale);
  }

  EditorFontsHeld fonts;
  dsp::Readouts readouts;
  std::unique_ptr<ReadoutsControl> control;
  juce::Image image;
};

const juce::Colour kTrack = kBackground.overlaidWith(kPalette.hairline);

TEST_F(ReadoutsTest, TiltBeyondToleranceIsAmberWithAProportionalBar) {
  readouts.valid = true;
  readouts.tilt = 0.7;  // tolerance 0.6, full scale 1.5
  for (float scale : {1.0f, 2.0f}) {
    Render(scale);
    const auto column = control->ColumnOf(readouts, 0);
    EXPECT_EQ(column.number, "+0.7");
    EXPECT_TRUE(column.out);
    EXPECT_FLOAT_EQ(column.barHalfWidth, 0.7f / 1.5f * 28.0f);
    EXPECT_TRUE(ColourNear(ValueInk(149, scale), kPalette.amber, 8)) << scale;
    // The bar runs 13.1 pixels right of the centre.
    EXPECT_TRUE(ColourNear(At(149 + 6, kBarY, scale), kPalette.amber)) << scale;
    EXPECT_TRUE(ColourNear(At(149 + 10, kBarY, scale), kPalette.amber)) << scale;
    EXPECT_TRUE(ColourNear(At(149 + 15, kBarY, scale), kTrack)) << scale;
    EXPECT_TRUE(ColourNear(At(149 - 6, kBarY, scale), kTrack)) << scale;
  }
}

TEST_F(ReadoutsTest, TiltWithinToleranceIsTextWithTheBarToTheLeft) {
  readouts.valid = true;
  readouts.tilt = -0.4;
  for (float scale : {1.0f, 2.0f}) {
    Render(scale);
    EXPECT_EQ(control->ColumnOf(readouts, 0).number, juce::String::fromUTF8("−0.4"));
    EXPECT_FALSE(control->ColumnOf(readouts, 0).out);
    EXPECT_TRUE(ColourNear(ValueInk(149, scale), kPalette.text, 8)) << scale;
    EXPECT_TRUE(ColourNear(At(149 - 5, kBarY, scale), kPalette.text)) << scale;  // 7.5 pixels long
    EXPECT_TRUE(ColourNear(At(149 - 10, kBarY, scale), kTrack)) << scale;
    EXPECT_TRUE(ColourNear(At(149 + 5, kBarY, scale), kTrack)) << scale;
  }
}

TEST_F(ReadoutsTest, BandsBeyondThreeDecibelsAreAmberAndBarsStopAtFullScale) {
  readouts.valid = true;
  readouts.band = {-3.5, 2.9, 9.0, 0.2};
  for (float scale : {1.0f, 2.0f}) {
    Render(scale);
    EXPECT_TRUE(ColourNear(ValueInk(223, scale), kPalette.amber, 8)) << scale;
    EXPECT_TRUE(ColourNear(ValueInk(297, scale), kPalette.text, 8)) << scale;
    EXPECT_TRUE(ColourNear(At(223 - 14, kBarY, scale), kPalette.amber)) << "3.5 of 6 dB: 16.3 pixels";
    EXPECT_TRUE(ColourNear(At(371 + 24, kBarY, scale), kPalette.amber)) << "9 dB fills the whole half";
    EXPECT_TRUE(ColourNear(At(445 + 2, kBarY, scale), kTrack)) << "0.2 dB is under half a pixel: no bar";
  }
}

TEST_F(ReadoutsTest, AHeldBandIsDimmedAndShowsHeldInsteadOfItsBar) {
  readouts.valid = true;
  readouts.band = {4.0, 1.0, 1.0, 1.0};
  readouts.weight = {0.5, 0.51, 1.0, 1.0};
  for (float scale : {1.0f, 2.0f}) {
    Render(scale);
    const auto held = control->ColumnOf(readouts, 1);
    EXPECT_TRUE(held.held);
    EXPECT_EQ(held.colour, kPalette.amber.withAlpha(static_cast<juce::uint8>(96)));
    EXPECT_FALSE(control->ColumnOf(readouts, 2).held);
    // The badge covers where the bar would be; its text is dimmer than a value.
    const juce::Colour badge = kBackground.overlaidWith(Argb(36, 250, 250, 250));
    EXPECT_TRUE(ColourNear(At(223 - 12, kBarY, scale), badge)) << scale;
    EXPECT_TRUE(ColourNear(At(223 + 12, kBarY, scale), badge)) << scale;
    const juce::Colour ink = ValueInk(223, scale);
    EXPECT_TRUE(ColourNear(ink, kBackground.overlaidWith(held.colour), 8)) << scale;
    EXPECT_TRUE(ColourNear(At(297 + 3, kBarY, scale), kPalette.text)) << "an active band keeps its bar";
  }
  // The badge ends inside the control: its foot is not cut off at the edge.
  Render(2.0f);
  const juce::Colour badge = kBackground.overlaidWith(Argb(36, 250, 250, 250));
  EXPECT_TRUE(ColourNear(At(223, kTop + 44.5f, 2.0f), badge));
  EXPECT_TRUE(ColourNear(At(223, kTop + 45.8f, 2.0f), kBackground)) << "the badge's last row lies inside the box";
}

TEST_F(ReadoutsTest, InvalidReadoutsShowADashAndEmptyTracks) {
  readouts.valid = false;
  readouts.tilt = 1.2;
  readouts.band = {5, -5, 5, -5};
  readouts.weight = {0, 0, 0, 0};
  for (float scale : {1.0f, 2.0f}) {
    Render(scale);
    for (int k = 0; k < 5; ++k) {
      const float b = ReadoutsControl::kColumnCentres[static_cast<std::size_t>(k)];
      const auto column = control->ColumnOf(readouts, k);
      EXPECT_EQ(column.number, juce::String::fromUTF8("–"));
      EXPECT_FALSE(column.held) << "nothing is held without a measurement";
      EXPECT_TRUE(ColourNear(ValueInk(b, scale), kBackground.overlaidWith(kPalette.textDim), 8)) << k;
      EXPECT_TRUE(ColourNear(At(b - 10, kBarY, scale), kTrack)) << k;
      EXPECT_TRUE(ColourNear(At(b + 10, kBarY, scale), kTrack)) << k;
    }
  }
}

}  // namespace
}  // namespace ombrix::test
