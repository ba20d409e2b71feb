// "ombrix render" and "ombrix demo" through the built VST3 plug-in.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "cli/cli_output.h"
#include "cli/program_run.h"
#include "cli/tilted_noise.h"
#include "library/plugin_state.h"
#include "library/presets.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

constexpr int kRate = 48000;

class RenderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScopedTempFolder>("cli-render");
    // +1 dB per octave: a tilt the equaliser's +-6 dB can take out over the
    // whole analysis range, which a steeper one would not allow.
    ASSERT_TRUE(WriteAudioFile(Path("tilted.wav"), AudioFileFormat::kWavFloat, kRate, 2,
                               Interleave({TiltedNoise(1, 60, kRate, 1.0), TiltedNoise(2, 60, kRate, 1.0)})));
    ASSERT_TRUE(WriteAudioFile(Path("programme.wav"), AudioFileFormat::kWavFloat, kRate, 2,
                               Interleave({ProgrammeMaterial(3, 8, kRate), ProgrammeMaterial(4, 8, kRate)})));
  }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }

  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> RenderTest::folder_;

TEST_F(RenderTest, CorrectionMovesATiltedFileTowardsTheTarget) {
  const ProgramRun render = RunOmbrix({"render", Path("tilted.wav"), Path("corrected.wav"), "--correct", "--quiet"});
  ASSERT_EQ(render.exitStatus, 0) << render.err;
  // The side-by-side report of the whole files already shows the move.
  EXPECT_LT(std::abs(FigureInColumn(render.out, "Tilt", 1).value_or(99)),
            std::abs(FigureInColumn(render.out, "Tilt", 0).value_or(0)))
      << render.out;

  // The second half, once the correction has settled.
  const ProgramRun halves =
      RunOmbrix({"analyze", "--from", "30", "--quiet", Path("tilted.wav"), Path("corrected.wav")});
  ASSERT_EQ(halves.exitStatus, 0) << halves.err;
  const std::vector<std::string> reports = ReportBlocks(halves.out);
  ASSERT_EQ(reports.size(), 2u);
  const double before = Figure(reports[0], "Tilt").value_or(0), after = Figure(reports[1], "Tilt").value_or(99);
  EXPECT_NEAR(before, 1.0, 0.15);
  EXPECT_LE(std::abs(after), 0.5 * std::abs(before)) << halves.out;
}

TEST_F(RenderTest, BypassReturnsTheInputExactly) {
  PluginState bypassed;
  bypassed.params[kBypass] = 1.0;
  bypassed.params[kCorrect] = 1.0;
  ByteChunk chunk;
  WriteState(bypassed, chunk);
  std::string reason;
  ASSERT_TRUE(WritePresetFile(folder_->Path(), "Bypassed", chunk.Bytes(), reason)) << reason;
  const std::string preset = PresetPathForName(folder_->Path(), "Bypassed").string();

  const DecodedAudio input = ReadAudio(Path("programme.wav"));
  const std::vector<std::vector<std::string>> settings{{"--correct", "--set", "Bypass=on"}, {"--preset", preset}};
  for (const auto& setting : settings) {
    std::vector<std::string> arguments{"render", Path("programme.wav"), Path("bypassed.wav"), "--quiet"};
    arguments.insert(arguments.end(), setting.begin(), setting.end());
    const ProgramRun run = RunOmbrix(arguments);
    ASSERT_EQ(run.exitStatus, 0) << setting.front() << run.err;
    EXPECT_NE(run.out.find("Bypass on"), std::string::npos) << run.out;
    const DecodedAudio output = ReadAudio(Path("bypassed.wav"));
    ASSERT_EQ(output.samples.size(), input.samples.size());
    for (std::size_t i = 0; i < input.samples.size(); ++i)
      ASSERT_EQ(output.samples[i], input.samples[i]) << setting.front() << " sample " << i;
  }
}

TEST_F(RenderTest, PathsOnTheCommandLineResolveAgainstTheWorkingFolder) {
  PluginState bypassed;
  bypassed.params[kBypass] = 1.0;
  ByteChunk chunk;
  WriteState(bypassed, chunk);
  std::string reason;
  ASSERT_TRUE(WritePresetFile(folder_->Path(), "Mastering bus", chunk.Bytes(), reason)) << reason;
  const std::string here = folder_->Path().string();

  const ProgramRun render = RunOmbrix(
      {"render", "programme.wav", "relative.wav", "--quiet", "--preset", "Mastering bus.ompreset"}, here);
  ASSERT_EQ(render.exitStatus, 0) << render.err;
  EXPECT_NE(render.out.find("Bypass on"), std::string::npos) << render.out;
  EXPECT_EQ(ReadAudio(Path("relative.wav")).samples, ReadAudio(Path("programme.wav")).samples);

  const ProgramRun shot =
      RunOmbrix({"screenshot", "-o", "shot.png", "--state", "Mastering bus.ompreset", "--audio", "programme.wav"}, here);
  EXPECT_EQ(shot.exitStatus, 0) << shot.err;
  EXPECT_TRUE(std::filesystem::exists(Path("shot.png")));
}

TEST_F(RenderTest, WritesAtTheInputsRateAndChannelCountInTheDepthAskedFor) {
  const struct {
    int rate;
    int channels;
    AudioFileFormat inputFormat;
    const char* bits;
    int subformat;
  } cases[] = {{48000, 2, AudioFileFormat::kWavPcm16, "", SF_FORMAT_FLOAT},
               {44100, 1, AudioFileFormat::kFlacPcm24, "16", SF_FORMAT_PCM_16},
               {44100, 2, AudioFileFormat::kAiffPcm24, "24", SF_FORMAT_PCM_24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    const std::string input = Path("in-" + std::to_string(c.rate) + "-" + std::to_string(c.channels) +
                                   (c.inputFormat == AudioFileFormat::kFlacPcm24   ? ".flac"
                                    : c.inputFormat == AudioFileFormat::kAiffPcm24 ? ".aiff"
                                                                                    : ".wav"));
    std::vector<std::vector<float>> planes;
    for (int ch = 0; ch < c.channels; ++ch) planes.push_back(ProgrammeMaterial(10 + ch, 5, c.rate));
    ASSERT_TRUE(WriteAudioFile(input, c.inputFormat, c.rate, c.channels, Interleave(planes)));

    std::vector<std::string> arguments{"render", input, Path("out.wav"), "--correct", "--quiet"};
    if (*c.bits != '\0') arguments.insert(arguments.end(), {"--bits", c.bits});
    const ProgramRun run = RunOmbrix(arguments);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const DecodedAudio output = ReadAudio(Path("out.wav"));
    EXPECT_EQ(output.sampleRate, c.rate);
    EXPECT_EQ(output.channels, c.channels);
    EXPECT_EQ(output.samples.size(), static_cast<std::size_t>(5 * c.rate * c.channels));
    EXPECT_EQ(output.format, SF_FORMAT_WAV | c.subformat);
  }
}

TEST_F(RenderTest, MoreThanTwoChannelsIsAFailureAndWritesNothing) {
  std::vector<std::vector<float>> planes(6, ProgrammeMaterial(20, 2, kRate));
  ASSERT_TRUE(WriteAudioFile(Path("surround.wav"), AudioFileFormat::kWavFloat, kRate, 6, Interleave(planes)));
  const ProgramRun run = RunOmbrix({"render", Path("surround.wav"), Path("surround-out.wav")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "ombrix render: only mono and stereo audio can be rendered, not 6 channels\n");
  EXPECT_FALSE(std::filesystem::exists(Path("surround-out.wav")));
  EXPECT_FALSE(std::filesystem::exists(Path("surround-out.wav.partial")));
}

TEST(Demo, WritesBeforeAndAfterAndItsFiguresShowTheCorrection) {
  ScopedTempFolder folder("cli-demo");
  const std::string dir = (folder / "demo").string();
  const ProgramRun run = RunOmbrix({"demo", dir, "--quiet"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  for (const char* name : {"before.wav", "after.wav"}) {
    const DecodedAudio audio = ReadAudio(folder / "demo" / name);
    EXPECT_EQ(audio.sampleRate, 48000) << name;
    EXPECT_EQ(audio.channels, 2) << name;
    EXPECT_EQ(audio.samples.size(), 30u * 48000u * 2u) << name;
  }
  const double before = FigureInColumn(run.out, "Tilt", 0).value_or(0);
  const double after = FigureInColumn(run.out, "Tilt", 1).value_or(99);
  EXPECT_LT(before, -1.0) << run.out;
  EXPECT_LE(std::abs(after), 0.5 * std::abs(before)) << run.out;
}

}  // namespace
}  // namespace ombrix::test_support
