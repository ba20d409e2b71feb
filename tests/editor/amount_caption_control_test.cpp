// Knob captions: the text they show (with the live value while correcting)
// and typing a value into them.
#include "editor/amount_caption_control.h"

#include <gtest/gtest.h>

#include "tests/editor/editor_fixtures.h"
#include "tests/editor/entry_typing.h"

namespace ombrix::test {
namespace {

using tonal_panel::AmountCaptionControl;

struct CaptionTest : testing::Test {
  CaptionTest() { canvas.setBounds(0, 0, 640, 400); }
  AmountCaptionControl& Make(int index, std::string prefix, std::function<std::string()> live = {}) {
    caption = std::make_unique<AmountCaptionControl>(parameters.Callables(), index, std::move(prefix), std::move(live),
                                                     entry, [this] { ++edited; });
    caption->PlaceOnCanvas({186, 344, 74, 14});
    canvas.addAndMakeVisible(*caption);
    return *caption;
  }
  // Clicks the caption and types text followed by Return.
  void Type(AmountCaptionControl& c, const char* text) {
    c.mouseDown(MouseAt(c, {223, 351}));
    ASSERT_TRUE(entry.IsOpen());
    TypeAndReturn(entry, text);
    EXPECT_FALSE(entry.IsOpen());
  }

  EditorFontsHeld fonts;
  FakeParameters parameters;
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  std::unique_ptr<AmountCaptionControl> caption;
  int edited = 0;
};

TEST_F(CaptionTest, ShowsPrefixDisplayTextAndLiveValue) {
  parameters[kCorrectSpeed] = 7.25;
  EXPECT_EQ(Make(kCorrectSpeed, "Speed ").CaptionText(), "Speed 7.2 s");
  bool correcting = true;
  auto& low = Make(kCorrectLow, "", [&correcting] { return tonal_panel::LiveValueText(correcting, 1.23, " dB"); });
  EXPECT_EQ(low.CaptionText(), juce::String::fromUTF8("50 % · +1.2 dB"));
  correcting = false;
  EXPECT_EQ(low.CaptionText(), "50 %");
  EXPECT_EQ(tonal_panel::LiveValueText(true, -0.66, "/oct"), " · −0.7/oct");
}

TEST_F(CaptionTest, ClickOpensTheEntryOverTheCaptionWithTheDisplayText) {
  auto& c = Make(kCorrectLow, "");
  c.mouseDown(MouseAt(c, {223, 351}));
  ASSERT_TRUE(entry.IsOpen());
  EXPECT_EQ(entry.Field()->getText(), "50 %");
  EXPECT_EQ(entry.Field()->getBounds(), juce::Rectangle<int>::leftTopRightBottom(186, 342, 260, 360));
  c.mouseDoubleClick(MouseAt(c, {223, 351}, 2));  // the second press of a double click: still the one entry
  EXPECT_TRUE(entry.IsOpen());
  PressKey(entry, juce::KeyPress::escapeKey);
  EXPECT_FALSE(entry.IsOpen());
  EXPECT_TRUE(parameters.Edits().empty()) << "Escape changes nothing";
}

TEST_F(CaptionTest, TypedValuesAreParsedClampedAndSentAsOneGesture) {
  const struct {
    const char* typed;
    double expected;
    bool sent;
  } cases[] = {
      {"−3,5", 0.0, true},  // Unicode minus, comma: -3.5, clamped to 0
      {"72 %", 72.0, true}, {"250", 100.0, true}, {"abc", 50.0, false}, {"", 50.0, false},
  };
  for (const auto& c : cases) {
    parameters = FakeParameters();
    edited = 0;
    auto& caption = Make(kCorrectLow, "");
    Type(caption, c.typed);
    EXPECT_EQ(parameters[kCorrectLow], c.expected) << c.typed;
    if (c.sent) {
      EXPECT_TRUE(parameters.EditsAreGestures(kCorrectLow));
      EXPECT_EQ(parameters.Edits().size(), 3u) << "begin, set, end";
      EXPECT_EQ(edited, 1) << "the knob is told at once";
    } else {
      EXPECT_TRUE(parameters.Edits().empty()) << c.typed;
      EXPECT_EQ(edited, 0);
    }
  }
}

TEST_F(CaptionTest, BrightensUnderTheMouse) {
  auto& c = Make(kCorrectLow, "");
  // The brightest pixel of the caption's text.
  const auto ink = [&c](float scale) {
    const juce::Image image = RenderOnCanvas(c, scale, juce::Colours::black);
    int brightest = 0;
    for (int y = 0; y < juce::roundToInt(14 * scale); ++y)
      for (int x = 0; x < juce::roundToInt(74 * scale); ++x)
        brightest = std::max(
            brightest,
            static_cast<int>(
                image.getPixelAt(juce::roundToInt(186 * scale) + x, juce::roundToInt(344 * scale) + y).getRed()));
    return brightest;
  };
  for (float scale : {1.0f, 2.0f}) {
    c.mouseExit(MouseAt(c, {300, 351}, 0, {}));
    EXPECT_NEAR(ink(scale), 107 * 250 / 255, 12) << "TextDim over black, x" << scale;
    c.mouseEnter(MouseAt(c, {223, 351}, 0, {}));
    EXPECT_GT(ink(scale), 200) << "Text under the mouse, x" << scale;
  }
}

}  // namespace
}  // namespace ombrix::test
