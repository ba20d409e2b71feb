// The legend: right-aligned items, the two correction items only while
// correcting, and the swatches drawn where the items start.
#include "editor/legend_control.h"

#include <gtest/gtest.h>

#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::Argb;
using tonal_panel::LegendControl;

const juce::Colour kAccent = Argb(255, 233, 21, 90);
const juce::Colour kBackground = Argb(255, 20, 20, 20);
constexpr float kCy = 92.0f;

struct LegendTest : testing::Test {
  LegendTest() {
    legend = std::make_unique<LegendControl>(kAccent, [this] { return correcting; });
    legend->PlaceOnCanvas({256, 80, 222, 24});
  }
  EditorFontsHeld fonts;
  bool correcting = false;
  std::unique_ptr<LegendControl> legend;
};

TEST_F(LegendTest, ItemsAreRightAlignedAndCorrectionItemsShowOnlyWhileCorrecting) {
  const auto two = legend->ItemLefts(false);
  const auto four = legend->ItemLefts(true);
  ASSERT_EQ(two.size(), 2u);
  ASSERT_EQ(four.size(), 4u);
  const float targetWidth = tonal_panel::TextWidth(tonal_panel::text_styles::Legend(), "TARGET");
  const float correctionWidth = tonal_panel::TextWidth(tonal_panel::text_styles::Legend(), "CORRECTION");
  // The last label ends where the box does (its swatch and gap come first).
  EXPECT_NEAR(two[1] + 18 + targetWidth, 478, 1e-3);
  EXPECT_NEAR(four[3] + 18 + correctionWidth, 478, 1e-3);
  EXPECT_LT(four[0], two[0]);
}

TEST_F(LegendTest, SwatchesAreDrawnAtTheirItems) {
  for (float scale : {1.0f, 2.0f}) {
    correcting = false;
    juce::Image image = RenderOnCanvas(*legend, scale, kBackground);
    auto lefts = legend->ItemLefts(false);
    // A 1.5-pixel line on y = 92 covers three quarters of the pixel row at
    // scale 1 and whole rows at scale 2.
    const float cover = scale == 1.0f ? 0.75f : 1.0f;
    EXPECT_TRUE(ColourNear(PixelAt(image, lefts[0] + 7, kCy, scale),
                           kBackground.overlaidWith(Argb(235, 250, 250, 250).withMultipliedAlpha(cover)), 4))
        << "INPUT line, x" << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, lefts[1] + 7, kCy - 2, scale),
                           kBackground.overlaidWith(kAccent.withAlpha(static_cast<juce::uint8>(114)))))
        << "TARGET swatch, x" << scale;
    // Without correction nothing is drawn where the correction swatch goes.
    const auto four = legend->ItemLefts(true);
    EXPECT_TRUE(ColourNear(PixelAt(image, four[3] + 7, kCy, scale), kBackground)) << scale;

    correcting = true;
    image = RenderOnCanvas(*legend, scale, kBackground);
    EXPECT_TRUE(ColourNear(PixelAt(image, four[3] + 7, kCy, scale), kAccent, 4)) << "CORRECTION line, x" << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, four[2] + 6.5f, kCy, scale),
                           kBackground.overlaidWith(Argb(190, 250, 250, 250).withMultipliedAlpha(cover)), 4))
        << "OUTPUT dash, x" << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, four[2] + 4, kCy, scale), kBackground)) << "gap between dashes";
  }
}

}  // namespace
}  // namespace ombrix::test
