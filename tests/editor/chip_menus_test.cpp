// The two chips as the layout builds them: the target chip's label and menu,
// and the loudness target chip's label, menu and typed entry, on parameters
// that record every gesture.
#include <gtest/gtest.h>

#include "editor/chip_control.h"
#include "editor/editor_layout.h"
#include "editor/target_menu.h"
#include "tests/editor/editor_fixtures.h"
#include "tests/editor/entry_typing.h"

namespace ombrix::test {
namespace {

using kestrune::controls::ChipControl;
using tonal_panel::MenuItem;

struct ChipMenusTest : testing::Test {
  ChipMenusTest() {
    canvas.setBounds(0, 0, 640, 400);
    callables.parameters = parameters.Callables();
    callables.loudnessTargetFromText = [this](const std::string& text) {
      SetLoudnessTargetFromText(parameters.Callables(), text);
    };
    callables.currentTarget = [this] { return current; };
    callables.factoryTargetNames = [] { return std::vector<std::string>{"Acoustic", "Hip-Hop", "Rock"}; };
    callables.selectBalancedTarget = [this] { current = {TargetKind::Balanced, "Balanced", ""}; };
    callables.selectFactoryTarget = [this](const std::string& name) { current = {TargetKind::Factory, name, ""}; };
    tonal_panel::LayoutContext context;
    context.callables = &callables;
    context.textEntry = &entry;
    controls = tonal_panel::BuildLayout(canvas, context);
  }
  ChipControl& Chip(int tag) { return *dynamic_cast<ChipControl*>(controls->Tagged(tag)); }
  static void ExpectItem(const MenuItem& item, const std::string& text, bool ticked, bool enabled = true) {
    EXPECT_EQ(item.text, text);
    EXPECT_EQ(item.ticked, ticked) << text;
    EXPECT_EQ(item.enabled, enabled) << text;
    EXPECT_FALSE(item.separator) << text;
  }
  void TypeIntoEntry(const char* text) {
    ASSERT_TRUE(entry.IsOpen());
    TypeAndReturn(entry, text);
    ASSERT_FALSE(entry.IsOpen());
  }

  EditorFontsHeld fonts;
  FakeParameters parameters;
  TargetSummary current{TargetKind::Balanced, "Balanced", ""};
  EditorCallables callables;
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  std::unique_ptr<tonal_panel::EditorControls> controls;
};

TEST_F(ChipMenusTest, TargetMenuTicksTheCurrentTargetAndSelects) {
  ChipControl& chip = Chip(tonal_panel::kTargetChipTag);
  EXPECT_EQ(chip.ShownLabel(), "Balanced");
  auto menu = chip.Menu();
  ASSERT_GE(menu.size(), 5u);
  ExpectItem(menu[0], "Balanced (pink noise)", true);
  ExpectItem(menu[1], "Acoustic", false);
  ExpectItem(menu[2], "Hip-Hop", false);
  ExpectItem(menu[3], "Rock", false);
  EXPECT_TRUE(menu[4].separator);

  chip.ChooseItem(2);
  EXPECT_EQ(current.kind, TargetKind::Factory);
  EXPECT_EQ(current.name, "Hip-Hop");
  EXPECT_EQ(chip.ShownLabel(), "Hip-Hop");
  menu = chip.Menu();
  EXPECT_FALSE(menu[0].ticked);
  EXPECT_TRUE(menu[2].ticked);
  EXPECT_FALSE(menu[1].ticked);

  // A user target of the same name as a factory one ticks nothing.
  current = {TargetKind::User, "Rock", ""};
  for (const MenuItem& item : chip.Menu()) EXPECT_FALSE(item.ticked) << item.text;

  chip.ChooseItem(0);
  EXPECT_EQ(current.kind, TargetKind::Balanced);
  chip.ChooseItem(-1);  // dismissed
  chip.ChooseItem(99);  // out of range
  EXPECT_EQ(current.kind, TargetKind::Balanced);
}

TEST_F(ChipMenusTest, LoudnessMenuTicksTheTargetAndSetsItAsAGesture) {
  ChipControl& chip = Chip(tonal_panel::kLoudnessChipTag);
  EXPECT_EQ(chip.ShownLabel(), "−14 LUFS");
  auto menu = chip.Menu();
  ASSERT_EQ(menu.size(), 5u);
  ExpectItem(menu[0], "−14 LUFS · streaming", true);
  ExpectItem(menu[1], "−16 LUFS", false);
  ExpectItem(menu[2], "−23 LUFS · broadcast", false);
  EXPECT_TRUE(menu[3].separator);
  ExpectItem(menu[4], "Type a value…", false);

  chip.ChooseItem(2);
  EXPECT_EQ(parameters[kLoudnessTarget], -23.0);
  EXPECT_TRUE(parameters.EditsAreGestures(kLoudnessTarget));
  EXPECT_EQ(chip.ShownLabel(), "−23 LUFS");
  menu = chip.Menu();
  EXPECT_FALSE(menu[0].ticked);
  EXPECT_TRUE(menu[2].ticked);

  parameters[kLoudnessTarget] = -14.5;  // none of the three
  for (const MenuItem& item : chip.Menu()) EXPECT_FALSE(item.ticked) << item.text;
  EXPECT_EQ(chip.ShownLabel(), "−14.5 LUFS");
}

TEST_F(ChipMenusTest, TypedLoudnessTargetsSnapToHalfDecibelsBelowZero) {
  const struct {
    const char* typed;
    double expected;
  } cases[] = {
      {"9", -9.0}, {"50", -36.0}, {"3", -6.0}, {"14.3", -14.5}, {"-17,2", -17.0}, {"−20.25", -20.5},
  };
  ChipControl& chip = Chip(tonal_panel::kLoudnessChipTag);
  for (const auto& c : cases) {
    parameters = FakeParameters();
    chip.Menu();
    chip.ChooseItem(4);  // "Type a value…"
    ASSERT_TRUE(entry.IsOpen());
    EXPECT_EQ(entry.Field()->getText(), "-14.0");
    EXPECT_EQ(entry.Field()->getBounds(), juce::Rectangle<int>::leftTopRightBottom(509, 230, 609, 252));
    TypeIntoEntry(c.typed);
    EXPECT_EQ(parameters[kLoudnessTarget], c.expected) << c.typed;
    EXPECT_TRUE(parameters.EditsAreGestures(kLoudnessTarget)) << c.typed;
    EXPECT_EQ(parameters.Edits().size(), 3u);
  }
  parameters = FakeParameters();
  chip.Menu();
  chip.ChooseItem(4);
  TypeIntoEntry("abc");
  EXPECT_EQ(parameters[kLoudnessTarget], -14.0);
  EXPECT_TRUE(parameters.Edits().empty());
}

TEST_F(ChipMenusTest, TheLoudnessChipFollowsTheHost) {
  ChipControl& chip = Chip(tonal_panel::kLoudnessChipTag);
  const auto& followers = controls->followers;
  EXPECT_NE(std::find(followers.begin(), followers.end(), &chip), followers.end());
  parameters[kLoudnessTarget] = -9.0;
  chip.Follow();
  EXPECT_EQ(chip.ShownLabel(), "−9 LUFS");
}

}  // namespace
}  // namespace ombrix::test
