// "ombrix analyze --plot": two pictures per file, the spectrum drawn by the
// plug-in's own spectrum display and the loudness over time, checked at
// chosen pixels (the band, the spectrum line, a deviation fill, the level
// scale, the loudness lines, the caption), and the pictures' paths in the JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "cli/cli_output.h"
#include "cli/png_image.h"
#include "cli/program_run.h"
#include "cli/tilted_noise.h"
#include "library/json.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

constexpr int kRate = 48000;

// A picture the tool drew at twice its logical size, read at logical
// coordinates.
struct Picture {
  PngImage image;
  int width() const { return image.width; }
  Rgba At(double x, double y) const {
    return image.At(static_cast<int>(std::floor(x * 2)), static_cast<int>(std::floor(y * 2)));
  }
};

Picture ReadPicture(const std::string& path) { return {ReadPng(path).value_or(PngImage{})}; }

// The plot's rectangle in logical pixels and its mapping, as the picture
// lays it out: 40 Hz..16 kHz on a log axis from 20 Hz to 20 kHz, and a 48 dB
// window whose top is 24 dB above a target band centred in it; the level
// scale on the left.
constexpr double kLeft = 44, kTop = 12, kRight = 628, kBottom = 268;
double XOf(double hz) { return kLeft + std::log(hz / 20.0) / std::log(1000.0) * (kRight - kLeft); }
double YOf(double db, double top) { return kTop + (top - db) / 48.0 * (kBottom - kTop); }

// Ink (15, 15, 15) under the green accent (21, 232, 121) at alpha 71.
constexpr Rgba kBand{17, 75, 45, 255};

bool Whitish(Rgba c) { return c.r > 180 && c.g > 180 && c.b > 180; }

class PlotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScopedTempFolder>("cli-plot");
    ASSERT_TRUE(WriteAudioFile(Path("pink.wav"), AudioFileFormat::kWavPcm16, kRate, 2,
                               Interleave({PinkNoise(1, 20 * kRate), PinkNoise(2, 20 * kRate)})));
    ASSERT_TRUE(WriteAudioFile(Path("bright.ogg"), AudioFileFormat::kOggVorbis, kRate, 2,
                               Interleave({TiltedNoise(3, 20, kRate, 3.0), TiltedNoise(4, 20, kRate, 3.0)})));
    ASSERT_TRUE(
        WriteAudioFile(Path("silence.wav"), AudioFileFormat::kWavPcm16, kRate, 1, std::vector<float>(3 * kRate, 0.0f)));
  }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }
  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> PlotTest::folder_;

TEST_F(PlotTest, EachFileGetsAPictureOfItsSpectrumAgainstTheTarget) {
  const std::string plots = Path("plots");  // created by the command
  const ProgramRun run = RunOmbrix(
      {"analyze", "--quiet", "--json", "--plot", plots, Path("pink.wav"), Path("bright.ogg"), Path("silence.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  const auto pinkJson = kestrune::updates::ParseJson(lines[0]);
  const auto brightJson = kestrune::updates::ParseJson(lines[1]);
  const auto silentJson = kestrune::updates::ParseJson(lines[2]);
  ASSERT_TRUE(pinkJson && brightJson && silentJson) << run.out;
  EXPECT_EQ(pinkJson->Find("plot")->text, plots + "/pink.wav.png");
  EXPECT_EQ(brightJson->Find("plot")->text, plots + "/bright.ogg.png");
  EXPECT_EQ(pinkJson->Find("loudness_plot")->text, plots + "/pink.wav.loudness.png");
  // Nothing loud enough: no curve, no picture.
  EXPECT_EQ(silentJson->Find("plot")->kind, kestrune::updates::JsonValue::kNull);
  EXPECT_EQ(silentJson->Find("loudness_plot")->kind, kestrune::updates::JsonValue::kNull);
  EXPECT_NE(run.err.find(Path("silence.wav") + ": no picture: there was nothing loud enough to learn from"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(plots + "/silence.wav.png"));

  const Picture pink = ReadPicture(plots + "/pink.wav.png");
  ASSERT_EQ(pink.width(), 1280);
  ASSERT_EQ(pink.image.height, 600);
  // Balanced is flat with a band of +-3 dB, centred: the top is at 24 dB.
  const double x700 = XOf(700.0);
  EXPECT_TRUE(Near(pink.At(x700, YOf(2.2, 24.0)), kBand, 3));
  EXPECT_TRUE(Near(pink.At(x700, YOf(-2.2, 24.0)), kBand, 3));
  // Pink noise reads flat: its line runs inside the band.
  bool line = false;
  for (double db = 2.0; db >= -2.0; db -= 0.05) line = line || Whitish(pink.At(x700, YOf(db, 24.0)));
  EXPECT_TRUE(line);
  // Outside the band only the plot's ink.
  EXPECT_TRUE(Near(pink.At(x700, YOf(12.0, 24.0) + 3), Rgba{15, 15, 15, 255}, 3));
  // Level labels left of the plot, beside the 0 and -12 dB lines, and none
  // between them.
  const auto labelPixels = [&pink](double y) {
    int n = 0;
    for (double x = 2; x < kLeft - 2; x += 0.5)
      for (double dy = -4; dy <= 4; dy += 0.5) n += pink.At(x, y + dy).r > 60;
    return n;
  };
  EXPECT_GT(labelPixels(YOf(0.0, 24.0)), 10);
  EXPECT_GT(labelPixels(YOf(-12.0, 24.0)), 10);
  EXPECT_EQ(labelPixels(YOf(-3.0, 24.0)), 0);

  // +3 dB per octave: far above the band at the top, filled in the
  // complement colour (a pink-red opposite the green).
  const Picture bright = ReadPicture(plots + "/bright.ogg.png");
  ASSERT_EQ(bright.width(), 1280);
  int deviationPixels = 0;
  for (double y = kTop + 16; y < YOf(3.5, 24.0); y += 0.5) {
    const Rgba c = bright.At(XOf(10000.0) + 2, y);
    if (c.r > c.g + 60 && c.r > 120) ++deviationPixels;
  }
  EXPECT_GT(deviationPixels, 10);

  // The caption line holds text.
  int captionPixels = 0;
  for (double x = 14; x < 400; x += 0.5)
    for (double y = 276; y < 292; y += 0.5) captionPixels += Whitish(pink.At(x, y));
  EXPECT_GT(captionPixels, 100);
}

// 10 s at -20 LUFS, then 10 s at -30: the short-term line (the accent) lies
// at each level once its 3 s window holds only that level, the integrated
// line between, the target's at -14. Levels from -6 down to -42 LUFS over
// the plot's height, 20 s over its width.
TEST_F(PlotTest, TheLoudnessPictureShowsShortTermIntegratedAndTargetLevels) {
  const auto tone = [](double dbfs) { return Sine(1000.0, kRate, 10 * kRate, std::pow(10.0, dbfs / 20.0)); };
  std::vector<float> steps = tone(-20);
  const std::vector<float> quiet = tone(-30);
  steps.insert(steps.end(), quiet.begin(), quiet.end());
  ASSERT_TRUE(WriteAudioFile(Path("steps.wav"), AudioFileFormat::kWavFloat, kRate, 2, Interleave({steps, steps})));
  const std::string plots = Path("loudness-plots");
  const ProgramRun run = RunOmbrix({"analyze", "--quiet", "--plot", plots, Path("steps.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("  Loudness plot   " + plots + "/steps.wav.loudness.png\n"), std::string::npos) << run.out;

  const Picture picture = ReadPicture(plots + "/steps.wav.loudness.png");
  ASSERT_EQ(picture.width(), 1280);
  ASSERT_EQ(picture.image.height, 600);
  constexpr double left = 56, right = 628, top = 12, bottom = 248;
  const auto x = [](double seconds) { return left + seconds / 20.0 * (right - left); };
  const auto y = [](double lufs) { return top + (-6.0 - lufs) / 36.0 * (bottom - top); };
  const auto accentNear = [&picture](double px, double py) {
    bool found = false;
    for (double dy = -1.5; dy <= 1.5; dy += 0.5) {
      const Rgba c = picture.At(px, py + dy);
      found = found || (c.g > 150 && c.r < 120 && c.b < 170);
    }
    return found;
  };
  EXPECT_TRUE(accentNear(x(6.0), y(-20.0)));
  EXPECT_TRUE(accentNear(x(16.0), y(-30.0)));
  EXPECT_FALSE(accentNear(x(6.0), y(-25.0)));
  const double integrated = 10.0 * std::log10((0.01 + 0.001) / 2.0);
  const auto rowHas = [&picture, &x](double py, auto colourTest) {
    int n = 0;
    for (double s = 1.0; s < 19.0; s += 0.25)
      for (double dy = -1.0; dy <= 1.0; dy += 0.5) n += colourTest(picture.At(x(s), py + dy));
    return n;
  };
  EXPECT_GT(rowHas(y(integrated), [](Rgba c) { return Whitish(c); }), 20);
  EXPECT_GT(rowHas(y(-14.0), [](Rgba c) { return c.r > 200 && c.g > 120 && c.g < 190 && c.b < 90; }), 20);
  // Time labels under the plot (0:00 .. 0:20) and level labels left of it.
  int labelPixels = 0;
  for (double px = left; px < right; px += 0.5)
    for (double py = bottom + 4; py < bottom + 14; py += 0.5) labelPixels += picture.At(px, py).r > 60;
  EXPECT_GT(labelPixels, 50);
}

TEST_F(PlotTest, TextReportsNameThePictureAndFilesOfTheSameNameKeepApart) {
  std::filesystem::create_directory(Path("other"));
  std::filesystem::copy_file(Path("pink.wav"), Path("other/pink.wav"));
  const std::string plots = Path("text-plots");
  const ProgramRun run = RunOmbrix({"analyze", "--quiet", "--plot", plots, Path("pink.wav"), Path("other/pink.wav")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> reports = ReportBlocks(run.out);
  ASSERT_EQ(reports.size(), 2u) << run.out;
  EXPECT_NE(reports[0].find("  Picture         " + plots + "/pink.wav.png\n"), std::string::npos) << reports[0];
  EXPECT_NE(reports[1].find("  Picture         " + plots + "/pink.wav (2).png\n"), std::string::npos) << reports[1];
  EXPECT_EQ(ReadPicture(plots + "/pink.wav (2).png").width(), 1280);

  WriteBytes(Path("a-file"), "not a folder");
  const ProgramRun refused = RunOmbrix({"analyze", "--plot", Path("a-file"), Path("pink.wav")});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_NE(refused.err.find("could not create the folder " + Path("a-file")), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace ombrix::test_support
