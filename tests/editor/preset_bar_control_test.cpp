// The preset bar against a small preset library in memory: its zones, what
// it draws, stepping with wrap-around, the list, saving, saving under a typed
// name, the two-click delete and the shortened name.
#include <algorithm>

#include <gtest/gtest.h>

#include "editor/preset_bar_control.h"
#include "tests/editor/editor_fixtures.h"
#include "tests/editor/entry_typing.h"

namespace ombrix::test {
namespace {

using kestrune::controls::PresetBarControl;
using Zone = PresetBarControl::Zone;

struct PresetBarTest : testing::Test {
  PresetBarTest() {
    canvas.setBounds(0, 0, 640, 400);
    PresetBarControl::Callables c;
    c.listNames = [this] { return names; };
    c.currentName = [this] { return current; };
    c.loadByName = [this](const std::string& name, int occurrence) {
      current = name;
      calls.push_back("load " + name + (occurrence > 0 ? " #" + std::to_string(occurrence) : ""));
    };
    c.saveByName = [this](const std::string& name) {
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      current = name;
      calls.push_back("save " + name);
    };
    c.deleteByName = [this](const std::string& name, int occurrence) {
      names.erase(std::remove(names.begin(), names.end(), name), names.end());
      calls.push_back("delete " + name + (occurrence > 0 ? " #" + std::to_string(occurrence) : ""));
    };
    c.isModified = [this] { return modified; };
    c.openSettingsMenu = [this](juce::Rectangle<float> area) { calls.push_back("menu " + area.toString().toStdString()); };
    bar = std::make_unique<PresetBarControl>(kestrune::controls::PresetBarStyle{}, c, entry);
    bar->PlaceOnCanvas({0, 0, 640, 32});
    canvas.addAndMakeVisible(*bar);
  }
  juce::Colour Pixel(float x, float y, float scale = 1.0f) {
    return PixelAt(RenderOnCanvas(*bar, scale, juce::Colours::black), x, y, scale);
  }

  EditorFontsHeld fonts;
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  std::vector<std::string> names{"Air", "Bass", "Calm"};
  std::string current;
  bool modified = false;
  std::vector<std::string> calls;
  std::unique_ptr<PresetBarControl> bar;
};

TEST_F(PresetBarTest, ZonesAtTheBarsSize) {
  const struct {
    Zone zone;
    float left, right;
  } cases[] = {
      {Zone::kPrevious, 14.27f, 34.75f}, {Zone::kNameBox, 34.75f, 244.75f}, {Zone::kNext, 244.75f, 265.23f},
      {Zone::kSave, 275.47f, 345.10f},   {Zone::kSaveAs, 348.37f, 418.01f}, {Zone::kDelete, 421.28f, 490.92f},
      {Zone::kMenu, 605.05f, 625.53f},
  };
  for (const auto& c : cases) {
    const juce::Rectangle<float> r = bar->ZoneRect(c.zone);
    EXPECT_NEAR(r.getX(), c.left, 0.01f) << c.zone;
    EXPECT_NEAR(r.getRight(), c.right, 0.01f) << c.zone;
    EXPECT_NEAR(r.getY(), 5.76f, 0.01f) << c.zone;
    EXPECT_NEAR(r.getBottom(), 26.24f, 0.01f) << c.zone;
    EXPECT_EQ(bar->ZoneAt(r.getCentre()), c.zone);
    EXPECT_EQ(bar->ZoneAt({r.getRight(), r.getCentreY()}), c.zone == Zone::kNameBox || c.zone == Zone::kPrevious
                                                               ? static_cast<Zone>(c.zone + 1)
                                                               : Zone::kNone)
        << "the right edge belongs to the next zone";
  }
  EXPECT_EQ(bar->ZoneAt({600.0f, 2.0f}), Zone::kNone);
}

TEST_F(PresetBarTest, SteppingWrapsAroundAndStartsAtAnEndFromAnUnknownName) {
  const struct {
    std::string from;
    Zone zone;
    std::string to;
  } cases[] = {
      {"Bass", Zone::kNext, "Calm"}, {"Calm", Zone::kNext, "Air"},      {"Air", Zone::kPrevious, "Calm"},
      {"", Zone::kPrevious, "Calm"}, {"Gone", Zone::kNext, "Air"},       {"Gone", Zone::kPrevious, "Calm"},
  };
  for (const auto& c : cases) {
    current = c.from;
    bar->Click(c.zone);
    EXPECT_EQ(current, c.to) << "from \"" << c.from << "\"";
  }
}

TEST_F(PresetBarTest, SteppingGoesByPlaceThroughPresetsOfTheSameName) {
  names = {"Air", "Twice", "Twice", "Zen"};
  current = "Air";
  for (int i = 0; i < 4; ++i) bar->Click(Zone::kNext);
  EXPECT_EQ(calls, (std::vector<std::string>{"load Twice", "load Twice #1", "load Zen", "load Air"}));
  calls.clear();
  bar->Click(Zone::kPrevious);  // Zen
  bar->Click(Zone::kPrevious);  // the second Twice
  bar->Click(Zone::kDelete);
  bar->Click(Zone::kDelete);
  EXPECT_EQ(calls, (std::vector<std::string>{"load Zen", "load Twice #1", "delete Twice #1"}));
}

TEST_F(PresetBarTest, WithNoPresetsTheArrowsAndTheListDoNothing) {
  names.clear();
  bar->Click(Zone::kNext);
  bar->Click(Zone::kPrevious);
  EXPECT_TRUE(bar->ListMenuNames().empty());
  bar->Click(Zone::kSave);
  bar->Click(Zone::kDelete);
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(bar->DeleteArmed());
  // "Save as" still works.
  bar->Click(Zone::kSaveAs);
  ASSERT_TRUE(entry.IsOpen());
  TypeAndReturn(entry, "First");
  EXPECT_EQ(calls, (std::vector<std::string>{"save First"}));
}

TEST_F(PresetBarTest, DeleteNeedsASecondClickAndAnyOtherZoneDisarms) {
  current = "Bass";
  bar->Click(Zone::kDelete);
  EXPECT_TRUE(bar->DeleteArmed());
  bar->Click(Zone::kSave);  // saves and disarms
  EXPECT_FALSE(bar->DeleteArmed());
  EXPECT_EQ(calls, (std::vector<std::string>{"save Bass"}));

  const auto moveTo = [this](Zone zone) { bar->mouseMove(MouseAt(*bar, bar->ZoneRect(zone).getCentre())); };
  moveTo(Zone::kDelete);
  bar->mouseDown(MouseAt(*bar, bar->ZoneRect(Zone::kDelete).getCentre()));
  EXPECT_TRUE(bar->DeleteArmed());
  moveTo(Zone::kSave);  // leaving "Delete" disarms
  EXPECT_FALSE(bar->DeleteArmed());
  moveTo(Zone::kDelete);
  bar->mouseDown(MouseAt(*bar, bar->ZoneRect(Zone::kDelete).getCentre()));
  bar->mouseExit(MouseAt(*bar, {320.0f, 100.0f}));  // so does leaving the bar
  EXPECT_FALSE(bar->DeleteArmed());

  bar->Click(Zone::kDelete);
  bar->Click(Zone::kDelete);
  EXPECT_EQ(calls.back(), "delete Bass");
  EXPECT_EQ(names, (std::vector<std::string>{"Air", "Calm"}));
  EXPECT_EQ(current, "Bass") << "the current name stays";
}

TEST_F(PresetBarTest, SaveAsTrimsAndSavesNothingForSpaces) {
  current = "Air";
  bar->Click(Zone::kSaveAs);
  ASSERT_TRUE(entry.IsOpen());
  EXPECT_EQ(entry.Field()->getText(), "Air");
  EXPECT_NEAR(entry.Field()->getBounds().getWidth(), 220, 1) << "220 wide, centred on the name box";
  EXPECT_NEAR(entry.Field()->getBounds().getCentreX(), bar->ZoneRect(Zone::kNameBox).getCentreX(), 1.0f);
  TypeAndReturn(entry, "   \t ");
  EXPECT_TRUE(calls.empty());
  bar->Click(Zone::kSaveAs);
  TypeAndReturn(entry, "  Night drive ");
  EXPECT_EQ(calls, (std::vector<std::string>{"save Night drive"}));
}

TEST_F(PresetBarTest, LeavingTheSaveAsEntryCancelsIt) {
  current = "";
  bar->Click(Zone::kSaveAs);
  ASSERT_TRUE(entry.IsOpen());
  EXPECT_EQ(entry.Field()->getTextToShowWhenEmpty(), "Preset name");
  entry.Field()->setText("Half a na");
  entry.Field()->focusLost(juce::Component::focusChangedByMouseClick);  // the user clicked another window
  for (int i = 0; i < 20 && entry.IsOpen(); ++i) juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
  EXPECT_FALSE(entry.IsOpen());
  EXPECT_TRUE(calls.empty()) << "only Return saves";
}

TEST_F(PresetBarTest, TheListLoadsTheChosenName) {
  current = "Bass";
  EXPECT_EQ(bar->ListMenuNames(), names);
  bar->ChooseFromList(2);
  bar->ChooseFromList(7);
  EXPECT_EQ(calls, (std::vector<std::string>{"load Calm"}));
}

TEST_F(PresetBarTest, ALongModifiedNameKeepsItsStar) {
  current = "A rather long preset name for a late night mix session";
  modified = true;
  const std::string shown = bar->ShownName();
  EXPECT_EQ(shown.substr(shown.size() - 4), "\xE2\x80\xA6*") << shown;
  modified = false;
  EXPECT_EQ(bar->ShownName().substr(bar->ShownName().size() - 3), "\xE2\x80\xA6");
  current = "Calm";
  EXPECT_EQ(bar->ShownName(), "Calm");
}

TEST_F(PresetBarTest, TheMenuButtonOpensTheSettingsAtItsRectangle) {
  bar->Click(Zone::kMenu);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("menu 605.", 0), 0u) << calls[0];
}

TEST_F(PresetBarTest, EnabledAndDisabledButtonsShareTheOutlineAndDifferInTheirLabel) {
  for (const float scale : {1.0f, 2.0f}) {
    const juce::Image image = RenderOnCanvas(*bar, scale, juce::Colours::black);
    // The outline along each button's top edge, away from the corners.
    const float y = bar->ZoneRect(Zone::kSave).getY();
    const juce::Colour save = PixelAt(image, bar->ZoneRect(Zone::kSave).getCentreX() - 20, y, scale);
    const juce::Colour saveAs = PixelAt(image, bar->ZoneRect(Zone::kSaveAs).getCentreX() - 20, y, scale);
    EXPECT_TRUE(ColourNear(saveAs, save, 6)) << "scale " << scale;
    EXPECT_LT(saveAs.getBrightness(), 0.5f) << "a faint outline, scale " << scale;
  }
}

TEST_F(PresetBarTest, ArmedDeleteReadsSureInTheWarningColour) {
  current = "Air";
  bar->Click(Zone::kDelete);
  const juce::Rectangle<float> r = bar->ZoneRect(Zone::kDelete);
  const juce::Image image = RenderOnCanvas(*bar, 2.0f, juce::Colours::black);
  // The outline turns amber.
  const juce::Colour outline = PixelAt(image, r.getCentreX(), r.getY(), 2.0f);
  EXPECT_GT(outline.getRed(), 200);
  EXPECT_GT(outline.getRed(), outline.getBlue() + 100);
}

}  // namespace
}  // namespace ombrix::test
