// The editor on a real plug-in instance, in-process and off-screen: what it
// shows after opening, how the idle tick drives it, its scale and the logo.
#include <memory>

#include <gtest/gtest.h>

#include "OmbrixAssets.h"
#include "editor/corner_scale_control.h"
#include "editor/editor_layout.h"
#include "editor/ombrix_editor.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"

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
