// The target and preset workflows as a user goes through them in the editor:
// the chips' menus, the text entry, the boxes that ask and tell, the idle
// tick that carries out a pending save, on real folders in a private data
// home. Boxes are answered by clicking their buttons.
#include <algorithm>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "editor/chip_control.h"
#include "editor/ombrix_editor.h"
#include "editor/preset_bar_control.h"
#include "library/base64.h"
#include "library/data_folders.h"
#include "library/presets.h"
#include "library/target_library.h"
#include "plugin/ombrix.h"
#include "tests/support/temp_data_home.h"
#include "tests/editor/editor_fixtures.h"
#include "tests/editor/entry_typing.h"

namespace ombrix::test {
namespace {

using kestrune::controls::ChipControl;
using kestrune::controls::PresetBarControl;
using Zone = PresetBarControl::Zone;

constexpr const char* kOpenQuote = "\xE2\x80\x9C";
constexpr const char* kCloseQuote = "\xE2\x80\x9D";

struct WorkflowTest : testing::Test {
  WorkflowTest() { editor.reset(dynamic_cast<tonal_panel::OmbrixEditor*>(plugin.createEditorIfNeeded())); }
  ~WorkflowTest() override {
    plugin.editorBeingDeleted(editor.get());
    editor.reset();
  }

  ChipControl& TargetChip() { return *dynamic_cast<ChipControl*>(editor->Controls().Tagged(tonal_panel::kTargetChipTag)); }
  PresetBarControl& Bar() { return *editor->Controls().presetBar; }
  std::vector<std::string> MenuTexts() {
    std::vector<std::string> texts;
    for (const auto& item : TargetChip().Menu()) texts.push_back(item.separator ? "--" : item.text);
    return texts;
  }
  // Chooses a target-menu item by its text, as a click on it would.
  void Choose(const std::string& text) {
    const auto menu = TargetChip().Menu();
    for (std::size_t i = 0; i < menu.size(); ++i)
      if (menu[i].text == text) return TargetChip().ChooseItem(static_cast<int>(i));
    ADD_FAILURE() << "no menu item " << text;
  }
  void SaveTargetAs(const char* name) {
    Choose("Save target\xE2\x80\xA6");
    ASSERT_TRUE(editor->Entry().IsOpen());
    TypeAndReturn(editor->Entry(), name);
    plugin.OnIdle();  // the pending name is saved on the next tick
  }
  std::vector<tonal_panel::DialogBoxes::OpenBox> Boxes() { return editor->Dialogs().OpenBoxes(); }
  // Clicks a button of the newest box and lets the click arrive.
  void Press(const juce::String& button) {
    const auto boxes = Boxes();
    ASSERT_FALSE(boxes.empty());
    juce::Component* box = boxes.back().box;
    juce::Button* target = nullptr;
    for (juce::Component* child : box->getChildren())
      if (auto* b = dynamic_cast<juce::Button*>(child); b != nullptr && b->getButtonText() == button) target = b;
    ASSERT_NE(target, nullptr) << button;
    target->triggerClick();
    for (int i = 0; i < 100 && Boxes().size() == boxes.size(); ++i)
      juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    ASSERT_EQ(Boxes().size(), boxes.size() - 1) << "the box closed";
  }
  static std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string SavedCurveOf(const std::string& name) {
    for (const TargetCurve& t : ListUserTargets())
      if (t.name == name) return FormatLevels(t.curve);
    return "not saved";
  }

  TempDataHome home;  // before the plug-in: its files go here
  EditorFontsHeld fonts;
  Ombrix plugin;
  std::unique_ptr<tonal_panel::OmbrixEditor> editor;
};

TEST_F(WorkflowTest, BalancedIsRefusedAndBalancedInLowerCaseIsSaved) {
  Choose("Save target\xE2\x80\xA6");
  ASSERT_TRUE(editor->Entry().IsOpen());
  EXPECT_EQ(editor->Entry().Field()->getText(), "Balanced") << "the suggestion";
  TypeAndReturn(editor->Entry(), " Balanced ");
  plugin.OnIdle();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Save target");
  EXPECT_EQ(Boxes()[0].text, std::string(kOpenQuote) + "Balanced" + kCloseQuote +
                                 " is the built-in target. Choose another name.");
  Press("OK");
  EXPECT_TRUE(ListUserTargets().empty());

  SaveTargetAs("balanced");
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(ListUserTargets().size(), 1u);
  EXPECT_EQ(plugin.Target().Get().kind, TargetKind::User);
  EXPECT_EQ(TargetChip().ShownLabel(), "balanced");
}

TEST_F(WorkflowTest, ReplacingASavedTargetNeedsYes) {
  Choose("Pop");
  SaveTargetAs("Warm");
  const std::string pop = SavedCurveOf("Warm");
  Choose("Rock");
  SaveTargetAs("Warm");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, std::string("A target named ") + kOpenQuote + "Warm" + kCloseQuote +
                                 " already exists. Replace it?");
  Press("No");
  EXPECT_EQ(SavedCurveOf("Warm"), pop);
  EXPECT_EQ(plugin.Target().Get().kind, TargetKind::Factory) << "the current target stays as it was";

  SaveTargetAs("Warm");
  Press("Yes");
  EXPECT_NE(SavedCurveOf("Warm"), pop);
  EXPECT_EQ(SavedCurveOf("Warm"), FormatLevels(plugin.Target().Get().curve));
  EXPECT_EQ(plugin.Target().Get().kind, TargetKind::User);
}

TEST_F(WorkflowTest, DeletingASavedTargetKeepsItsCurve) {
  Choose("Metal");
  SaveTargetAs("Loud");
  const TargetChoice saved = plugin.Target().Get();
  ASSERT_EQ(saved.kind, TargetKind::User);
  const std::string deleteItem = std::string("Delete ") + kOpenQuote + "Loud" + kCloseQuote + "\xE2\x80\xA6";
  EXPECT_EQ(MenuTexts().back(), deleteItem);

  Choose(deleteItem);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Delete target");
  Press("No");
  EXPECT_EQ(ListUserTargets().size(), 1u);

  Choose(deleteItem);
  Press("Yes");
  EXPECT_TRUE(ListUserTargets().empty());
  const TargetChoice now = plugin.Target().Get();
  EXPECT_EQ(now.kind, TargetKind::Learned);
  EXPECT_EQ(now.name, "Loud");
  EXPECT_EQ(now.curve, saved.curve) << "correction goes on with the same curve";
  const auto texts = MenuTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), deleteItem), 0);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "No saved targets"), 1);
}

TEST_F(WorkflowTest, PresetsAreSavedSteppedReplacedAndDeletedFromTheBar) {
  for (const char* name : {"A", "B", "C"}) {
    Bar().Click(Zone::kSaveAs);
    TypeAndReturn(editor->Entry(), name);
  }
  EXPECT_EQ(plugin.PresetName(), "C");
  Bar().Click(Zone::kNext);
  EXPECT_EQ(plugin.PresetName(), "A") << "next after the last wraps to the first";
  Bar().Click(Zone::kPrevious);
  EXPECT_EQ(plugin.PresetName(), "C");

  // Spaces only: nothing is saved.
  Bar().Click(Zone::kSaveAs);
  TypeAndReturn(editor->Entry(), "   ");
  EXPECT_EQ(ListPresets().size(), 3u);

  // Another preset's name asks before replacing it.
  const std::string before = Slurp(PresetsFolder() / "A.ompreset");
  plugin.Parameter(kLowCrossover).SetReal(123.0);
  Bar().Click(Zone::kSaveAs);
  TypeAndReturn(editor->Entry(), "A");
  plugin.OnIdle();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "A preset named \"A\" already exists. Replace it?");
  Press("No");
  EXPECT_EQ(Slurp(PresetsFolder() / "A.ompreset"), before);
  Bar().Click(Zone::kSaveAs);
  TypeAndReturn(editor->Entry(), "A");
  plugin.OnIdle();
  Press("Yes");
  EXPECT_NE(Slurp(PresetsFolder() / "A.ompreset"), before);
  EXPECT_EQ(plugin.PresetName(), "A");

  // "Delete" needs a second click.
  Bar().Click(Zone::kDelete);
  EXPECT_TRUE(Bar().DeleteArmed());
  EXPECT_EQ(ListPresets().size(), 3u);
  Bar().Click(Zone::kDelete);
  EXPECT_EQ(ListPresets().size(), 2u);
  EXPECT_EQ(plugin.PresetName(), "A") << "the current name stays";
}

TEST_F(WorkflowTest, ADamagedPresetShowsItsMessageAndChangesNothing) {
  // A state with our tag whose parameter values are cut short.
  ByteChunk chunk;
  chunk.PutInt(kStateTag);
  chunk.PutInt(1);
  chunk.PutInt(0);
  chunk.PutInt(640);
  chunk.PutInt(400);
  chunk.PutString("");
  chunk.PutInt(0);
  chunk.PutInt(18);
  chunk.PutDouble(1.0);
  std::filesystem::create_directories(PresetsFolder());
  std::ofstream(PresetsFolder() / "Broken.ompreset")
      << "Ombrix preset 1\nname=Broken\nstate=" << EncodeBase64(chunk.Bytes()) << "\n";
  plugin.Parameter(kCorrectLow).SetReal(77.0);
  const auto state = plugin.SerializeState();

  Bar().Click(Zone::kNext);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Load preset");
  EXPECT_EQ(Boxes()[0].text, "Could not load the preset: its state is damaged.");
  Press("OK");
  EXPECT_EQ(plugin.SerializeState(), state);
  EXPECT_EQ(plugin.ParamValue(kCorrectLow), 77.0);
}

TEST_F(WorkflowTest, ClosingTheEditorAnswersAnOpenQuestionNo) {
  Choose("Dance");
  SaveTargetAs("Club");
  const std::string dance = SavedCurveOf("Club");
  Choose("Pop");
  SaveTargetAs("Club");
  ASSERT_EQ(Boxes().size(), 1u);
  plugin.editorBeingDeleted(editor.get());
  editor.reset();
  EXPECT_EQ(SavedCurveOf("Club"), dance);
  EXPECT_EQ(plugin.Target().Get().kind, TargetKind::Factory);
}

}  // namespace
}  // namespace ombrix::test
