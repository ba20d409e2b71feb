// "ombrix" on Ogg Vorbis and Opus files, and what it says about files it
// cannot read or that are shorter than their header says.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "cli/cli_output.h"
#include "cli/program_run.h"
#include "library/json.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

constexpr int kRate = 48000;

class FormatsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScopedTempFolder>("cli-formats");
    const std::vector<float> programme =
        Interleave({ProgrammeMaterial(1, 12.0, kRate), ProgrammeMaterial(2, 12.0, kRate)});
    ASSERT_TRUE(WriteAudioFile(Path("song.wav"), AudioFileFormat::kWavPcm16, kRate, 2, programme));
    ASSERT_TRUE(WriteAudioFile(Path("song.ogg"), AudioFileFormat::kOggVorbis, kRate, 2, programme));
    ASSERT_TRUE(WriteAudioFile(Path("song.opus"), AudioFileFormat::kOpus, kRate, 2, programme));
    const std::string wav = ReadBytes(Path("song.wav"));
    // Twelve seconds promised, about five there.
    WriteBytes(Path("cut.wav"), wav.substr(0, 44 + 5 * kRate * 4 + 1000));
    const std::string ogg = ReadBytes(Path("song.ogg"));
    WriteBytes(Path("damaged.ogg"), ogg.substr(0, 28) + std::string(100, '\x55') + ogg.substr(128));
    std::filesystem::create_directory(Path("album"));
    std::filesystem::create_directory(Path("album.flac"));
  }
  static void TearDownTestSuite() { folder_.reset(); }

  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }

  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> FormatsTest::folder_;

// Lossy coding moves loudness and balance by a little, as for MP3.
TEST_F(FormatsTest, OggAndOpusFilesMeasureLikeTheWavFileOfTheSameProgramme) {
  const ProgramRun run = RunOmbrix({"analyze", "--quiet", Path("song.wav"), Path("song.ogg"), Path("song.opus")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> reports = ReportBlocks(run.out);
  ASSERT_EQ(reports.size(), 3u) << run.out;
  for (std::size_t i = 1; i < 3; ++i) {
    SCOPED_TRACE(reports[i]);
    EXPECT_NEAR(Figure(reports[i], "Duration").value_or(0), 12.0, 0.05);
    EXPECT_NEAR(Figure(reports[i], "Integrated").value_or(0), Figure(reports[0], "Integrated").value_or(99), 0.2);
    EXPECT_NEAR(Figure(reports[i], "Tilt").value_or(0), Figure(reports[0], "Tilt").value_or(99), 0.1);
    for (const char* band : {"Low", "Lo-Mid", "Hi-Mid", "High"})
      EXPECT_NEAR(Figure(reports[i], band).value_or(0), Figure(reports[0], band).value_or(99), 0.3) << band;
  }

  const ProgramRun learned = RunOmbrix({"learn", "--quiet", Path("song.opus"), "-o", Path("song.omtarget")});
  EXPECT_EQ(learned.exitStatus, 0) << learned.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(Path("song.omtarget")));
}

TEST_F(FormatsTest, FilesThatCannotBeReadAreNamedWithTheReason) {
  const struct {
    std::vector<std::string> arguments;
    std::string reason;
  } cases[] = {
      // A folder stands for the audio files in it; these two are empty.
      {{"analyze", Path("album")}, Path("album") + ": no audio files in it (-r looks into sub-folders)"},
      {{"analyze", Path("album.flac")}, Path("album.flac") + ": no audio files in it (-r looks into sub-folders)"},
      {{"analyze", Path("damaged.ogg")}, Path("damaged.ogg") + ": damaged Ogg Vorbis or Opus file"},
      {{"analyze", Path("song.m4a")},
       Path("song.m4a") + ": unsupported file type .m4a (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {{"learn", Path("album.flac"), "-o", Path("x.omtarget")}, Path("album.flac") + ": is a folder"},
      {{"learn", Path("damaged.ogg"), "-o", Path("x.omtarget")},
       Path("damaged.ogg") + ": damaged Ogg Vorbis or Opus file"},
      {{"learn", Path("song.ogg"), "-o", Path("album")}, Path("album") + ": is a folder"},
      {{"render", Path("album.flac"), Path("out.wav")}, Path("album.flac") + ": is a folder"},
      {{"render", Path("song.wav"), Path("album")}, Path("album") + ": is a folder"},
      {{"analyze", Path("song.wav"), "--target", Path("album")}, Path("album") + ": is a folder"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = RunOmbrix(c.arguments);
    EXPECT_EQ(run.exitStatus, 1) << c.reason << "\n" << run.err;
    EXPECT_NE(run.err.find(": " + c.reason + "\n"), std::string::npos) << run.err;
  }
}

TEST_F(FormatsTest, AFileCutShortIsReportedAndStillMeasured) {
  const ProgramRun run = RunOmbrix({"analyze", "--quiet", Path("cut.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("  Duration        5.0 s, cut short: its header says 12.0 s (48000 Hz, stereo)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find(Path("cut.wav") + ": cut short: 5.0 s of the 12.0 s its header says are there"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(Figure(run.out, "Integrated").has_value());

  const ProgramRun json = RunOmbrix({"analyze", "--quiet", "--json", Path("cut.wav"), Path("song.wav")});
  ASSERT_EQ(json.exitStatus, 0) << json.err;
  const std::vector<std::string> lines = Lines(json.out);
  ASSERT_EQ(lines.size(), 2u);
  const auto cut = kestrune::updates::ParseJson(lines[0]);
  const auto whole = kestrune::updates::ParseJson(lines[1]);
  ASSERT_TRUE(cut && whole) << json.out;
  EXPECT_TRUE(cut->Find("cut_short")->boolean);
  EXPECT_NEAR(cut->Find("header_duration_s")->number, 12.0, 1e-9);
  EXPECT_NEAR(cut->Find("duration_s")->number, 5.0, 0.01);
  EXPECT_FALSE(whole->Find("cut_short")->boolean);
  EXPECT_EQ(whole->Find("header_duration_s")->kind, kestrune::updates::JsonValue::kNull);
}

}  // namespace
}  // namespace ombrix::test_support
