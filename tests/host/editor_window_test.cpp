// The editor as a host shows it: in a real window on the (virtual) display,
// resized by the host and by a mouse drag on its corner, re-themed, closed and
// opened again, also while audio runs on another thread and after the host
// released its resources. The test program fails on any JUCE assertion or
// leak the plug-in reports (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "tools/display/bare_display.h"
#include "tools/host/plugin_host.h"

namespace {

void RunMessageLoop(int milliseconds) { juce::MessageManager::getInstance()->runDispatchLoopUntil(milliseconds); }

// Moves and presses the display's pointer the way a user would, through
// the X server's test extension.
bool Pointer(const juce::String& arguments) {
  return std::system(("xdotool " + arguments + " >/dev/null 2>&1").toRawUTF8()) == 0;
}

bool HaveDisplay() { return ombrix::host::DisplayAvailable(); }

struct EditorWindowTest : testing::Test {
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    juce::String error;
    loaded = ombrix::host::LoadVst3(OMBRIX_VST3_BUNDLE, 48000.0, 512, error);
    ASSERT_NE(loaded.instance, nullptr) << error;
  }
  void TearDown() override { Close(); }

  juce::AudioPluginInstance& plugin() { return *loaded.instance; }

  // Opens the editor in a borderless window at the display's top-left corner.
  juce::AudioProcessorEditor& Open() {
    editor.reset(plugin().createEditorIfNeeded());
    EXPECT_NE(editor, nullptr);
    editor->setTopLeftPosition(0, 0);
    editor->addToDesktop(0);
    editor->setVisible(true);
    RunMessageLoop(300);
    return *editor;
  }
  // As a host closes it: the plug-in's view is detached (the editor's
  // destructor does that) while its window still exists.
  void Close() {
    if (editor == nullptr) return;
    editor.reset();
    RunMessageLoop(100);
  }
  juce::Rectangle<int> Size() const { return {editor->getWidth(), editor->getHeight()}; }

  ombrix::host::LoadedPlugin loaded;
  std::unique_ptr<juce::AudioProcessorEditor> editor;
};

TEST_F(EditorWindowTest, OpensResizesRethemesClosesAndOpensAgain) {
  Open();
  EXPECT_EQ(Size(), juce::Rectangle<int>(640, 400));

  // The host resizes: a size within the rules is taken, others are brought
  // into them (aspect 1.6, at most 1280 x 800).
  editor->setSize(960, 600);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(960, 600));
  editor->setSize(2000, 2000);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(1280, 800));
  editor->setSize(640, 400);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(640, 400));

  // A drag on the corner at (632, 394) scales the window; the larger of the
  // two movements counts.
  ASSERT_TRUE(Pointer("mousemove 632 394"));
  RunMessageLoop(100);
  ASSERT_TRUE(Pointer("mousedown 1"));
  RunMessageLoop(100);
  for (int step = 1; step <= 4; ++step) {
    ASSERT_TRUE(Pointer("mousemove " + juce::String(632 + 80 * step) + " " + juce::String(394 + 10 * step)));
    RunMessageLoop(100);
  }
  ASSERT_TRUE(Pointer("mouseup 1"));
  RunMessageLoop(300);
  EXPECT_EQ(Size(), juce::Rectangle<int>(960, 600)) << "dragged 320 pixels right: 1.5x";

  // Another theme: the state carries the colour scheme at bytes 8..11.
  juce::MemoryBlock state = ombrix::host::GetComponentState(plugin());
  ASSERT_GE(state.getSize(), 12u);
  const int blue = 3;
  state.copyFrom(&blue, 8, sizeof blue);
  ombrix::host::SetComponentState(plugin(), state.getData(), state.getSize());
  RunMessageLoop(200);
  const juce::MemoryBlock after = ombrix::host::GetComponentState(plugin());
  int scheme = -1;
  after.copyTo(&scheme, 8, sizeof scheme);
  EXPECT_EQ(scheme, blue);

  Close();
  Open();
  EXPECT_EQ(Size(), juce::Rectangle<int>(960, 600)) << "reopens at the size it was left at";
}

TEST_F(EditorWindowTest, OpensWhileAudioRunsAndAfterResourcesWereReleased) {
  std::atomic<bool> stop{false};
  std::thread audio([this, &stop] {
    juce::AudioBuffer<float> buffer(2, 512);
    juce::MidiBuffer midi;
    juce::Random random(7);
    while (!stop.load()) {
      for (int ch = 0; ch < 2; ++ch)
        for (int n = 0; n < 512; ++n) buffer.setSample(ch, n, random.nextFloat() * 0.2f - 0.1f);
      plugin().processBlock(buffer, midi);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  for (int round = 0; round < 3; ++round) {
    Open();
    RunMessageLoop(200);
    Close();
  }
  stop.store(true);
  audio.join();

  plugin().releaseResources();
  Open();
  RunMessageLoop(200);
  Close();
  plugin().prepareToPlay(44100.0, 256);
  Open();
  RunMessageLoop(200);
}

}  // namespace
