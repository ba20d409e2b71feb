// The ring knob: drags, wheel moves and the double-click reset reach the
// host as whole gestures, a drag follows the gearing (four knob heights for
// the whole range), host changes are followed silently, and the ring and
// value arc are drawn where the value says.
#include "editor/ring_knob_control.h"

#include <gtest/gtest.h>

#include "core/parameter_table.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::Argb;
using tonal_panel::RingKnobControl;

const juce::Colour kAccent = Argb(255, 21, 232, 121);
const juce::Colour kTrack = Argb(36, 250, 250, 250);

struct KnobTest : testing::Test {
  std::unique_ptr<RingKnobControl> Make(int index, int centreX) {
    tonal_panel::KnobStyle style;
    style.pointer = Argb(255, 250, 250, 250);
    style.accent = kAccent;
    style.track = kTrack;
    auto knob = std::make_unique<RingKnobControl>(parameters.Callables(), index, style);
    knob->setBounds(centreX - 16, 310, 32, 32);
    return knob;
  }
  // A press at the knob's centre, a drag by dy canvas pixels (up is
  // negative), and the release.
  void Drag(RingKnobControl& knob, float dy) {
    const juce::Point<float> centre = knob.getBounds().toFloat().getCentre();
    knob.mouseDown(MouseAt(knob, centre));
    knob.mouseDrag(MouseAt(knob, centre + juce::Point<float>(0, dy / 2)));
    knob.mouseDrag(MouseAt(knob, centre + juce::Point<float>(0, dy)));
    knob.mouseUp(MouseAt(knob, centre + juce::Point<float>(0, dy)));
  }

  EditorFontsHeld fonts;
  FakeParameters parameters;
};

TEST_F(KnobTest, DragIsOneGestureAndFollowsTheGearing) {
  const struct {
    int index;
    double start;
    float dy;
    double expected;
  } cases[] = {
      {kCorrectTilt, 50.0, -32.0f, 75.0},  // a knob height is a quarter of the range
      {kCorrectTilt, 50.0, 64.0f, 0.0},
      {kCorrectTilt, 50.0, -200.0f, 100.0},  // stops at the end
      {kCorrectLow, 20.0, -12.8f, 30.0},
      // Exponential: the quarter is taken in the normalised range, and the
      // value snaps to the parameter's 0.1 s step.
      {kCorrectSpeed, 15.0, -32.0f,
       std::round(FromNormalised(kCorrectSpeed, ToNormalised(kCorrectSpeed, 15.0) + 0.25) * 10) / 10},
  };
  for (const auto& c : cases) {
    parameters = FakeParameters();
    parameters[c.index] = c.start;
    auto knob = Make(c.index, 149);
    Drag(*knob, c.dy);
    EXPECT_NEAR(parameters[c.index], c.expected, 1e-9) << c.index << " " << c.dy;
    EXPECT_TRUE(parameters.EditsAreGestures(c.index));
    const auto& edits = parameters.Edits();
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, FakeParameters::Edit::Kind::Begin);
    EXPECT_EQ(edits.back().kind, FakeParameters::Edit::Kind::End);
  }
}

TEST_F(KnobTest, WheelAndDoubleClickResetAreGesturesToo) {
  auto knob = Make(kCorrectHigh, 445);
  const juce::Point<float> centre(445, 326);
  juce::MouseWheelDetails wheel{};
  wheel.deltaY = 0.1f;
  knob->mouseWheelMove(MouseAt(*knob, centre, 0, juce::ModifierKeys()), wheel);
  EXPECT_GT(parameters[kCorrectHigh], 50.0);
  EXPECT_TRUE(parameters.EditsAreGestures(kCorrectHigh));

  parameters[kCorrectHigh] = 80.0;
  knob->Follow();
  const std::size_t before = parameters.Edits().size();
  knob->mouseDoubleClick(MouseAt(*knob, centre, 2));
  EXPECT_EQ(parameters[kCorrectHigh], Param(kCorrectHigh).defaultValue);
  EXPECT_GT(parameters.Edits().size(), before);
  EXPECT_TRUE(parameters.EditsAreGestures(kCorrectHigh));
}

TEST_F(KnobTest, FollowsTheHostWithoutSendingAnythingBack) {
  auto knob = Make(kCorrectTilt, 149);
  parameters[kCorrectTilt] = 20.0;
  knob->Follow();
  EXPECT_EQ(knob->getValue(), 20.0);
  EXPECT_TRUE(parameters.Edits().empty());
}

TEST_F(KnobTest, ValueArcRunsFromTheStartOfTheTravel) {
  // At 50 % the arc covers the left half of the ring and the top: lit in the
  // accent at nine o'clock, the faint track at three o'clock.
  auto knob = Make(kCorrectTilt, 149);
  const float r = 32 * 0.92f / 2 - 1;  // the middle of the 2-pixel ring
  for (float scale : {1.0f, 2.0f}) {
    const juce::Image image = RenderOnCanvas(*knob, scale, juce::Colours::black);
    EXPECT_TRUE(ColourNear(PixelAt(image, 149 - r, 326, scale), kAccent, 40)) << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, 149 + r, 326, scale), juce::Colours::black.overlaidWith(kTrack), 12))
        << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, 149, 341.5f, scale), juce::Colours::black)) << "the gap at the bottom";
  }
}

}  // namespace
}  // namespace ombrix::test
