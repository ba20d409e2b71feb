// "ombrix analyze" for loudness tools' users: momentary maximum, loudness
// range and PLR against libebur128 on the demo's programme, folders (sorted,
// -r, files that cannot be read), albums measured as one programme, and the
// alignment of "ombrix --help".
#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "cli/cli_output.h"
#include "cli/program_run.h"
#include "library/json.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"
#include "support/ebur128_reference.h"
#include "tools/ombrix/demo_programme.h"

namespace ombrix::test_support {
namespace {

using kestrune::updates::JsonValue;
using kestrune::updates::ParseJson;

constexpr int kRate = 48000;

// A 1 kHz tone on both channels whose peak level in dBFS is its loudness in LUFS.
std::vector<float> Tone(double dbfs, double seconds) {
  const auto sine = Sine(1000.0, kRate, static_cast<std::size_t>(seconds * kRate), std::pow(10.0, dbfs / 20.0));
  return Interleave({sine, sine});
}

class AnalyzeLoudnessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = std::make_unique<ScopedTempFolder>("cli-loudness"); }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }
  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> AnalyzeLoudnessTest::folder_;

// The same samples through libebur128 (momentary every 100 ms, the loudness
// range of short-term values every 100 ms, see Ebur128RangeEvery100ms) and
// through the tool.
TEST_F(AnalyzeLoudnessTest, DemoProgrammeAgreesWithLibebur128) {
  const std::vector<float> programme = cli::SynthesiseDemoProgramme();
  ASSERT_TRUE(WriteAudioFile(Path("demo.wav"), AudioFileFormat::kWavFloat, kRate, 2, programme));

  ebur128_state* reference = ebur128_init(2, kRate, EBUR128_MODE_M | EBUR128_MODE_I);
  ASSERT_NE(reference, nullptr);
  double maxMomentary = -HUGE_VAL;
  const std::size_t step = kRate / 10;
  for (std::size_t frame = 0; frame + step <= programme.size() / 2; frame += step) {
    ASSERT_EQ(ebur128_add_frames_float(reference, programme.data() + 2 * frame, step), EBUR128_SUCCESS);
    double momentary = 0.0;
    ASSERT_EQ(ebur128_loudness_momentary(reference, &momentary), EBUR128_SUCCESS);
    maxMomentary = std::max(maxMomentary, momentary);
  }
  const double range = Ebur128RangeEvery100ms(programme.data(), programme.size() / 2, 2, kRate);
  double integrated = 0.0;
  ASSERT_EQ(ebur128_loudness_global(reference, &integrated), EBUR128_SUCCESS);
  ebur128_destroy(&reference);

  const ProgramRun run = RunOmbrix({"analyze", "--json", Path("demo.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto json = ParseJson(run.out);
  ASSERT_TRUE(json) << run.out;
  EXPECT_NEAR(json->Find("max_momentary_lufs")->number, maxMomentary, 0.05);
  EXPECT_NEAR(json->Find("loudness_range_lu")->number, range, 0.1);
  EXPECT_GT(range, 1.0);  // the programme swells: the comparison means something
  EXPECT_NEAR(json->Find("integrated_lufs")->number, integrated, 0.1);
  EXPECT_NEAR(json->Find("plr_lu")->number,
              json->Find("max_true_peak_dbtp")->number - json->Find("integrated_lufs")->number, 0.0015);
}

TEST_F(AnalyzeLoudnessTest, AFolderStandsForItsAudioFilesSortedAndMinusRAlsoForItsSubFolders) {
  const std::filesystem::path music = Path("music");
  std::filesystem::create_directories(music / "bonus");
  ASSERT_TRUE(WriteAudioFile(music / "b.wav", AudioFileFormat::kWavPcm16, kRate, 2, Tone(-20, 4)));
  ASSERT_TRUE(WriteAudioFile(music / "a.flac", AudioFileFormat::kFlacPcm24, kRate, 2, Tone(-25, 4)));
  ASSERT_TRUE(WriteAudioFile(music / "bonus" / "c.wav", AudioFileFormat::kWavPcm16, kRate, 2, Tone(-30, 4)));
  WriteBytes(music / "c.wav", "RIFF");  // damaged
  WriteBytes(music / "cover.jpg", "not audio");
  WriteBytes(music / "notes.txt", "not audio");

  const ProgramRun flat = RunOmbrix({"analyze", "--quiet", music.string()});
  EXPECT_EQ(flat.exitStatus, 1) << "a file could not be read";
  EXPECT_NE(flat.err.find((music / "c.wav").string() + ": damaged WAV or AIFF file"), std::string::npos) << flat.err;
  EXPECT_EQ(flat.err.find("cover.jpg"), std::string::npos) << flat.err;
  std::vector<std::string> reports = ReportBlocks(flat.out);
  ASSERT_EQ(reports.size(), 2u) << flat.out;
  EXPECT_EQ(reports[0].rfind((music / "a.flac").string() + "\n", 0), 0u) << reports[0];
  EXPECT_EQ(reports[1].rfind((music / "b.wav").string() + "\n", 0), 0u) << reports[1];

  std::filesystem::remove(music / "c.wav");
  const ProgramRun recursive = RunOmbrix({"analyze", "--quiet", "-r", music.string()});
  EXPECT_EQ(recursive.exitStatus, 0) << recursive.err;
  reports = ReportBlocks(recursive.out);
  ASSERT_EQ(reports.size(), 3u) << recursive.out;
  EXPECT_EQ(reports[0].rfind((music / "a.flac").string(), 0), 0u);
  EXPECT_EQ(reports[1].rfind((music / "b.wav").string(), 0), 0u);
  EXPECT_EQ(reports[2].rfind((music / "bonus" / "c.wav").string(), 0), 0u);
  EXPECT_NEAR(Figure(reports[2], "Integrated").value_or(0), -30.0, 0.1);
}

// Two 20 s songs at -20 and -30 LUFS: as one programme they read
// 10*log10((10^-2 + 10^-3) / 2) = -22.6 LUFS (not the mean of the two
// figures, -25), and span the 10 LU of EBU Tech 3342's first case.
TEST_F(AnalyzeLoudnessTest, AnAlbumIsGatedAsOneProgramme) {
  const std::filesystem::path album = Path("album");
  std::filesystem::create_directories(album);
  ASSERT_TRUE(WriteAudioFile(album / "1 loud.wav", AudioFileFormat::kWavFloat, kRate, 2, Tone(-20, 20)));
  ASSERT_TRUE(WriteAudioFile(album / "2 quiet.wav", AudioFileFormat::kWavFloat, kRate, 2, Tone(-30, 20)));
  const double expected = 10.0 * std::log10((0.01 + 0.001) / 2.0);

  const ProgramRun text = RunOmbrix({"analyze", "--quiet", "--album", album.string()});
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  const std::vector<std::string> reports = ReportBlocks(text.out);
  ASSERT_EQ(reports.size(), 3u) << text.out;
  EXPECT_EQ(reports[2].rfind("Album: 2 files as one programme\n", 0), 0u) << reports[2];
  EXPECT_NEAR(Figure(reports[2], "Integrated").value_or(0), expected, 0.1);
  EXPECT_NEAR(Figure(reports[2], "Loudness range").value_or(0), 10.0, 1.0);
  EXPECT_NEAR(Figure(reports[2], "Max true peak").value_or(0), -20.0, 0.1);
  EXPECT_NEAR(Figure(reports[2], "Duration").value_or(0), 40.0, 0.05);
  EXPECT_TRUE(Figure(reports[2], "Tilt").has_value()) << reports[2];

  const ProgramRun json = RunOmbrix({"analyze", "--json", "--album", album.string()});
  ASSERT_EQ(json.exitStatus, 0) << json.err;
  const std::vector<std::string> lines = Lines(json.out);
  ASSERT_EQ(lines.size(), 3u) << json.out;
  const auto summary = ParseJson(lines[2]);
  ASSERT_TRUE(summary) << lines[2];
  EXPECT_TRUE(summary->Find("album")->boolean);
  EXPECT_EQ(summary->Find("files")->number, 2.0);
  EXPECT_NEAR(summary->Find("integrated_lufs")->number, Figure(reports[2], "Integrated").value_or(0), 0.05 + 1e-9);
  EXPECT_NEAR(summary->Find("loudness_range_lu")->number, Figure(reports[2], "Loudness range").value_or(0),
              0.05 + 1e-9);
  EXPECT_NEAR(summary->Find("plr_lu")->number, -20.0 - expected, 0.15);
  EXPECT_EQ(summary->Find("tonal_balance")->kind, JsonValue::kObject);
}

TEST(CommandLineHelp, TheCommandsSummariesStartInOneColumn) {
  const ProgramRun run = RunOmbrix({"--help"});
  ASSERT_EQ(run.exitStatus, 0);
  std::vector<std::size_t> columns;
  for (const char* command : {"analyze", "learn", "render", "demo", "screenshot"}) {
    const std::string start = std::string("  ") + command + " ";
    const std::size_t line = run.out.find(start);
    ASSERT_NE(line, std::string::npos) << command << "\n" << run.out;
    columns.push_back(run.out.find_first_not_of(' ', line + start.size()) - line);
  }
  for (std::size_t column : columns) EXPECT_EQ(column, columns[0]) << run.out;
}

}  // namespace
}  // namespace ombrix::test_support
