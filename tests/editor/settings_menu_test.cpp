// The settings menu item by item on a real plug-in and editor: the tick on
// the resolution, the theme, the window size (also after the host resized the
// window to a size of its own) and the update check, the version line, and
// what choosing each group does.
#include <memory>

#include <gtest/gtest.h>

#include "editor/ombrix_editor.h"
#include "editor/settings_menu_control.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"
#include "tests/support/temp_data_home.h"

namespace ombrix::test {
namespace {

using tonal_panel::MenuItem;

struct SettingsMenuTest : testing::Test {
  SettingsMenuTest() { editor.reset(dynamic_cast<tonal_panel::OmbrixEditor*>(plugin.createEditorIfNeeded())); }
  ~SettingsMenuTest() override {
    plugin.editorBeingDeleted(editor.get());
    editor.reset();
  }
  tonal_panel::SettingsMenuControl& Menu() { return *editor->Controls().settingsMenu; }
  std::vector<std::string> Ticked() {
    std::vector<std::string> ticked;
    for (const MenuItem& item : Menu().BuildMenu())
      if (item.ticked) ticked.push_back(item.text);
    return ticked;
  }
  int IndexOf(const std::string& text) {
    const auto menu = Menu().BuildMenu();
    for (std::size_t i = 0; i < menu.size(); ++i)
      if (menu[i].text == text) return static_cast<int>(i);
    ADD_FAILURE() << text;
    return -1;
  }

  TempDataHome home;
  EditorFontsHeld fonts;
  Ombrix plugin;
  std::unique_ptr<tonal_panel::OmbrixEditor> editor;
};

TEST_F(SettingsMenuTest, ItemsInTheirOrder) {
  const auto menu = Menu().BuildMenu();
  const std::vector<std::string> texts{"Resolution: fine (1/3 octave)", "Resolution: medium (1/2 octave)",
                                       "Resolution: smooth (1 octave)", "--",
                                       "Green", "Red", "Orange", "Blue", "Purple", "DAW color", "--",
                                       "Window 0.75x", "Window 1x", "Window 1.5x", "Window 2x", "--",
                                       "Check for updates", "--", "Ombrix " OMBRIX_VERSION};
  ASSERT_EQ(menu.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(menu[i].separator ? "--" : menu[i].text, texts[i]);
    EXPECT_EQ(menu[i].enabled, !menu[i].separator && i + 1 < texts.size()) << texts[i];
  }
  EXPECT_EQ(Ticked(), (std::vector<std::string>{"Resolution: smooth (1 octave)", "DAW color", "Window 1x",
                                                "Check for updates"}));
}

TEST_F(SettingsMenuTest, TheWindowTickFollowsTheScaleWithinTwoHundredths) {
  Menu().Choose(IndexOf("Window 1.5x"));
  EXPECT_EQ(editor->getWidth(), 960);
  EXPECT_EQ(Ticked()[2], "Window 1.5x");
  editor->setSize(832, 520);  // the host makes it 1.3x
  EXPECT_NEAR(plugin.WindowScale(), 1.3f, 1e-6f);
  for (const std::string& ticked : Ticked()) EXPECT_EQ(ticked.rfind("Window", 0), std::string::npos) << ticked;
  Menu().Choose(IndexOf("Window 0.75x"));
  EXPECT_EQ(editor->getWidth(), 480);
  EXPECT_EQ(editor->getHeight(), 300);
}

TEST_F(SettingsMenuTest, ChoicesSetResolutionThemeAndUpdateCheck) {
  Menu().Choose(IndexOf("Resolution: fine (1/3 octave)"));
  EXPECT_EQ(plugin.Resolution(), 0);

  // The theme in use rebuilds nothing; another one rebuilds at once.
  plugin.SetColourScheme(2);
  plugin.OnIdle();
  juce::Component* card = editor->Controls().Find(tonal_panel::ControlId::Card);
  card->getProperties().set("built before", true);
  Menu().Choose(IndexOf("Orange"));
  plugin.OnIdle();
  EXPECT_TRUE(editor->Controls().Find(tonal_panel::ControlId::Card)->getProperties().contains("built before"));
  Menu().Choose(IndexOf("Purple"));
  plugin.OnIdle();
  EXPECT_EQ(plugin.ColourScheme(), 4);
  EXPECT_FALSE(editor->Controls().Find(tonal_panel::ControlId::Card)->getProperties().contains("built before"));

  ASSERT_TRUE(plugin.UpdateChecksEnabled());
  Menu().Choose(IndexOf("Check for updates"));
  EXPECT_FALSE(plugin.UpdateChecksEnabled());
  const std::vector<std::string> ticked = Ticked();
  EXPECT_EQ(std::count(ticked.begin(), ticked.end(), "Check for updates"), 0);
  Menu().Choose(IndexOf("Check for updates"));
  EXPECT_TRUE(plugin.UpdateChecksEnabled());

  // Separators and the version line do nothing.
  const auto before = plugin.SerializeState();
  Menu().Choose(3);
  Menu().Choose(IndexOf("Ombrix " OMBRIX_VERSION));
  EXPECT_EQ(plugin.SerializeState(), before);
}

}  // namespace
}  // namespace ombrix::test
