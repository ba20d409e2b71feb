// The chip: labels shortened to whole UTF-8 characters, its outline and
// chevron, and the text entry it opens over itself.
#include "editor/chip_control.h"

#include <gtest/gtest.h>

#include "tests/editor/editor_fixtures.h"
#include "tests/editor/entry_typing.h"

namespace ombrix::test {
namespace {

using kestrune::controls::ChipControl;
using kestrune::controls::ShortenToFit;
using tonal_panel::Argb;

const char* const kEllipsis = "…";

// Ten pixels a character, however many bytes it takes.
float TenPerCharacter(const std::string& s) {
  return 10.0f * static_cast<float>(juce::CharPointer_UTF8(s.c_str()).length());
}

bool IsValidUtf8(const std::string& s) {
  return juce::CharPointer_UTF8::isValidString(s.c_str(), static_cast<int>(s.size()));
}

TEST(ShortenToFit, DropsWholeCharactersUntilTheEllipsisFits) {
  const struct {
    const char* text;
    float width;
    std::string expected;
  } cases[] = {
      {"Balanced", 80, "Balanced"},  // fits exactly
      {"Balanced", 79, std::string("Balanc") + kEllipsis},
      {"Grüße", 40, std::string("Grü") + kEllipsis},  // two-byte characters
      {"日本語で", 30, std::string("日本") + kEllipsis},
      {"a𝄞𝄞", 25, std::string("a") + kEllipsis},  // four-byte characters
      {"abc", 5, kEllipsis},                      // nothing fits
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string shortened = ShortenToFit(c.text, c.width, TenPerCharacter);
    EXPECT_EQ(shortened, c.expected) << c.text;
    EXPECT_TRUE(IsValidUtf8(shortened)) << c.text;
  }
}

TEST(ShortenToFit, NeverSplitsACharacterAtAnyWidth) {
  const std::string text = "Köln — 日本 🎵 naïve";
  for (float width = 0; width <= 200; width += 1) {
    const std::string shortened = ShortenToFit(text, width, TenPerCharacter);
    ASSERT_TRUE(IsValidUtf8(shortened)) << width;
    if (shortened != text) {
      ASSERT_LE(TenPerCharacter(shortened), std::max(width, 10.0f)) << width;
      const std::string kept = shortened.substr(0, shortened.size() - std::string(kEllipsis).size());
      ASSERT_EQ(text.compare(0, kept.size(), kept), 0) << width;
    }
  }
}

struct ChipTest : testing::Test {
  ChipTest() { canvas.setBounds(0, 0, 640, 400); }
  ChipControl& Make(std::string label) {
    kestrune::controls::ChipCallables callables;
    callables.label = [this] { return label_; };
    callables.textEntered = [this](const std::string& text) { typed.push_back(text); };
    label_ = std::move(label);
    chip = std::make_unique<ChipControl>(tonal_panel::text_styles::Chip(), palette, entry, std::move(callables));
    chip->PlaceOnCanvas({72, 81, 178, 22});
    canvas.addAndMakeVisible(*chip);
    return *chip;
  }

  EditorFontsHeld fonts;
  tonal_panel::Palette palette;
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  std::unique_ptr<ChipControl> chip;
  std::string label_;
  std::vector<std::string> typed;
};

TEST_F(ChipTest, ALongLabelEndsInAnEllipsisInsideItsBox) {
  auto& c = Make("A very long target name that will not fit äöüäöü");
  const std::string shown = c.ShownLabel();
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown.substr(shown.size() - 3), kEllipsis);
  EXPECT_TRUE(IsValidUtf8(shown));
  EXPECT_LE(tonal_panel::TextWidth(tonal_panel::text_styles::Chip(), juce::String::fromUTF8(shown.c_str())), 178 - 32);
  Make("Balanced");
  EXPECT_EQ(chip->ShownLabel(), "Balanced");
}

TEST_F(ChipTest, OutlineBrightensUnderTheMouseAndTheChevronIsDrawn) {
  auto& c = Make("Balanced");
  const juce::Colour background = Argb(255, 20, 20, 20);
  for (float scale : {1.0f, 2.0f}) {
    c.mouseExit(MouseAt(c, {10, 10}, 0, {}));
    juce::Image image = RenderOnCanvas(c, scale, background);
    EXPECT_TRUE(ColourNear(PixelAt(image, 161, 81.5f, scale), background.overlaidWith(palette.textFaint))) << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, 238, 92, scale), background.overlaidWith(palette.textDim), 6))
        << "chevron, x" << scale;
    c.mouseEnter(MouseAt(c, {161, 92}, 0, {}));
    image = RenderOnCanvas(c, scale, background);
    EXPECT_TRUE(ColourNear(PixelAt(image, 161, 81.5f, scale), background.overlaidWith(palette.textDim))) << scale;
  }
}

TEST_F(ChipTest, TextEntryOverTheChipGoesToTheHandler) {
  auto& c = Make("−14 LUFS");
  c.OpenTextEntry("-14.0", tonal_panel::kCenter);
  ASSERT_TRUE(entry.IsOpen());
  EXPECT_EQ(entry.Field()->getBounds(), juce::Rectangle<int>(72, 81, 178, 22));
  EXPECT_EQ(entry.Field()->getText(), "-14.0");
  c.OpenTextEntry("another", tonal_panel::kCenter);  // one entry at a time
  EXPECT_EQ(entry.Field()->getText(), "-14.0");
  TypeAndReturn(entry, "9");
  EXPECT_EQ(typed, std::vector<std::string>{"9"});
}

TEST_F(ChipTest, FollowsItsLabel) {
  auto& c = Make("Balanced");
  RenderOnCanvas(c, 1.0f, juce::Colours::black);
  label_ = "Hip-Hop";
  c.Follow();
  EXPECT_EQ(c.ShownLabel(), "Hip-Hop");
}

}  // namespace
}  // namespace ombrix::test
