// "ombrix learn" writes the target the plug-in would learn from a reference file.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>

#include "cli/cli_output.h"
#include "cli/program_run.h"
#include "dsp/reference_file.h"
#include "library/target_curve.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

class LearnTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScopedTempFolder>("cli-learn");
    const auto interleaved = Interleave({ProgrammeMaterial(1, 25.0, 44100), ProgrammeMaterial(2, 25.0, 44100)});
    ASSERT_TRUE(WriteAudioFile(Path("Reference Mix.flac"), AudioFileFormat::kFlacPcm24, 44100, 2, interleaved));
  }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }

  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> LearnTest::folder_;

TEST_F(LearnTest, WritesTheTargetTheReferenceFileAnalysisLearns) {
  const ProgramRun run = RunOmbrix({"learn", Path("Reference Mix.flac"), "-o", Path("learned.omtarget")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;

  std::ifstream in(Path("learned.omtarget"), std::ios::binary);
  TargetCurve written;
  std::string error;
  ASSERT_TRUE(ReadTargetText(in, written, error, "learned")) << error;

  dsp::LearnedCurve direct;
  const std::atomic<bool> cancel{false};
  ASSERT_TRUE(dsp::AnalyseReferenceFile(Path("Reference Mix.flac"), direct, error, dsp::kReferenceFileMaxSeconds,
                                        cancel))
      << error;
  EXPECT_EQ(written.name, "Reference Mix");
  EXPECT_EQ(written.source, "Reference Mix.flac");
  bool spreadSeen = false;
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) {
    EXPECT_NEAR(written.curve[i], direct.levels[i], 0.0005 + 1e-9) << i;
    EXPECT_NEAR(written.spread[i], direct.spread[i], 0.0005 + 1e-9) << i;
    spreadSeen = spreadSeen || written.spread[i] > 0.0;
  }
  EXPECT_TRUE(spreadSeen) << "25 s of programme carries a spread";
}

TEST_F(LearnTest, AFileAnalysedAgainstTheTargetLearnedFromItIsInBalance) {
  const ProgramRun learn =
      RunOmbrix({"learn", Path("Reference Mix.flac"), "--output", Path("mine.omtarget"), "--name", "Mine"});
  ASSERT_EQ(learn.exitStatus, 0) << learn.err;
  const ProgramRun run = RunOmbrix({"analyze", Path("Reference Mix.flac"), "--target", Path("mine.omtarget")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("against \"Mine\""), std::string::npos) << run.out;
  // Only the three-decimal rounding of the file separates the two.
  EXPECT_NEAR(Figure(run.out, "Tilt").value_or(99), 0.0, 0.005 + 1e-9) << run.out;
  for (const char* band : {"Low", "Lo-Mid", "Hi-Mid", "High"})
    EXPECT_NEAR(Figure(run.out, band).value_or(99), 0.0, 0.05 + 1e-9) << band;
}

TEST_F(LearnTest, TooLittleLoudMaterialFailsAndWritesNothing) {
  ASSERT_TRUE(WriteAudioFile(Path("short.wav"), AudioFileFormat::kWavFloat, 48000, 1,
                             ProgrammeMaterial(3, 1.5, 48000)));
  const ProgramRun run = RunOmbrix({"learn", Path("short.wav"), "-o", Path("short.omtarget")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "ombrix learn: short.wav: only 1 s was loud enough to learn from, at least 2 s is needed\n");
  EXPECT_FALSE(std::filesystem::exists(Path("short.omtarget")));
}

}  // namespace
}  // namespace ombrix::test_support
