// The plug-in's side of targets and presets: learning from the input and from
// a reference file, deferred target and preset saves, and their messages.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio_fixtures.h"
#include "plugin/ombrix.h"
#include "library/data_folders.h"
#include "library/presets.h"
#include "temp_data_home.h"

namespace ombrix {
namespace {

struct LibraryActionsTest : testing::Test {
  void SetUp() override {
    EditorDialogs dialogs;
    dialogs.askYesNo = [this](const std::string&, const std::string& question, EditorDialogs::Answer answered) {
      questions.push_back(question);
      answered(answer);
    };
    dialogs.showMessage = [this](const std::string& caption, const std::string& text) {
      messages.push_back(caption + ": " + text);
    };
    plugin.SetDialogsForTesting(dialogs);
  }

  // Ticks the idle loop until the reference-file analysis has delivered.
  void TickUntilAnalysed() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((plugin.AnalysingReferenceFile() || !tickedAfterResult) && std::chrono::steady_clock::now() < deadline) {
      tickedAfterResult = !plugin.AnalysingReferenceFile();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      plugin.OnIdle();
    }
  }

  test::TempDataHome home;  // nothing touches the user's own data folder
  Ombrix plugin;
  std::vector<std::string> questions, messages;
  bool answer = false;
  bool tickedAfterResult = false;
};

TEST_F(LibraryActionsTest, AReferenceFileBecomesTheLearnedTargetOnTheNextTick) {
  test_support::ScopedTempFolder folder("reference");
  const auto path = folder / "Night Drive.wav";
  ASSERT_TRUE(test_support::WriteAudioFile(path, test_support::AudioFileFormat::kWavFloat, 48000, 2,
                                      test_support::Interleave({test_support::ProgrammeMaterial(1, 6.0, 48000.0),
                                                           test_support::ProgrammeMaterial(2, 6.0, 48000.0)})));
  ASSERT_TRUE(plugin.StartReferenceAnalysis(path.string()));
  TickUntilAnalysed();
  const TargetChoice target = plugin.Target().Get();
  EXPECT_EQ(target.kind, TargetKind::Learned);
  EXPECT_EQ(target.name, "Night Drive");
  EXPECT_EQ(target.source, "Night Drive.wav");
  EXPECT_TRUE(messages.empty());
}

TEST_F(LibraryActionsTest, AFailedReferenceFileShowsItsReasonAndKeepsTheTarget) {
  test_support::ScopedTempFolder folder("reference");
  const auto path = folder / "song.ogg";
  test_support::WriteBytes(path, "not audio");
  ASSERT_TRUE(plugin.StartReferenceAnalysis(path.string()));
  TickUntilAnalysed();
  EXPECT_EQ(plugin.Target().Get().name, "Balanced");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Learn from reference file: Could not learn from the file: ", 0), 0u) << messages[0];
  EXPECT_EQ(messages[0].back(), '.');
}

TEST_F(LibraryActionsTest, LearningFromTheInputNeedsFifteenLoudSecondsAndStopsWhenTheEditorCloses) {
  plugin.StartLearning();
  ASSERT_TRUE(plugin.Learning());
  plugin.FinishLearning();
  EXPECT_TRUE(plugin.Learning()) << "a failed finish keeps learning";
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Learn from input: Not finished yet: there was nothing loud enough to learn from. "
            "Learning goes on; finish again later, or cancel.");
  plugin.OnUIClose();
  EXPECT_FALSE(plugin.Learning());
  EXPECT_FALSE(plugin.StartReferenceAnalysis("")) << "an empty path starts nothing";
}

TEST_F(LibraryActionsTest, APendingTargetNameIsSavedOnTheNextTick) {
  plugin.SetPendingTargetName("Balanced");
  plugin.OnIdle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Save target: \xE2\x80\x9C" "Balanced\xE2\x80\x9D is the built-in target. Choose another name.");

  plugin.SetPendingTargetName("My curve");
  plugin.OnIdle();
  EXPECT_EQ(plugin.Target().Get().kind, TargetKind::User);
  EXPECT_EQ(plugin.Target().Get().name, "My curve");
  EXPECT_TRUE(std::filesystem::exists(TargetsFolder() / "My curve.omtarget"));

  plugin.SetPendingTargetName("My curve");  // exists: asked, declined
  plugin.OnIdle();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "A target named \xE2\x80\x9CMy curve\xE2\x80\x9D already exists. Replace it?");
}

TEST_F(LibraryActionsTest, APresetSavedByOneInstanceLoadsIntoAnother) {
  plugin.Parameter(kLowCrossover).SetReal(123.0);
  plugin.Parameter(kCorrect).SetReal(1.0);
  RequestPresetSave(plugin.Presets(), "Warm");
  ASSERT_EQ(ListPresets().size(), 1u);
  EXPECT_EQ(plugin.PresetName(), "Warm");

  Ombrix other;
  ASSERT_TRUE(LoadPresetByName(other.Presets(), "Warm"));
  EXPECT_EQ(other.ParamValue(kLowCrossover), 123.0);
  EXPECT_TRUE(other.ParamOn(kCorrect));
  EXPECT_EQ(other.PresetName(), "Warm");
  other.OnIdle();
  EXPECT_FALSE(other.PresetShownModified());
}

}  // namespace
}  // namespace ombrix
