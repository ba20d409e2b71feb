// The target menu item by item in the states a user meets: no saved targets,
// learning before and after 15 s, a file being analysed, a user target in
// use; what its learning, file and save items do; and the chip's label.
#include <gtest/gtest.h>

#include "editor/target_menu.h"

namespace ombrix::test {
namespace {

using tonal_panel::ActionMenu;
using tonal_panel::BuildTargetMenu;
using tonal_panel::MenuItem;

struct Item {
  std::string text;
  bool enabled = true;
  bool ticked = false;
};

struct TargetMenuTest : testing::Test {
  TargetMenuTest() {
    c.currentTarget = [this] { return current; };
    c.factoryTargetNames = [] { return std::vector<std::string>{"Dance", "Pop"}; };
    c.userTargets = [this] { return saved; };
    c.learning = [this] { return learning; };
    c.learnedSeconds = [this] { return seconds; };
    c.analysingReferenceFile = [this] { return analysing; };
    c.startLearning = [this] { actions.push_back("start learning"); };
    c.finishLearning = [this] { actions.push_back("finish learning"); };
    c.cancelLearning = [this] { actions.push_back("cancel learning"); };
    c.learnFromReferenceFile = [this](const std::string& path) { actions.push_back("learn from " + path); };
    c.selectUserTarget = [this](const TargetCurve& t) { actions.push_back("select " + t.name); };
    c.deleteCurrentTarget = [this] { actions.push_back("delete"); };
    hooks.openSaveEntry = [this](const std::string& suggestion) { actions.push_back("save as " + suggestion); };
    hooks.chooseReferenceFile = [this](std::function<void(const std::string&)> chosen) {
      pendingChoice = std::move(chosen);
    };
  }
  static TargetCurve Saved(const std::string& name) {
    TargetCurve t;
    t.name = name;
    return t;
  }
  ActionMenu Menu() { return BuildTargetMenu(c, hooks); }
  // The items after the built-in and factory targets and their separator.
  static std::vector<Item> Tail(const ActionMenu& menu) {
    std::vector<Item> items;
    for (std::size_t i = 4; i < menu.model.size(); ++i) {
      const MenuItem& m = menu.model[i];
      items.push_back({m.separator ? "--" : m.text, m.enabled, m.ticked});
    }
    return items;
  }
  static void ExpectItems(const std::vector<Item>& actual, const std::vector<Item>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (expected[i].text == "--") {
        EXPECT_EQ(actual[i].text, "--") << i;
        continue;
      }
      EXPECT_EQ(actual[i].text, expected[i].text) << i;
      EXPECT_EQ(actual[i].enabled, expected[i].enabled) << expected[i].text;
      EXPECT_EQ(actual[i].ticked, expected[i].ticked) << expected[i].text;
    }
  }
  int IndexOf(const ActionMenu& menu, const std::string& text) {
    for (std::size_t i = 0; i < menu.model.size(); ++i)
      if (menu.model[i].text == text) return static_cast<int>(i);
    ADD_FAILURE() << "no item " << text;
    return -1;
  }

  EditorCallables c;
  tonal_panel::TargetMenuHooks hooks;
  TargetSummary current{TargetKind::Balanced, "Balanced", ""};
  std::vector<TargetCurve> saved;
  bool learning = false, analysing = false;
  double seconds = 0.0;
  std::vector<std::string> actions;
  std::function<void(const std::string&)> pendingChoice;
};

TEST_F(TargetMenuTest, WithNoSavedTargets) {
  const ActionMenu menu = Menu();
  EXPECT_EQ(menu.model[0].text, "Balanced (pink noise)");
  EXPECT_TRUE(menu.model[0].ticked);
  EXPECT_EQ(menu.model[1].text, "Dance");
  EXPECT_EQ(menu.model[2].text, "Pop");
  EXPECT_TRUE(menu.model[3].separator);
  ExpectItems(Tail(menu), {{"Learn from input"},
                           {"Learn from reference file\xE2\x80\xA6"},
                           {"--"},
                           {"No saved targets", false},
                           {"--"},
                           {"Save target\xE2\x80\xA6"}});
}

TEST_F(TargetMenuTest, WhileLearning) {
  learning = true;
  seconds = 9.7;
  ExpectItems(Tail(Menu()), {{"Learning\xE2\x80\xA6 9 of 15 s", false},
                             {"Cancel learning"},
                             {"Learn from reference file\xE2\x80\xA6", false},
                             {"--"},
                             {"No saved targets", false},
                             {"--"},
                             {"Save target\xE2\x80\xA6", false}});
  EXPECT_EQ(tonal_panel::TargetChipLabel(c), "Learning 9 s");

  seconds = 15.0;
  ActionMenu menu = Menu();
  EXPECT_EQ(Tail(menu)[0].text, "Finish learning (15 s)");
  EXPECT_TRUE(Tail(menu)[0].enabled);
  menu.Run(IndexOf(menu, "Finish learning (15 s)"));
  menu.Run(IndexOf(menu, "Cancel learning"));
  EXPECT_EQ(actions, (std::vector<std::string>{"finish learning", "cancel learning"}));
}

TEST_F(TargetMenuTest, WhileAFileIsAnalysed) {
  analysing = true;
  ExpectItems(Tail(Menu()), {{"Learn from input", false},
                             {"Analysing a file\xE2\x80\xA6", false},
                             {"--"},
                             {"No saved targets", false},
                             {"--"},
                             {"Save target\xE2\x80\xA6"}});
  EXPECT_EQ(tonal_panel::TargetChipLabel(c), "Analysing\xE2\x80\xA6");
}

TEST_F(TargetMenuTest, WithAUserTargetInUse) {
  saved = {Saved("Bright"), Saved("Warm")};
  current = {TargetKind::User, "Warm", ""};
  ActionMenu menu = Menu();
  ExpectItems(Tail(menu), {{"Learn from input"},
                           {"Learn from reference file\xE2\x80\xA6"},
                           {"--"},
                           {"Bright"},
                           {"Warm", true, true},
                           {"--"},
                           {"Save target\xE2\x80\xA6"},
                           {"Delete \xE2\x80\x9CWarm\xE2\x80\x9D\xE2\x80\xA6"}});
  EXPECT_FALSE(menu.model[0].ticked);
  menu.Run(IndexOf(menu, "Bright"));
  menu.Run(IndexOf(menu, "Save target\xE2\x80\xA6"));
  menu.Run(IndexOf(menu, "Delete \xE2\x80\x9CWarm\xE2\x80\x9D\xE2\x80\xA6"));
  EXPECT_EQ(actions, (std::vector<std::string>{"select Bright", "save as Warm", "delete"}));
  EXPECT_EQ(tonal_panel::TargetChipLabel(c), "Warm");
}

TEST_F(TargetMenuTest, TheSaveEntrySuggestsANameForATargetLearnedFromTheInput) {
  const struct {
    TargetSummary current;
    std::string suggestion;
  } cases[] = {
      {{TargetKind::Learned, "Learned from input", ""}, "Learned target"},
      {{TargetKind::Learned, "mix", "mix.flac"}, "mix"},
      {{TargetKind::Factory, "Pop", ""}, "Pop"},
  };
  for (const auto& k : cases) EXPECT_EQ(tonal_panel::SuggestedTargetName(k.current), k.suggestion) << k.current.name;
}

TEST_F(TargetMenuTest, TheReferenceFileItemLearnsFromTheChosenFileOnly) {
  ActionMenu menu = Menu();
  const int item = IndexOf(menu, "Learn from reference file\xE2\x80\xA6");
  menu.Run(item);
  ASSERT_TRUE(pendingChoice);
  pendingChoice("");  // cancelled
  EXPECT_TRUE(actions.empty());

  menu.Run(item);
  learning = true;  // started while the dialog was open
  pendingChoice("/music/a.wav");
  EXPECT_TRUE(actions.empty());

  learning = false;
  menu.Run(item);
  pendingChoice("/music/b.flac");
  EXPECT_EQ(actions, (std::vector<std::string>{"learn from /music/b.flac"}));
}

TEST(ReferenceFilePatterns, OneWildcardPerExtension) {
  EXPECT_EQ(tonal_panel::ReferenceFilePatterns(), "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.mp3;*.flac;*.ogg;*.oga;*.opus");
}

}  // namespace
}  // namespace ombrix::test
