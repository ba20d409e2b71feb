// Message boxes and questions inside the editor: a question belongs to its
// own editor, and a long text wraps inside the window.
#include <memory>

#include <gtest/gtest.h>

#include "editor/editor_layout.h"
#include "editor/ombrix_editor.h"
#include "editor/pill_toggle_control.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::ControlId;
using tonal_panel::OmbrixEditor;

struct OpenEditor {
  OpenEditor() { editor.reset(dynamic_cast<OmbrixEditor*>(plugin.createEditorIfNeeded())); }
  ~OpenEditor() {
    plugin.editorBeingDeleted(editor.get());
    editor.reset();
  }
  juce::Component& CorrectPill() const { return *editor->Controls().Find(ControlId::CorrectPill); }
  Ombrix plugin;
  std::unique_ptr<OmbrixEditor> editor;
};

TEST(DialogBoxes, AQuestionKeepsOnlyItsOwnEditorWaiting) {
  OpenEditor asking, other;
  bool answered = false, yes = true;
  asking.editor->AskYesNo("Save preset", "Replace it?", [&](bool y) {
    answered = true;
    yes = y;
  });
  ASSERT_EQ(asking.editor->Dialogs().OpenBoxes().size(), 1u);
  EXPECT_EQ(juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0)
      << "nothing modal for the whole process";
  EXPECT_FALSE(other.CorrectPill().isCurrentlyBlockedByAnotherModalComponent());
  const juce::Point<int> pill = other.CorrectPill().getBounds().getCentre();
  EXPECT_EQ(other.editor->Canvas().getComponentAt(pill), &other.CorrectPill()) << "the other editor takes clicks";
  EXPECT_NE(asking.editor->Canvas().getComponentAt(pill), &asking.CorrectPill())
      << "the asking editor's own controls wait for the answer";

  asking.editor->Dialogs().OpenBoxes().front().box->keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
  EXPECT_TRUE(answered);
  EXPECT_FALSE(yes) << "Escape answers No";
  EXPECT_TRUE(asking.editor->Dialogs().OpenBoxes().empty());
  EXPECT_EQ(asking.editor->Canvas().getComponentAt(pill), &asking.CorrectPill()) << "and works again";
}

TEST(DialogBoxes, ALongPathWrapsInsideTheWindow) {
  OpenEditor open;
  const std::string path = "/home/someone/Music/" + std::string(300, 'x') + "/Mastering/Reference.ompreset";
  open.editor->ShowMessage("Load preset", "Could not load the preset: not an Ombrix preset: " + path);
  const auto boxes = open.editor->Dialogs().OpenBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  const tonal_panel::MessageBoxControl& box = *boxes.front().box;
  EXPECT_TRUE(open.editor->Canvas().getLocalBounds().contains(box.getBounds())) << box.getBounds().toString();
  ASSERT_GT(box.Lines().size(), 2u);
  juce::String joined;
  for (const juce::String& line : box.Lines()) joined += line;
  EXPECT_TRUE(joined.contains(juce::String(path))) << "every character of the path is shown";
}

TEST(WrapText, BreaksAtSpacesAndInsideWordsTooLongForALine) {
  const auto measure = [](const juce::String& s) { return static_cast<float>(s.length()); };
  const struct {
    const char* text;
    std::vector<juce::String> lines;
  } cases[] = {
      {"one two three", {"one two", "three"}},
      {"abcdefghijkl", {"abcdefg", "hijkl"}},
      {"to abcdefghij end", {"to", "abcdefg", "hij end"}},
      {"first\nsecond", {"first", "second"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(tonal_panel::WrapText(c.text, 7.0f, measure), c.lines) << c.text;
}

}  // namespace
}  // namespace ombrix::test
