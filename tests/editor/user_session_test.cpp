// A user's session with the editor in a real window on the (virtual)
// display, driven only through the window system's way in: mouse events and
// key presses handed to the windows' peers, menus answered from the keyboard.
// It learns a target from 20 s of programme, saves it as "Warm", saves a
// preset, brings the state back in a fresh instance, picks "Warm" again,
// deletes it, and steps through the presets.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "editor/chip_control.h"
#include "editor/ombrix_editor.h"
#include "editor/preset_bar_control.h"
#include "library/presets.h"
#include "library/target_library.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"
#include "tests/support/temp_data_home.h"
#include "tools/display/bare_display.h"
#include "tools/ombrix/demo_programme.h"

namespace ombrix::test {
namespace {

using kestrune::controls::ChipControl;
using kestrune::controls::PresetBarControl;

void RunLoop(int milliseconds) { juce::MessageManager::getInstance()->runDispatchLoopUntil(milliseconds); }

// One plug-in instance with its editor in a window at the display's corner.
class Session {
 public:
  Session() {
    plugin_.prepareToPlay(48000.0, 480);
    editor_.reset(dynamic_cast<tonal_panel::OmbrixEditor*>(plugin_.createEditorIfNeeded()));
    editor_->setTopLeftPosition(0, 0);
    editor_->addToDesktop(0);
    editor_->setVisible(true);
    RunLoop(200);
  }
  ~Session() {
    plugin_.editorBeingDeleted(editor_.get());
    editor_.reset();
    RunLoop(50);
  }

  Ombrix& Plugin() { return plugin_; }
  tonal_panel::OmbrixEditor& Editor() { return *editor_; }
  ChipControl& TargetChip() { return *dynamic_cast<ChipControl*>(editor_->Controls().Tagged(tonal_panel::kTargetChipTag)); }
  PresetBarControl& Bar() { return *editor_->Controls().presetBar; }

  // Plays audio through the plug-in with the idle tick every 20 ms of it.
  void Play(const std::vector<float>& interleaved, double seconds) {
    juce::AudioBuffer<float> block(2, 480);
    juce::MidiBuffer midi;
    const std::size_t frames = interleaved.size() / 2;
    for (std::size_t done = 0; done < static_cast<std::size_t>(seconds * 48000.0); done += 960) {
      for (int half = 0; half < 2; ++half) {
        for (int n = 0; n < 480; ++n) {
          const std::size_t at = (done + static_cast<std::size_t>(half * 480 + n)) % frames;
          block.setSample(0, n, interleaved[2 * at]);
          block.setSample(1, n, interleaved[2 * at + 1]);
        }
        plugin_.processBlock(block, midi);
      }
      plugin_.OnIdle();
    }
  }

  // A click at a point of the canvas, as the window system delivers it.
  void Click(juce::Point<float> canvasPoint) {
    juce::ComponentPeer* peer = editor_->getPeer();
    ASSERT_NE(peer, nullptr);
    // A window manager gives the clicked window the keyboard focus; the bare
    // display has none, and a menu closes itself when no window of the
    // process has the focus.
    peer->grabFocus();
    for (int i = 0; i < 100 && !juce::Process::isForegroundProcess(); ++i) RunLoop(10);
    ASSERT_TRUE(juce::Process::isForegroundProcess());
    const juce::Point<float> at = canvasPoint * editor_->DrawScale();
    const auto send = [&](juce::ModifierKeys mods) {
      peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at, mods,
                             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                             juce::Time::currentTimeMillis());
    };
    send(juce::ModifierKeys());
    send(juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier));
    send(juce::ModifierKeys());
    RunLoop(30);
  }
  void Click(const juce::Component& control) { Click(control.getBounds().toFloat().getCentre()); }

  // Keys to the window that has the keyboard focus.
  void Type(const std::string& text) {
    for (const char c : text) Key(juce::KeyPress(0, 0, static_cast<juce::juce_wchar>(c)));
  }
  void Key(const juce::KeyPress& key) {
    juce::Component* focused = juce::Component::getCurrentlyFocusedComponent();
    juce::ComponentPeer* peer = focused != nullptr ? focused->getPeer() : editor_->getPeer();
    ASSERT_NE(peer, nullptr);
    peer->handleKeyPress(key);
    RunLoop(20);
  }

  // Picks the first item of the menu a click just opened whose text starts
  // with `text`: Down to it, then Return.
  void PickFromMenu(const tonal_panel::MenuModel& model, const std::string& text) {
    juce::Component* menu = OpenMenuWindow();
    ASSERT_NE(menu, nullptr) << "no menu open";
    int selectable = 0;
    bool found = false;
    for (const auto& item : model) {
      if (item.text.rfind(text, 0) == 0) {
        found = true;
        break;
      }
      if (!item.separator && item.enabled) ++selectable;
    }
    ASSERT_TRUE(found) << text;
    for (int i = 0; i <= selectable; ++i) menu->getPeer()->handleKeyPress(juce::KeyPress(juce::KeyPress::downKey));
    menu->getPeer()->handleKeyPress(juce::KeyPress(juce::KeyPress::returnKey));
    // The menu has gone once nothing is modal any more.
    for (int i = 0; i < 200 && juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; ++i) RunLoop(10);
    RunLoop(30);
  }
  void PickFromTargetMenu(const std::string& text) {
    const tonal_panel::MenuModel model = TargetChip().Menu();
    Click(TargetChip());
    PickFromMenu(model, text);
  }
  // Clicks a button of the newest box.
  void PressBoxButton(const juce::String& text) {
    const auto boxes = editor_->Dialogs().OpenBoxes();
    ASSERT_FALSE(boxes.empty());
    for (juce::Component* child : boxes.back().box->getChildren())
      if (auto* b = dynamic_cast<juce::Button*>(child); b != nullptr && b->getButtonText() == text) {
        const juce::Rectangle<float> onCanvas =
            editor_->Canvas().getLocalArea(b, b->getLocalBounds().toFloat());
        Click(onCanvas.getCentre());
        RunLoop(50);
        return;
      }
    ADD_FAILURE() << "no button " << text;
  }

 private:
  juce::Component* OpenMenuWindow() const {
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i) {
      juce::Component* c = desktop.getComponent(i);
      if (c != editor_.get() && c->isShowing() && c->getPeer() != nullptr) return c;
    }
    return nullptr;
  }

  Ombrix plugin_;
  std::unique_ptr<tonal_panel::OmbrixEditor> editor_;
};

bool HaveDisplay() { return ombrix::host::DisplayAvailable(); }

TEST(UserSession, LearnSaveReloadPickDeleteAndStep) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under xvfb-run)";
  TempDataHome home;
  const std::vector<float> programme = cli::SynthesiseDemoProgramme(48000.0, 20.0);
  std::vector<std::uint8_t> state;
  {
    Session s;
    s.PickFromTargetMenu("Learn from input");
    ASSERT_TRUE(s.Plugin().Learning());
    s.Play(programme, 20.0);
    const int learned = static_cast<int>(s.Plugin().LearnedSeconds());
    EXPECT_GE(learned, 19) << "20 s of loud programme, less the analyser's first frame";
    EXPECT_EQ(s.TargetChip().ShownLabel(), "Learning " + std::to_string(learned) + " s");
    s.PickFromTargetMenu("Finish learning (" + std::to_string(learned) + " s)");
    EXPECT_FALSE(s.Plugin().Learning());
    EXPECT_EQ(s.Plugin().Target().Get().name, "Learned from input");

    s.PickFromTargetMenu("Save target\xE2\x80\xA6");
    ASSERT_TRUE(s.Editor().Entry().IsOpen());
    EXPECT_EQ(s.Editor().Entry().Field()->getText(), "Learned target");
    s.Type("Warm");  // replaces the selected suggestion
    s.Key(juce::KeyPress(juce::KeyPress::returnKey));
    s.Plugin().OnIdle();
    ASSERT_EQ(ListUserTargets().size(), 1u);
    EXPECT_EQ(s.Plugin().Target().Get().kind, TargetKind::User);
    EXPECT_EQ(s.TargetChip().ShownLabel(), "Warm");

    s.Click(s.Bar().ZoneRect(PresetBarControl::kSaveAs).getCentre());
    ASSERT_TRUE(s.Editor().Entry().IsOpen());
    s.Type("Session");
    s.Key(juce::KeyPress(juce::KeyPress::returnKey));
    ASSERT_EQ(ListPresets().size(), 1u);
    juce::MemoryBlock block;
    s.Plugin().getStateInformation(block);
    state.assign(static_cast<const std::uint8_t*>(block.getData()),
                 static_cast<const std::uint8_t*>(block.getData()) + block.getSize());
  }

  Session s;
  s.Plugin().setStateInformation(state.data(), static_cast<int>(state.size()));
  s.Plugin().OnIdle();
  EXPECT_EQ(s.TargetChip().ShownLabel(), "Warm");
  EXPECT_EQ(s.Bar().ShownName(), "Session");

  s.PickFromTargetMenu("Balanced (pink noise)");
  EXPECT_EQ(s.Plugin().Target().Get().kind, TargetKind::Balanced);
  s.PickFromTargetMenu("Warm");
  EXPECT_EQ(s.Plugin().Target().Get().kind, TargetKind::User);
  EXPECT_EQ(s.Plugin().Target().Get().name, "Warm");

  s.PickFromTargetMenu("Delete \xE2\x80\x9CWarm\xE2\x80\x9D\xE2\x80\xA6");
  ASSERT_EQ(s.Editor().Dialogs().OpenBoxes().size(), 1u);
  s.PressBoxButton("Yes");
  EXPECT_TRUE(s.Editor().Dialogs().OpenBoxes().empty());
  EXPECT_TRUE(ListUserTargets().empty());
  EXPECT_EQ(s.Plugin().Target().Get().kind, TargetKind::Learned);

  s.Click(s.Bar().ZoneRect(PresetBarControl::kSaveAs).getCentre());
  s.Type("Second");
  s.Key(juce::KeyPress(juce::KeyPress::returnKey));
  ASSERT_EQ(ListPresets().size(), 2u);
  s.Click(s.Bar().ZoneRect(PresetBarControl::kNext).getCentre());
  EXPECT_EQ(s.Plugin().PresetName(), "Session") << "after the last, the first";
  s.Click(s.Bar().ZoneRect(PresetBarControl::kNext).getCentre());
  EXPECT_EQ(s.Plugin().PresetName(), "Second");
}

}  // namespace
}  // namespace ombrix::test
