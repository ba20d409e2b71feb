// The editor on a real plug-in instance, in-process and off-screen: what it
// shows after opening, how the idle tick drives it, its scale and the logo.
#include <memory>

#include <gtest/gtest.h>

#include "OmbrixAssets.h"
#include "editor/corner_scale_control.h"
#include "editor/editor_layout.h"
#include "editor/ombrix_editor.h"
#include "editor/panel_control.h"
#include "editor/ring_knob_control.h"
#include "plugin/editor_callables.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"
#include "tools/display/bare_display.h"

namespace ombrix::test {
namespace {

using tonal_panel::ControlId;
using tonal_panel::OmbrixEditor;

struct EditorTest : testing::Test {
  ~EditorTest() override { Close(); }
  void Open() { editor.reset(dynamic_cast<OmbrixEditor*>(plugin.createEditorIfNeeded())); }
  // As a host closes it: the plug-in lets go of the editor first.
  void Close() {
    if (editor == nullptr) return;
    plugin.editorBeingDeleted(editor.get());
    editor.reset();
  }
  juce::Component* Find(ControlId id) const { return editor->Controls().Find(id); }
  bool Shown(ControlId id) const { return Find(id)->isVisible(); }

  Ombrix plugin;
  std::unique_ptr<OmbrixEditor> editor;
};

TEST_F(EditorTest, OpensAt640By400WithTitleAndStatus) {
  Open();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->getWidth(), 640);
  EXPECT_EQ(editor->getHeight(), 400);
  EXPECT_EQ(editor->Controls().title->Text(), "OMBRIX");
  plugin.OnIdle();
  EXPECT_EQ(editor->Controls().status->Text(), "Ombrix " OMBRIX_VERSION " \xC2\xB7 0 samples latency");
}

TEST_F(EditorTest, ShadesFollowTheParameters) {
  Open();
  const struct {
    bool correct, freeze, bypass;
    bool correctShade, freezeShade, bypassShade;
  } cases[] = {
      {false, false, false, true, false, false},
      {true, false, false, false, false, false},
      {true, true, false, false, true, false},
      {false, true, false, true, false, false},
      {true, false, true, false, false, true},
  };
  for (const auto& c : cases) {
    plugin.Parameter(kCorrect).SetReal(c.correct);
    plugin.Parameter(kFreeze).SetReal(c.freeze);
    plugin.Parameter(kBypass).SetReal(c.bypass);
    plugin.OnIdle();
    EXPECT_EQ(Shown(ControlId::CorrectShadeSpeed), c.correctShade);
    EXPECT_EQ(Shown(ControlId::CorrectShadeAmounts), c.correctShade);
    EXPECT_EQ(Shown(ControlId::FreezeShade), c.freezeShade);
    EXPECT_EQ(Shown(ControlId::BypassShade), c.bypassShade);
  }
}

TEST_F(EditorTest, ShadesLetTheMouseThroughToTheControlsTheyDim) {
  Open();
  plugin.Parameter(kCorrect).SetReal(0.0);  // the correction row is shaded
  plugin.Parameter(kBypass).SetReal(1.0);   // and the whole card
  plugin.OnIdle();
  ASSERT_TRUE(Shown(ControlId::CorrectShadeSpeed));
  ASSERT_TRUE(Shown(ControlId::BypassShade));
  const struct {
    juce::Point<int> point;
    const char* what;
  } places[] = {
      {{66, 326}, "Speed knob"},      {{149, 351}, "tilt caption"}, {{160, 92}, "target chip"},
      {{559, 241}, "loudness chip"},  {{300, 283}, "readouts"},     {{200, 180}, "spectrum"},
      {{60, 267}, "Correct pill"},
  };
  for (const auto& place : places) {
    juce::Component* hit = editor->Canvas().getComponentAt(place.point);
    ASSERT_NE(hit, nullptr) << place.what;
    EXPECT_EQ(dynamic_cast<tonal_panel::PanelControl*>(hit), nullptr) << place.what << " is covered by a panel";
  }
  EXPECT_NE(dynamic_cast<tonal_panel::RingKnobControl*>(editor->Canvas().getComponentAt(66, 326)), nullptr);
}

TEST_F(EditorTest, AReopenedEditorContinuesFromWhereItsCurvesStood) {
  plugin.prepareToPlay(48000.0, 512);
  const auto play = [this](double seconds) {
    juce::AudioBuffer<float> block(2, 4800);
    juce::Random random(3);
    juce::MidiBuffer midi;
    for (int n = 0; n < static_cast<int>(seconds * 10); ++n) {
      for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < block.getNumSamples(); ++i) block.setSample(ch, i, 0.2f * (random.nextFloat() - 0.5f));
      plugin.processBlock(block, midi);
      plugin.OnIdle();
    }
  };
  Open();
  play(2.0);
  ASSERT_TRUE(plugin.Snapshot().View().inputValid);
  const dsp::GridCurve before = plugin.Snapshot().View().inputSpectrum;
  Close();
  play(1.0);  // nothing reaches the display while it is closed
  Open();
  plugin.OnIdle();
  EXPECT_TRUE(plugin.Snapshot().View().inputValid);
  EXPECT_EQ(plugin.Snapshot().View().inputSpectrum, before);
  play(0.5);
  EXPECT_NE(plugin.Snapshot().View().inputSpectrum, before) << "and goes on with new audio";

  Close();
  plugin.prepareToPlay(44100.0, 512);  // a new sample rate starts the curves afresh
  Open();
  plugin.OnIdle();
  EXPECT_FALSE(plugin.Snapshot().View().inputValid);
}

// Some hosts never make a window smaller than it opened: there the editor
// opens at its smallest size and grows to its own once it is on the screen.
TEST_F(EditorTest, WhereTheHostKeepsTheOpeningSizeTheEditorOpensSmallAndGrows) {
  plugin.SetWindowScale(1.5f);
  ombrix::EditorCallables callables = ombrix::MakeEditorCallables(plugin);
  callables.opensAtSmallestSize = true;
  auto small = std::make_unique<OmbrixEditor>(plugin, callables);
  EXPECT_EQ(small->getBounds(), juce::Rectangle<int>(0, 0, 480, 300));
  EXPECT_FLOAT_EQ(plugin.WindowScale(), 1.5f) << "the small size of opening is not the user's";
  if (!host::DisplayAvailable()) GTEST_SKIP() << "growing needs a window on a display (run under xvfb-run)";
  small->addToDesktop(0);
  small->setVisible(true);
  for (int i = 0; i < 200 && small->getWidth() != 960; ++i) juce::MessageManager::getInstance()->runDispatchLoopUntil(10);
  EXPECT_EQ(small->getBounds().getWidth(), 960);
  EXPECT_EQ(small->getBounds().getHeight(), 600);
  EXPECT_FLOAT_EQ(plugin.WindowScale(), 1.5f);
  small.reset();

  callables.opensAtSmallestSize = false;  // any other host: the size at once
  OmbrixEditor direct(plugin, callables);
  EXPECT_EQ(direct.getWidth(), 960);
}

TEST_F(EditorTest, TheCornerScalesTheWindowBetweenItsLimits) {
  Open();
  auto* corner = dynamic_cast<tonal_panel::CornerScaleControl*>(Find(ControlId::CornerScale));
  ASSERT_NE(corner, nullptr);
  const juce::Point<float> start(632, 394);
  corner->mouseDown(MouseAt(*corner, start));
  corner->mouseDrag(MouseAt(*corner, start + juce::Point<float>(320, 100)));  // the larger movement counts
  EXPECT_FLOAT_EQ(editor->DrawScale(), 1.5f);
  EXPECT_EQ(editor->getWidth(), 960);
  EXPECT_EQ(editor->getHeight(), 600);
  EXPECT_FLOAT_EQ(plugin.WindowScale(), 1.5f);
  // Past the maximum it stops at 2x; the corner now sits elsewhere on screen.
  corner->mouseDrag(MouseAt(*corner, start + juce::Point<float>(2000, 0) / editor->DrawScale()));
  EXPECT_FLOAT_EQ(editor->DrawScale(), 2.0f);
  EXPECT_EQ(editor->getWidth(), 1280);
  corner->mouseDoubleClick(MouseAt(*corner, start, 2));
  EXPECT_FLOAT_EQ(editor->DrawScale(), 1.0f);
  EXPECT_EQ(editor->getWidth(), 640);
}

TEST_F(EditorTest, AHostResizeRescalesTheCanvasAndIsRemembered) {
  Open();
  editor->setSize(800, 500);
  EXPECT_FLOAT_EQ(editor->DrawScale(), 1.25f);
  EXPECT_FLOAT_EQ(plugin.WindowScale(), 1.25f);
  const auto state = plugin.SerializeState();
  Close();
  Ombrix restored;
  restored.UnserializeState(state.data(), static_cast<int>(state.size()), 0);
  EXPECT_FLOAT_EQ(restored.WindowScale(), 1.25f);
  EXPECT_FLOAT_EQ(restored.InitialDrawScale(), 1.25f);
}

TEST_F(EditorTest, ThemeChangeRebuildsOnceAndKeepsTheTitle) {
  Open();
  plugin.OnIdle();
  const auto markCard = [this] { Find(ControlId::Card)->getProperties().set("built before", true); };
  const auto cardIsNew = [this] { return !Find(ControlId::Card)->getProperties().contains("built before"); };
  markCard();
  plugin.SetColourScheme(plugin.ColourScheme());  // the same theme: nothing to do
  plugin.OnIdle();
  EXPECT_FALSE(cardIsNew());
  plugin.SetColourScheme(plugin.ColourScheme() == 3 ? 2 : 3);
  plugin.OnIdle();
  EXPECT_TRUE(cardIsNew());
  EXPECT_EQ(editor->Controls().title->Text(), "OMBRIX");
  EXPECT_FALSE(editor->Controls().status->Text().empty()) << "the rebuilt status line gets its text again";
}

TEST(EditorLogo, TheWordmarkStandsInWhenTheLogoCannotBeRead) {
  EditorFontsHeld fonts;
  EditorCallables callables;
  const char damaged[] = "<svg width='10' height='oops'";
  for (const auto& [data, size, wordmark] :
       {std::tuple<const void*, std::size_t, bool>{OmbrixAssets::ombrixlockup_svg,
                                                   static_cast<std::size_t>(OmbrixAssets::ombrixlockup_svgSize), false},
        {damaged, sizeof damaged - 1, true},
        {nullptr, 0, true}}) {
    juce::Component canvas;
    tonal_panel::TextEntry entry(canvas);
    tonal_panel::LayoutContext context;
    context.callables = &callables;
    context.textEntry = &entry;
    context.logoData = data;
    context.logoSize = size;
    const auto controls = tonal_panel::BuildLayout(canvas, context);
    juce::Component* logo = controls->Find(ControlId::Logo);
    ASSERT_NE(logo, nullptr);
    auto* text = dynamic_cast<tonal_panel::TextControl*>(logo);
    EXPECT_EQ(text != nullptr, wordmark);
    if (text != nullptr) {
      EXPECT_EQ(text->Text(), "OMBRIX");
      EXPECT_EQ(logo->getBounds(), juce::Rectangle<int>::leftTopRightBottom(20, 371, 300, 389));
    } else {
      EXPECT_EQ(logo->getBounds(), juce::Rectangle<int>::leftTopRightBottom(20, 371, 113, 389))
          << "18 pixels high at the SVG's 331.15 : 64";
    }
  }
}

}  // namespace
}  // namespace ombrix::test
