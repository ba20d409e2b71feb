// Text the embedded fonts cannot draw (a check mark, Japanese) comes from a
// system face that can; everything else keeps the embedded face's glyphs.
#include <gtest/gtest.h>

#include "OmbrixAssets.h"
#include "editor/fallback_typeface.h"
#include "editor/text_style.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::FallbackTypeface;

TEST(FallbackTypeface, DrawsWhatTheEmbeddedFaceLacksFromASystemFace) {
  EditorFontsHeld fonts;
  juce::Typeface::Ptr roboto = juce::Typeface::createSystemTypefaceFor(OmbrixAssets::RobotoRegular_ttf,
                                                                        OmbrixAssets::RobotoRegular_ttfSize);
  EXPECT_TRUE(FallbackTypeface::Covers(*roboto, 'A'));
  EXPECT_TRUE(FallbackTypeface::Covers(*roboto, 0x00FC));  // ü
  EXPECT_FALSE(FallbackTypeface::Covers(*roboto, 0x2713));  // ✓

  const juce::Font font = tonal_panel::FontOf(tonal_panel::text_styles::Chip());
  juce::Typeface& face = *font.getTypefacePtr();
  for (juce::juce_wchar c : {juce::juce_wchar(0x2713), juce::juce_wchar(0x65E5), juce::juce_wchar(0x672C)}) {
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    face.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
    ASSERT_EQ(glyphs.size(), 1);
    juce::Path outline;
    EXPECT_TRUE(face.getOutlineForGlyph(glyphs[0], outline));
    EXPECT_FALSE(outline.isEmpty()) << std::hex << static_cast<int>(c);
    juce::Path standIn;
    juce::Array<int> robotoGlyphs;
    juce::Array<float> robotoOffsets;
    roboto->getGlyphPositions(juce::String::charToString(c), robotoGlyphs, robotoOffsets);
    roboto->getOutlineForGlyph(robotoGlyphs[0], standIn);
    EXPECT_FALSE(outline == standIn) << "not the embedded face's empty box";
    EXPECT_GT(offsets[1], 0.0f);
  }
  // Runs of the embedded face are measured as the embedded face measures them.
  const juce::String latin("AVATAR Tower");
  EXPECT_FLOAT_EQ(face.getStringWidth(latin), roboto->getStringWidth(latin));
  const juce::String mixed = juce::String::fromUTF8("Warm \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_GT(face.getStringWidth(mixed), face.getStringWidth("Warm  "));
}

}  // namespace
}  // namespace ombrix::test
