// "ombrix analyze" on real encoded files with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "cli/cli_output.h"
#include "cli/program_run.h"
#include "cli/tilted_noise.h"
#include "library/json.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

constexpr int kRate = 48000;

class AnalyzeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScopedTempFolder>("cli-analyze");
    const double peak = std::pow(10.0, -23.0 / 20.0);
    const auto sine = Sine(1000.0, kRate, 10 * kRate, peak);
    ASSERT_TRUE(WriteAudioFile(Path("sine.wav"), AudioFileFormat::kWavFloat, kRate, 2, Interleave({sine, sine})));
    ASSERT_TRUE(WriteAudioFile(Path("pink.wav"), AudioFileFormat::kWavPcm16, kRate, 2,
                               Interleave({PinkNoise(1, 20 * kRate), PinkNoise(2, 20 * kRate)})));
    ASSERT_TRUE(WriteAudioFile(Path("bright.flac"), AudioFileFormat::kFlacPcm24, kRate, 2,
                               Interleave({TiltedNoise(3, 20, kRate, 2.0), TiltedNoise(4, 20, kRate, 2.0)})));
    ASSERT_TRUE(WriteAudioFile(Path("dark.mp3"), AudioFileFormat::kMp3, 44100, 2,
                               Interleave({TiltedNoise(5, 20, 44100, -1.0), TiltedNoise(6, 20, 44100, -1.0)})));
    ASSERT_TRUE(WriteAudioFile(Path("silence.aiff"), AudioFileFormat::kAiffPcm24, kRate, 1,
                               std::vector<float>(5 * kRate, 0.0f)));
    // A WAV file cut off inside its header.
    WriteBytes(Path("damaged.wav"), ReadBytes(Path("sine.wav")).substr(0, 30));
  }
  static void TearDownTestSuite() { folder_.reset(); }

  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }

  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> AnalyzeTest::folder_;

TEST_F(AnalyzeTest, AStereoSineWithPeaksAtMinus23dBFSReadsMinus23Lufs) {
  const ProgramRun run = RunOmbrix({"analyze", Path("sine.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(Figure(run.out, "Duration"), 10.0);
  // Each channel's mean square is peak^2 / 2, and BS.1770 sums the two channels.
  EXPECT_NEAR(Figure(run.out, "Integrated").value_or(0), -23.0, 0.1);
  EXPECT_NEAR(Figure(run.out, "Max short-term").value_or(0), -23.0, 0.1);
  EXPECT_NEAR(Figure(run.out, "Max true peak").value_or(0), -23.0, 0.1);
  EXPECT_NEAR(Figure(run.out, "Max momentary").value_or(0), -23.0, 0.1);
  EXPECT_NEAR(Figure(run.out, "Loudness range").value_or(99), 0.0, 0.1);
  EXPECT_NEAR(Figure(run.out, "PLR").value_or(99), 0.0, 0.1);
}

// The tolerance of 0.15 dB per octave covers the noise's own randomness over
// 20 s and, for pink noise, the ripple of its approximating filter.
TEST_F(AnalyzeTest, TiltAgainstBalancedIsTheSpectrumsSlopeRelativeToPinkNoise) {
  const struct {
    const char* file;
    double tilt;
  } cases[] = {{"pink.wav", 0.0}, {"bright.flac", 2.0}, {"dark.mp3", -1.0}};
  for (const auto& c : cases) {
    const ProgramRun run = RunOmbrix({"analyze", Path(c.file), "--quiet"});
    ASSERT_EQ(run.exitStatus, 0) << c.file << run.err;
    EXPECT_NEAR(Figure(run.out, "Tilt").value_or(99), c.tilt, 0.15) << c.file << "\n" << run.out;
    // A straight slope leaves the four bands level with each other.
    for (const char* band : {"Low", "Lo-Mid", "Hi-Mid", "High"})
      EXPECT_NEAR(Figure(run.out, band).value_or(99), 0.0, 0.5) << c.file << " " << band;
  }
}

TEST_F(AnalyzeTest, AnotherTargetAndOtherCrossoversChangeTheComparison) {
  const ProgramRun balanced = RunOmbrix({"analyze", Path("pink.wav"), "--json"});
  const ProgramRun pop = RunOmbrix({"analyze", Path("pink.wav"), "--json", "--target", "Pop", "--crossovers",
                                    "100,1000,8000"});
  ASSERT_EQ(pop.exitStatus, 0) << pop.err;
  const auto a = kestrune::updates::ParseJson(balanced.out), b = kestrune::updates::ParseJson(pop.out);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->Find("target")->text, "Pop");
  const auto& crossovers = b->Find("crossovers_hz")->items;
  ASSERT_EQ(crossovers.size(), 3u);
  EXPECT_EQ(crossovers[0].number, 100.0);
  EXPECT_EQ(crossovers[1].number, 1000.0);
  EXPECT_EQ(crossovers[2].number, 8000.0);
  // The factory targets fall towards the top, so pink noise is bright against them.
  const double tiltBalanced = a->Find("tonal_balance")->Find("tilt_db_per_octave")->number;
  const double tiltPop = b->Find("tonal_balance")->Find("tilt_db_per_octave")->number;
  EXPECT_GT(tiltPop, tiltBalanced + 0.5);
}

TEST_F(AnalyzeTest, JsonCarriesTheFiguresOfTheTextAndNullWhereNothingWasMeasured) {
  const std::vector<std::string> files{Path("pink.wav"), Path("bright.flac"), Path("silence.aiff")};
  std::vector<std::string> textArguments{"analyze", "--quiet"}, jsonArguments{"analyze", "--json"};
  textArguments.insert(textArguments.end(), files.begin(), files.end());
  jsonArguments.insert(jsonArguments.end(), files.begin(), files.end());
  const ProgramRun text = RunOmbrix(textArguments);
  const ProgramRun json = RunOmbrix(jsonArguments);
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  ASSERT_EQ(json.exitStatus, 0) << json.err;

  const std::vector<std::string> reports = ReportBlocks(text.out);
  const std::vector<std::string> lines = Lines(json.out);
  ASSERT_EQ(reports.size(), files.size()) << text.out;
  ASSERT_EQ(lines.size(), files.size()) << json.out;

  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto object = kestrune::updates::ParseJson(lines[i]);
    ASSERT_TRUE(object && object->IsObject()) << lines[i];
    EXPECT_EQ(object->Find("file")->text, files[i]);
    EXPECT_TRUE(object->Find("ok")->boolean);
    EXPECT_EQ(reports[i].substr(0, files[i].size()), files[i]);
    // Text rounds to 0.1 dB (levels, bands) or 0.01 dB per octave (tilt).
    const struct {
      const char* label;
      const kestrune::updates::JsonValue* value;
      double rounding;
    } figures[] = {{"Integrated", object->Find("integrated_lufs"), 0.05},
                   {"Max short-term", object->Find("max_short_term_lufs"), 0.05},
                   {"Max true peak", object->Find("max_true_peak_dbtp"), 0.05},
                   {"Max momentary", object->Find("max_momentary_lufs"), 0.05},
                   {"Loudness range", object->Find("loudness_range_lu"), 0.05},
                   {"PLR", object->Find("plr_lu"), 0.05},
                   {"Duration", object->Find("duration_s"), 0.05}};
    for (const auto& f : figures) {
      ASSERT_NE(f.value, nullptr) << f.label;
      const std::optional<double> shown = Figure(reports[i], f.label);
      if (f.value->kind == kestrune::updates::JsonValue::kNull) {
        EXPECT_FALSE(shown) << f.label << " shows a number where nothing was measured";
        continue;
      }
      ASSERT_TRUE(shown) << f.label << "\n" << reports[i];
      EXPECT_NEAR(f.value->number, *shown, f.rounding + 1e-9) << files[i] << " " << f.label;
    }
    const kestrune::updates::JsonValue* balance = object->Find("tonal_balance");
    ASSERT_NE(balance, nullptr);
    if (balance->kind == kestrune::updates::JsonValue::kNull) {
      EXPECT_FALSE(Figure(reports[i], "Tilt"));
      continue;
    }
    EXPECT_NEAR(balance->Find("tilt_db_per_octave")->number, Figure(reports[i], "Tilt").value_or(99), 0.005 + 1e-9);
    const auto& bands = balance->Find("bands")->items;
    ASSERT_EQ(bands.size(), 4u);
    for (const auto& band : bands) {
      EXPECT_NEAR(band.Find("deviation_db")->number, Figure(reports[i], band.Find("band")->text).value_or(99),
                  0.05 + 1e-9);
      EXPECT_NEAR(band.Find("weight")->number, FigureInColumn(reports[i], band.Find("band")->text, 1).value_or(99),
                  0.005 + 1e-9);
    }
  }

  // Digital silence: nothing measured is null, never -150.
  const auto silent = kestrune::updates::ParseJson(lines[2]);
  ASSERT_TRUE(silent);
  for (const char* key : {"integrated_lufs", "max_short_term_lufs", "max_true_peak_dbtp", "max_momentary_lufs",
                          "loudness_range_lu", "plr_lu", "tonal_balance"})
    EXPECT_EQ(silent->Find(key)->kind, kestrune::updates::JsonValue::kNull) << key;
  EXPECT_EQ(silent->Find("tonal_balance_error")->text, "there was nothing loud enough to learn from");
}

TEST_F(AnalyzeTest, ADamagedFileFailsWithItsReasonWhileTheOthersAreReported) {
  const ProgramRun run =
      RunOmbrix({"analyze", Path("pink.wav"), Path("damaged.wav"), Path("missing.wav"), Path("sine.wav")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find(Path("damaged.wav") + ": damaged WAV or AIFF file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(Path("missing.wav") + ": no such file"), std::string::npos) << run.err;
  const std::vector<std::string> reports = ReportBlocks(run.out);
  ASSERT_EQ(reports.size(), 2u) << run.out;
  EXPECT_EQ(reports[0].rfind(Path("pink.wav"), 0), 0u);
  EXPECT_EQ(reports[1].rfind(Path("sine.wav"), 0), 0u);
  EXPECT_NEAR(Figure(reports[1], "Integrated").value_or(0), -23.0, 0.1);

  const ProgramRun json = RunOmbrix({"analyze", "--json", "--quiet", Path("damaged.wav"), Path("sine.wav")});
  EXPECT_EQ(json.exitStatus, 1);
  const auto failed = kestrune::updates::ParseJson(json.out.substr(0, json.out.find('\n')));
  ASSERT_TRUE(failed) << json.out;
  EXPECT_FALSE(failed->Find("ok")->boolean);
  EXPECT_EQ(failed->Find("error")->text, Path("damaged.wav") + ": damaged WAV or AIFF file");
}

TEST(CommandLine, BadArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases{
      {},
      {"frobnicate"},
      {"analyze"},
      {"analyze", "a.wav", "--colour"},
      {"analyze", "a.wav", "--crossovers", "10,2000,6000"},
      {"analyze", "a.wav", "--crossovers", "200,2000"},
      {"analyze", "a.wav", "--target", "Polka"},
      {"analyze", "a.wav", "--json", "--json"},
      {"learn", "a.wav"},
      {"render", "a.wav"},
      {"render", "a.wav", "b.wav", "--set", "Loudness=3"},
      {"render", "a.wav", "b.wav", "--set", "Bypass=maybe"},
      {"render", "a.wav", "b.wav", "--bits", "20"},
  };
  for (const auto& arguments : cases) {
    const ProgramRun run = RunOmbrix(arguments);
    std::string shown;
    for (const auto& a : arguments) shown += a + " ";
    EXPECT_EQ(run.exitStatus, 2) << shown << run.err;
    EXPECT_FALSE(run.err.empty()) << shown;
  }
}

TEST(CommandLine, EveryCommandDescribesItselfWithHelp) {
  for (const char* command : {"analyze", "learn", "render", "demo"}) {
    const ProgramRun run = RunOmbrix({command, "--help"});
    EXPECT_EQ(run.exitStatus, 0) << command;
    EXPECT_EQ(run.out.rfind(std::string("Usage: ombrix ") + command, 0), 0u) << run.out;
  }
}

}  // namespace
}  // namespace ombrix::test_support
