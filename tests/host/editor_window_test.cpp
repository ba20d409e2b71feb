// The editor as a host shows it: in a real window on the (virtual) display,
// resized by the host and by a mouse drag on its corner, re-themed, closed and
// opened again, also while audio runs on another thread and after the host
// released its resources; what the window shows on the screen is what the
// editor draws. The test program fails on any JUCE assertion or leak the
// plug-in reports (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <set>
#include <thread>

#include "library/plugin_state.h"
#include "plugin/ombrix.h"
#include "tests/host/desktop.h"
#include "tools/display/bare_display.h"
#include "tools/host/plugin_host.h"

namespace {

void RunMessageLoop(int milliseconds) { juce::MessageManager::getInstance()->runDispatchLoopUntil(milliseconds); }

// As the hosted instance is when its window opens: loaded, not yet playing.
juce::Image ReferencePicture(int width, int height) {
  ombrix::Ombrix plugin;
  std::unique_ptr<juce::AudioProcessorEditor> editor(plugin.createEditorIfNeeded());
  editor->setSize(width, height);
  plugin.OnIdle();
  juce::Image picture = editor->createComponentSnapshot(editor->getLocalBounds(), true, 1.0f);
  plugin.editorBeingDeleted(editor.get());
  return picture;
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

  // The window on the screen shows what the editor draws: its pixels match
  // a picture of the editor of a fresh instance in this process, drawn off
  // screen at the same size.
  void ExpectTheScreenShowsTheEditor() {
    // The pointer may rest wherever the last program on this display left
    // it; over the editor it would light up what it hovers.
    const juce::Rectangle<int> bounds = editor->getScreenBounds();
    ASSERT_TRUE(ombrix::test::MovePointer(bounds.getRight() + 20, bounds.getBottom() + 20));
    RunMessageLoop(600);  // the idle ticks' first pictures
    const juce::Rectangle<int> area = editor->getScreenBounds();
    const juce::Image drawn = ReferencePicture(area.getWidth(), area.getHeight());
    const juce::Image shown = ombrix::test::ScreenArea(area);
    ASSERT_TRUE(shown.isValid()) << "the screen could not be read";
    ASSERT_EQ(shown.getBounds(), drawn.getBounds());
    int same = 0;
    std::set<juce::uint32> colours;
    for (int y = 0; y < area.getHeight(); ++y)
      for (int x = 0; x < area.getWidth(); ++x) {
        const juce::Colour a = shown.getPixelAt(x, y), b = drawn.getPixelAt(x, y);
        if (std::abs(a.getRed() - b.getRed()) <= 8 && std::abs(a.getGreen() - b.getGreen()) <= 8 &&
            std::abs(a.getBlue() - b.getBlue()) <= 8)
          ++same;
        if (colours.size() < 64) colours.insert(a.getARGB());
      }
    if (same < area.getWidth() * area.getHeight() * 98 / 100) {
      // Both pictures beside the test, for a look at what differs.
      for (const auto& [name, image] : {std::pair{"shown", shown}, std::pair{"drawn", drawn}}) {
        juce::FileOutputStream out(juce::File::getCurrentWorkingDirectory().getChildFile(
            "editor-window-" + juce::String(name) + "-" + juce::String(area.getWidth()) + ".png"));
        out.setPosition(0);
        out.truncate();
        juce::PNGImageFormat().writeImageToStream(image, out);
      }
      ADD_FAILURE() << same << " of " << area.getWidth() * area.getHeight() << " pixels as drawn, in "
                    << area.toString();
    }
    EXPECT_GE(colours.size(), 16u) << "the window is not just a filled area";
  }

  ombrix::host::LoadedPlugin loaded;
  std::unique_ptr<juce::AudioProcessorEditor> editor;
};

TEST_F(EditorWindowTest, OpensResizesRethemesClosesAndOpensAgain) {
  Open();
  EXPECT_EQ(Size(), juce::Rectangle<int>(640, 400));
  ExpectTheScreenShowsTheEditor();

  // The host resizes: a size within the rules is taken, others are brought
  // into them (aspect 1.6, at most 1280 x 800).
  editor->setSize(960, 600);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(960, 600));
  editor->setSize(2000, 2000);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(1280, 800));
  ExpectTheScreenShowsTheEditor();
  editor->setSize(640, 400);
  RunMessageLoop(200);
  EXPECT_EQ(Size(), juce::Rectangle<int>(640, 400));

  // A drag on the corner at (632, 394) scales the window; the larger of the
  // two movements counts.
  ASSERT_TRUE(ombrix::test::MovePointer(632, 394));
  RunMessageLoop(100);
  ASSERT_TRUE(ombrix::test::PressLeftButton());
  RunMessageLoop(100);
  for (int step = 1; step <= 4; ++step) {
    ASSERT_TRUE(ombrix::test::MovePointer(632 + 80 * step, 394 + 10 * step));
    RunMessageLoop(100);
  }
  ASSERT_TRUE(ombrix::test::ReleaseLeftButton());
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

// A name in scripts the embedded fonts lack is drawn with a face of the
// system's (on Windows e.g. "Segoe UI Symbol" or "Microsoft YaHei"), or with
// the embedded face's stand-in where the system has none.
TEST_F(EditorWindowTest, DrawsANameInScriptsTheEmbeddedFontsLack) {
  Open();
  const juce::MemoryBlock saved = ombrix::host::GetComponentState(plugin());
  ombrix::PluginState state;
  ASSERT_GE(ombrix::ReadState(ombrix::ByteChunk(saved.getData(), saved.getSize()), 0, state).position, 0);
  state.presetName =
      "\xC3\x9Cn\xC3\xAF"
      "c\xC3\xB8"
      "d\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC";
  ombrix::ByteChunk chunk;
  ombrix::WriteState(state, chunk);
  ombrix::host::SetComponentState(plugin(), chunk.Bytes().data(), chunk.Bytes().size());
  RunMessageLoop(400);
  EXPECT_EQ(ombrix::host::ProgramListNames(plugin()),
            std::vector<juce::String>{juce::String::fromUTF8(state.presetName.c_str())});
  const juce::Image shown = ombrix::test::ScreenArea(editor->getScreenBounds());
  ASSERT_TRUE(shown.isValid());
  std::set<juce::uint32> colours;
  for (int y = 0; y < shown.getHeight(); y += 2)
    for (int x = 0; x < shown.getWidth() && colours.size() < 64; x += 2)
      colours.insert(shown.getPixelAt(x, y).getARGB());
  EXPECT_GE(colours.size(), 16u) << "the window still shows the editor";
}

}  // namespace
