// The correction controls in the editor of a real plug-in instance: where the
// knob row sits, which controls follow the host on the idle tick, and the
// live values the captions show while correcting.
#include <gtest/gtest.h>

#include "editor/amount_caption_control.h"
#include "editor/editor_layout.h"
#include "editor/ombrix_editor.h"
#include "editor/pill_toggle_control.h"
#include "editor/ring_knob_control.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::AmountCaptionControl;
using tonal_panel::RingKnobControl;

struct CorrectionLayoutTest : testing::Test {
  CorrectionLayoutTest() { editor.reset(dynamic_cast<tonal_panel::OmbrixEditor*>(plugin.createEditorIfNeeded())); }
  ~CorrectionLayoutTest() override {
    plugin.editorBeingDeleted(editor.get());
    editor.reset();
  }
  template <typename Control>
  Control* At(int canvasX, int canvasY) const {
    for (const auto& owned : editor->Controls().owned)
      if (auto* c = dynamic_cast<Control*>(owned.get()); c != nullptr && c->getBounds().contains(canvasX, canvasY))
        return c;
    return nullptr;
  }

  Ombrix plugin;
  std::unique_ptr<tonal_panel::OmbrixEditor> editor;
};

TEST_F(CorrectionLayoutTest, KnobRowColumnsSitAtTheirCentres) {
  const struct {
    int x, parameter;
  } columns[] = {{66, kCorrectSpeed},  {149, kCorrectTilt},  {223, kCorrectLow},
                 {297, kCorrectLoMid}, {371, kCorrectHiMid}, {445, kCorrectHigh}};
  for (const auto& column : columns) {
    RingKnobControl* knob = At<RingKnobControl>(column.x, 326);
    ASSERT_NE(knob, nullptr) << column.x;
    EXPECT_EQ(knob->getBounds(), juce::Rectangle<int>(column.x - 16, 310, 32, 32));
    EXPECT_EQ(knob->getValue(), Param(column.parameter).defaultValue);
    AmountCaptionControl* caption = At<AmountCaptionControl>(column.x, 351);
    ASSERT_NE(caption, nullptr) << column.x;
    EXPECT_EQ(caption->getBounds(), juce::Rectangle<int>(column.x - 37, 344, 74, 14));
  }
  EXPECT_EQ(At<AmountCaptionControl>(66, 351)->CaptionText(), "Speed 15 s");
}

TEST_F(CorrectionLayoutTest, HostChangesReachKnobsCaptionsAndPillsOnTheIdleTick) {
  plugin.Parameter(kCorrectLoMid).SetReal(80.0);
  plugin.Parameter(kFreeze).SetReal(1.0);
  plugin.OnIdle();
  EXPECT_EQ(At<RingKnobControl>(297, 326)->getValue(), 80.0);
  EXPECT_EQ(At<AmountCaptionControl>(297, 351)->CaptionText(), "80 %");
  EXPECT_EQ(At<tonal_panel::PillToggleControl>(60, 293)->Label(), "FROZEN");
}

// The live values on hand-made callables: the published gains come from the
// correction worker's thread in a real instance.
TEST(CorrectionLayout, CaptionsShowTheAppliedGainsWhileCorrecting) {
  EditorFontsHeld fonts;
  FakeParameters parameters;
  const CorrectionGains applied{3.0, 2.0, -1.5, 0.04, -2.26};
  EditorCallables callables;
  callables.parameters = parameters.Callables();
  callables.appliedGains = [&applied]() -> const CorrectionGains& { return applied; };
  callables.bandGainCaption = [](const CorrectionGains& gains, std::size_t band) { return gains.at(band); };
  callables.tiltCaption = [](const CorrectionGains& gains) { return gains[0] / 4; };
  juce::Component canvas;
  tonal_panel::TextEntry entry(canvas);
  tonal_panel::LayoutContext context;
  context.callables = &callables;
  context.textEntry = &entry;
  const auto controls = tonal_panel::BuildLayout(canvas, context);
  const auto caption = [&canvas](int x) {
    for (juce::Component* c : canvas.getChildren())
      if (auto* text = dynamic_cast<AmountCaptionControl*>(c); text != nullptr && c->getBounds().contains(x, 351))
        return text->CaptionText().toStdString();
    return std::string("no caption");
  };
  EXPECT_EQ(caption(223), "50 %") << "nothing live while Correct is off";
  parameters[kCorrect] = 1.0;
  EXPECT_EQ(caption(149), "50 % · +0.8/oct");
  EXPECT_EQ(caption(223), "50 % · +2.0 dB");
  EXPECT_EQ(caption(297), "50 % · −1.5 dB");
  EXPECT_EQ(caption(371), "50 % · 0.0 dB");
  EXPECT_EQ(caption(445), "50 % · −2.3 dB");
  EXPECT_EQ(caption(66), "Speed 15 s") << "Speed has no live value";
}

}  // namespace
}  // namespace ombrix::test
