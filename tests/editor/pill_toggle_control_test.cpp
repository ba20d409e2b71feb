// The pill toggles: dot lighting (inverted for the bypass pill), labels, and
// a click that toggles the parameter as one host gesture.
#include "editor/pill_toggle_control.h"

#include <gtest/gtest.h>

#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::Argb;

const juce::Colour kAccent = Argb(255, 0, 184, 255);
const juce::Colour kPillBackground = Argb(255, 20, 20, 20);
const juce::Colour kUnlitDot = kPillBackground.overlaidWith(Argb(56, 250, 250, 250));

struct Pill {
  int index;
  juce::Rectangle<int> box;
  const char* offLabel;
  const char* onLabel;
  bool inverted;
};
const Pill kCorrectPill{kCorrect, {20, 256, 92, 22}, "CORRECT", "CORRECT", false};
const Pill kBypassPill{kBypass, {534, 41, 86, 24}, "ACTIVE", "BYPASSED", true};

struct PillTest : testing::Test {
  std::unique_ptr<tonal_panel::PillToggleControl> Make(const Pill& p) {
    auto pill =
        std::make_unique<tonal_panel::PillToggleControl>(parameters.Callables(), p.index, p.offLabel, p.onLabel,
                                                         tonal_panel::text_styles::Pill(), 1.0f, kAccent, p.inverted);
    pill->PlaceOnCanvas(p.box);
    return pill;
  }
  // The centre of the dot: 0.6 of the half-height in from the left, 5 wide.
  static juce::Point<float> DotCentre(const Pill& p) {
    const float c = p.box.getHeight() / 2.0f;
    return {p.box.getX() + 0.6f * c + 2.5f, p.box.getY() + c};
  }

  EditorFontsHeld fonts;
  FakeParameters parameters;
};

TEST_F(PillTest, DotIsLitInTheAccentWhileOnAndInvertedForBypass) {
  const struct {
    const Pill& pill;
    double value;
    bool lit;
  } cases[] = {
      {kCorrectPill, 1.0, true},
      {kCorrectPill, 0.0, false},
      {kBypassPill, 0.0, true},   // "ACTIVE"
      {kBypassPill, 1.0, false},  // "BYPASSED" dims its dot
  };
  for (const auto& c : cases) {
    parameters[c.pill.index] = c.value;
    auto pill = Make(c.pill);
    for (float scale : {1.0f, 2.0f}) {
      const juce::Image image = RenderOnCanvas(*pill, scale, juce::Colours::black);
      const juce::Point<float> dot = DotCentre(c.pill);
      EXPECT_TRUE(ColourNear(PixelAt(image, dot.x, dot.y, scale), c.lit ? kAccent : kUnlitDot))
          << c.pill.offLabel << " at " << c.value << " x" << scale;
    }
  }
}

TEST_F(PillTest, ClickingTheBypassPillSetsBypassAsAGesture) {
  auto pill = Make(kBypassPill);
  ASSERT_FALSE(pill->IsOn());
  EXPECT_EQ(pill->Label(), "ACTIVE");
  pill->mouseDown(MouseAt(*pill, {570, 53}));
  EXPECT_EQ(parameters[kBypass], 1.0);
  EXPECT_TRUE(parameters.EditsAreGestures(kBypass));
  EXPECT_EQ(parameters.Edits().size(), 3u);

  EXPECT_EQ(pill->Label(), "BYPASSED");
  const juce::Image image = RenderOnCanvas(*pill, 1.0f, juce::Colours::black);
  EXPECT_TRUE(ColourNear(PixelAt(image, DotCentre(kBypassPill).x, 53, 1.0f), kUnlitDot));

  pill->mouseDown(MouseAt(*pill, {570, 53}));
  EXPECT_EQ(parameters[kBypass], 0.0);
  EXPECT_TRUE(parameters.EditsAreGestures(kBypass));
}

TEST_F(PillTest, ARightClickChangesNothing) {
  auto pill = Make(kCorrectPill);
  pill->mouseDown(MouseAt(*pill, {60, 267}, 1, juce::ModifierKeys::rightButtonModifier));
  EXPECT_TRUE(parameters.Edits().empty());
}

}  // namespace
}  // namespace ombrix::test
