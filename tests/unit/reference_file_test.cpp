// Learning a target from audio files: real files of every supported kind
// written by libsndfile, file-name rules, damaged files and the time cap.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "dsp/audio_file_reader.h"
#include "core/frequency_grid.h"
#include "dsp/correction_engine.h"
#include "dsp/grid_curves.h"
#include "dsp/reference_file.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::dsp {
namespace {

using test_support::AudioFileFormat;
using test_support::Interleave;
using test_support::ProgrammeMaterial;
using test_support::ScopedTempFolder;
using test_support::WriteAudioFile;

struct Outcome {
  bool ok = false;
  LearnedCurve curve;
  std::string error;
};

Outcome Analyse(const std::filesystem::path& path, double maxSeconds = kReferenceFileMaxSeconds) {
  const std::atomic<bool> cancel{false};
  Outcome outcome;
  outcome.ok = AnalyseReferenceFile(path, outcome.curve, outcome.error, maxSeconds, cancel);
  return outcome;
}

// Largest difference between two curves over the points valid at a rate and
// within [lowHz, highHz].
double MaxDifferenceDb(const GridCurve& a, const GridCurve& b, double sampleRate, double lowHz = 0.0,
                       double highHz = 1e9) {
  double worst = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    if (!PointValidAt(i, sampleRate) || f < lowHz || f > highHz) continue;
    worst = std::max(worst, std::abs(a[i] - b[i]));
  }
  return worst;
}

std::string RandomBytes(std::size_t count) {
  test_support::WhiteNoise random(77);
  std::string bytes(count, '\0');
  for (char& b : bytes) b = static_cast<char>(static_cast<int>(128.0 * (random.Next() + 1.0)) & 0xFF);
  return bytes;
}

// Two different programme channels.
std::vector<std::vector<float>> StereoProgramme(double seconds, double sampleRate) {
  return {ProgrammeMaterial(1, seconds, sampleRate), ProgrammeMaterial(2, seconds, sampleRate)};
}

// The same six seconds of programme in every supported kind of file, with
// names in any letter case, learn the curve of the float WAV file: to within
// rounding for the lossless kinds, to within the coding error for MP3.
TEST(ReferenceFileTest, EveryKindOfFileLearnsTheSameCurve) {
  constexpr int kRate = 44100;
  ScopedTempFolder folder("reference-formats");
  const std::vector<float> programme = Interleave(StereoProgramme(6.0, kRate));
  ASSERT_TRUE(WriteAudioFile(folder / "reference.wav", AudioFileFormat::kWavFloat, kRate, 2, programme));
  const Outcome reference = Analyse(folder / "reference.wav");
  ASSERT_TRUE(reference.ok) << reference.error;
  EXPECT_NEAR(reference.curve.loudSeconds, 6.0, 0.5);

  struct Case {
    const char* name;
    AudioFileFormat format;
    double toleranceDb;       // 40 Hz .. 16 kHz
    double loudSecondsSlack;  // MP3 adds encoder delay and padding
  };
  const Case cases[] = {
      {"pcm16.WAVE", AudioFileFormat::kWavPcm16, 0.001, 0.0},
      {"pcm24.Aif", AudioFileFormat::kAiffPcm24, 0.001, 0.0},
      {"pcm24.aiff", AudioFileFormat::kAiffPcm24, 0.001, 0.0},
      {"pcm24.AIFC", AudioFileFormat::kAiffPcm24, 0.001, 0.0},
      {"Song.FLAC", AudioFileFormat::kFlacPcm24, 0.001, 0.0},
      {"coded.Mp3", AudioFileFormat::kMp3, 0.3, 0.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteAudioFile(folder / c.name, c.format, kRate, 2, programme));
    const Outcome outcome = Analyse(folder / c.name);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_LE(MaxDifferenceDb(outcome.curve.levels, reference.curve.levels, kRate, kAnalysisLowHz, kAnalysisHighHz),
              c.toleranceDb);
    EXPECT_NEAR(outcome.curve.loudSeconds, reference.curve.loudSeconds, c.loudSecondsSlack + 1e-9);
  }
}

// The same programme at 48 kHz (Opus's own rate) as WAV, Ogg Vorbis and Opus,
// under every name an Ogg stream may carry: the lossy files learn the WAV
// file's curve to within their coding error, as MP3 does.
TEST(ReferenceFileTest, OggVorbisAndOpusFilesLearnTheCurveOfTheWavFile) {
  constexpr int kRate = 48000;
  ScopedTempFolder folder("reference-ogg");
  const std::vector<float> programme = Interleave(StereoProgramme(6.0, kRate));
  ASSERT_TRUE(WriteAudioFile(folder / "reference.wav", AudioFileFormat::kWavFloat, kRate, 2, programme));
  const Outcome reference = Analyse(folder / "reference.wav");
  ASSERT_TRUE(reference.ok) << reference.error;

  struct Case {
    const char* name;
    AudioFileFormat format;
  };
  const Case cases[] = {
      {"vorbis.ogg", AudioFileFormat::kOggVorbis},
      {"Vorbis.OGA", AudioFileFormat::kOggVorbis},
      {"speech.opus", AudioFileFormat::kOpus},
      {"opus-in-ogg.ogg", AudioFileFormat::kOpus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteAudioFile(folder / c.name, c.format, kRate, 2, programme));
    const Outcome outcome = Analyse(folder / c.name);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_LE(MaxDifferenceDb(outcome.curve.levels, reference.curve.levels, kRate, kAnalysisLowHz, kAnalysisHighHz),
              0.3);
    EXPECT_NEAR(outcome.curve.loudSeconds, reference.curve.loudSeconds, 0.1 + 1e-9);
  }
}

// A mono file is analysed as both channels; files with more channels use
// their first two and ignore the rest, however loud.
TEST(ReferenceFileTest, ChannelLayouts) {
  constexpr int kRate = 48000;
  ScopedTempFolder folder("reference-channels");
  const std::vector<std::vector<float>> stereo = StereoProgramme(3.0, kRate);
  const std::vector<float> tone = test_support::Sine(700.0, kRate, stereo[0].size(), 0.9);

  ASSERT_TRUE(WriteAudioFile(folder / "stereo.wav", AudioFileFormat::kWavFloat, kRate, 2, Interleave(stereo)));
  ASSERT_TRUE(WriteAudioFile(folder / "mono.wav", AudioFileFormat::kWavFloat, kRate, 1, stereo[0]));
  ASSERT_TRUE(WriteAudioFile(folder / "dual-mono.wav", AudioFileFormat::kWavFloat, kRate, 2,
                             Interleave({stereo[0], stereo[0]})));
  std::vector<std::vector<float>> surround = {stereo[0], stereo[1], tone, tone, tone, tone, tone, tone};
  ASSERT_TRUE(WriteAudioFile(folder / "7.1.wav", AudioFileFormat::kWavFloat, kRate, 8, Interleave(surround)));
  surround.resize(6);
  ASSERT_TRUE(WriteAudioFile(folder / "5.1.aiff", AudioFileFormat::kAiffPcm24, kRate, 6, Interleave(surround)));

  const Outcome stereoOutcome = Analyse(folder / "stereo.wav");
  const Outcome monoOutcome = Analyse(folder / "mono.wav");
  const Outcome dualMono = Analyse(folder / "dual-mono.wav");
  const Outcome sevenOne = Analyse(folder / "7.1.wav");
  const Outcome fiveOne = Analyse(folder / "5.1.aiff");
  for (const Outcome* outcome : {&stereoOutcome, &monoOutcome, &dualMono, &sevenOne, &fiveOne}) {
    ASSERT_TRUE(outcome->ok) << outcome->error;
  }
  EXPECT_LE(MaxDifferenceDb(monoOutcome.curve.levels, dualMono.curve.levels, kRate), 1e-9);
  EXPECT_LE(MaxDifferenceDb(sevenOne.curve.levels, stereoOutcome.curve.levels, kRate), 1e-9);
  EXPECT_LE(MaxDifferenceDb(fiveOne.curve.levels, stereoOutcome.curve.levels, kRate), 0.001);
  // The right channel does count: it has other tones than the left.
  EXPECT_GT(MaxDifferenceDb(monoOutcome.curve.levels, stereoOutcome.curve.levels, kRate), 3.0);
}

TEST(ReferenceFileTest, ShortFilesAgainstTheTwoSecondMinimum) {
  constexpr int kRate = 48000;
  ScopedTempFolder folder("reference-short");
  // 1.5 s: 32 frames, one closed segment of 1.024 s and a 0.34 s rest that is dropped.
  ASSERT_TRUE(WriteAudioFile(folder / "short.wav", AudioFileFormat::kWavPcm16, kRate, 2,
                             Interleave(StereoProgramme(1.5, kRate))));
  const Outcome tooShort = Analyse(folder / "short.wav");
  EXPECT_FALSE(tooShort.ok);
  EXPECT_EQ(tooShort.error, "short.wav: only 1 s was loud enough to learn from, at least 2 s is needed");

  // 3 s: 67 frames, two segments and a 0.81 s partial one; no 10 s chunk, no spread.
  ASSERT_TRUE(WriteAudioFile(folder / "three.wav", AudioFileFormat::kWavPcm16, kRate, 2,
                             Interleave(StereoProgramme(3.0, kRate))));
  const Outcome enough = Analyse(folder / "three.wav");
  ASSERT_TRUE(enough.ok) << enough.error;
  EXPECT_NEAR(enough.curve.loudSeconds, 67 * 2048.0 / kRate, 1e-9);
  for (double spread : enough.curve.spread) EXPECT_EQ(spread, 0.0);
}

// Five seconds of 16-bit dither alone (about -90 LUFS) are not silence to the
// analyser, but nothing to learn from.
TEST(ReferenceFileTest, DitherAloneIsNothingLoudEnough) {
  constexpr int kRate = 48000;
  constexpr double kLsb = 1.0 / 32768.0;
  ScopedTempFolder folder("reference-dither");
  test_support::WhiteNoise random(9);
  std::vector<float> dither(2 * 5 * kRate);
  for (float& sample : dither) sample = static_cast<float>(kLsb * std::round(random.Next() + random.Next()));
  ASSERT_TRUE(WriteAudioFile(folder / "dither.wav", AudioFileFormat::kWavPcm16, kRate, 2, dither));
  const Outcome outcome = Analyse(folder / "dither.wav");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "dither.wav: there was nothing loud enough to learn from");
}

// Windowed-sinc low-pass (Blackman window), as a resampler or an encoder
// applies before coding: flat to below the cut-off, 70 dB down just above it.
std::vector<float> LowPassed(const std::vector<float>& x, double rate, double cutoffHz, int taps) {
  std::vector<double> h(static_cast<std::size_t>(taps));
  const int middle = taps / 2;
  double sum = 0.0;
  for (int k = 0; k < taps; ++k) {
    const double t = k - middle;
    const double phase = 2.0 * std::numbers::pi * cutoffHz / rate;
    const double sinc = t == 0 ? phase / std::numbers::pi : std::sin(phase * t) / (std::numbers::pi * t);
    const double a = 2.0 * std::numbers::pi * k / (taps - 1);
    h[static_cast<std::size_t>(k)] = sinc * (0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a));
    sum += h[static_cast<std::size_t>(k)];
  }
  std::vector<float> y(x.size());
  for (std::size_t n = 0; n < x.size(); ++n) {
    double acc = 0.0;
    for (int k = 0; k < taps; ++k) {
      const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(n) + middle - k;
      if (j >= 0 && j < static_cast<std::ptrdiff_t>(x.size())) acc += h[static_cast<std::size_t>(k)] * x[j];
    }
    y[n] = static_cast<float>(acc / sum);
  }
  return y;
}

// Music-like programme: the test programme with its top falling off above
// 4 kHz (one pole), as music's does.
std::vector<float> DarkerProgramme(std::uint64_t seed, double seconds, double rate) {
  std::vector<float> x = ProgrammeMaterial(seed, seconds, rate);
  const double a = std::exp(-2.0 * std::numbers::pi * 4000.0 / rate);
  double y = 0.0;
  for (float& sample : x) sample = static_cast<float>(y = (1.0 - a) * sample + a * y);
  return x;
}

// The same music as a 44.1 kHz WAV file, as a 22.05 kHz MP3 (resampled with
// a low-pass below 10 kHz) and as an MP3 low-passed at 16 kHz: the curves
// agree up to the lowest cut-off, the held part carries the curve on rather
// than a filter's slope, and the music measured against any of them reads as
// matching it.
TEST(ReferenceFileTest, BandLimitedFilesLearnTheCurveOfTheFullBandFile) {
  constexpr int kRate = 44100;
  constexpr double kSeconds = 10.0;
  constexpr double kLowestCutOffHz = 9500.0;
  ScopedTempFolder folder("reference-band-limited");
  const std::vector<float> left = DarkerProgramme(1, kSeconds, kRate);
  const std::vector<float> right = DarkerProgramme(2, kSeconds, kRate);
  ASSERT_TRUE(WriteAudioFile(folder / "full.wav", AudioFileFormat::kWavFloat, kRate, 2, Interleave({left, right})));

  std::vector<float> halfRate;
  {
    const std::vector<float> l = LowPassed(left, kRate, 9700.0, 255), r = LowPassed(right, kRate, 9700.0, 255);
    for (std::size_t n = 0; n < l.size(); n += 2) halfRate.insert(halfRate.end(), {l[n], r[n]});
  }
  ASSERT_TRUE(WriteAudioFile(folder / "half-rate.mp3", AudioFileFormat::kMp3, kRate / 2, 2, halfRate));
  ASSERT_TRUE(WriteAudioFile(folder / "cut-at-16k.mp3", AudioFileFormat::kMp3, kRate, 2,
                             Interleave({LowPassed(left, kRate, 16000.0, 255), LowPassed(right, kRate, 16000.0, 255)})));

  const Outcome full = Analyse(folder / "full.wav");
  ASSERT_TRUE(full.ok) << full.error;
  // The music as the plug-in would hear it in a 48 kHz session.
  ASSERT_TRUE(WriteAudioFile(folder / "music.wav", AudioFileFormat::kWavFloat, 48000, 2,
                             Interleave({DarkerProgramme(1, kSeconds, 48000), DarkerProgramme(2, kSeconds, 48000)})));
  const Outcome music = Analyse(folder / "music.wav");
  ASSERT_TRUE(music.ok) << music.error;

  for (const char* name : {"full.wav", "half-rate.mp3", "cut-at-16k.mp3"}) {
    SCOPED_TRACE(name);
    const Outcome target = Analyse(folder / name);
    ASSERT_TRUE(target.ok) << target.error;
    EXPECT_LE(MaxDifferenceDb(target.curve.levels, full.curve.levels, kRate, kAnalysisLowHz, kLowestCutOffHz), 3.0);
    EXPECT_LE(MaxDifferenceDb(target.curve.levels, full.curve.levels, kRate, kLowestCutOffHz, kAnalysisHighHz), 6.0);

    const ValidFlags valid = ValidPointsAt(48000.0);
    GridCurve powers{};
    for (std::size_t i = 0; i < kGridPoints; ++i) powers[i] = std::pow(10.0, music.curve.levels[i] / 10.0);
    GridCurve deviation = LevelMatch(valid, powers, target.curve.levels);
    for (std::size_t i = 0; i < kGridPoints; ++i) deviation[i] -= target.curve.levels[i];
    const DeviationFit fit = FitDeviation(valid, deviation, Crossovers{}, {1.0, 1.0, 1.0, 1.0});
    ASSERT_TRUE(fit.valid);
    EXPECT_LE(std::abs(fit.tilt), 2.0);
    for (std::size_t b = 0; b < kBandCount; ++b) EXPECT_LE(std::abs(fit.band[b]), 12.0) << "band " << b;
  }
}

TEST(ReferenceFileTest, FileNamesWithoutASupportedExtensionAreRefused) {
  struct Case {
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"song.m4a", "unsupported file type .m4a (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {"Song.WMA", "unsupported file type .wma (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {"README", "unsupported file type  (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {".ogg", "unsupported file type  (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {"take.", "unsupported file type . (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {"..", "unsupported file type  (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
      {"mix.opus.bak", "unsupported file type .bak (WAV, AIFF, MP3, FLAC, Ogg or Opus)"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Analyse(std::filesystem::path("/nowhere") / c.name);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, c.expected) << c.name;
  }
}

// Files that cannot be decoded, or whose content is not what their name
// says, fail with "could not read"; files that decode but hold too little
// report the learning failure after the file name.
TEST(ReferenceFileTest, DamagedAndMisnamedFilesFailWithAReason) {
  constexpr int kRate = 48000;
  ScopedTempFolder folder("reference-damaged");
  const std::vector<float> programme = Interleave(StereoProgramme(4.0, kRate));
  ASSERT_TRUE(WriteAudioFile(folder / "good.wav", AudioFileFormat::kWavPcm16, kRate, 2, programme));
  ASSERT_TRUE(WriteAudioFile(folder / "good.flac", AudioFileFormat::kFlacPcm24, kRate, 2, programme));
  ASSERT_TRUE(WriteAudioFile(folder / "good.mp3", AudioFileFormat::kMp3, kRate, 2, programme));
  ASSERT_TRUE(WriteAudioFile(folder / "good.ogg", AudioFileFormat::kOggVorbis, kRate, 2, programme));
  ASSERT_TRUE(WriteAudioFile(folder / "good.opus", AudioFileFormat::kOpus, kRate, 2, programme));
  const std::string wav = test_support::ReadBytes(folder / "good.wav");
  const std::string flac = test_support::ReadBytes(folder / "good.flac");
  const std::string mp3 = test_support::ReadBytes(folder / "good.mp3");
  const std::string ogg = test_support::ReadBytes(folder / "good.ogg");
  const std::string opus = test_support::ReadBytes(folder / "good.opus");
  // The codec's identification header, just after the first page's header, overwritten.
  const std::string damagedOgg = ogg.substr(0, 28) + RandomBytes(100) + ogg.substr(128);
  ASSERT_GT(wav.size(), 44u + 48000 * 4 * 3);

  const std::size_t wavHeader = wav.size() - programme.size() * 2;
  const std::string pcm = wav.substr(wavHeader, 48000 * 4);  // one second, 16-bit stereo
  struct Case {
    const char* name;
    std::string bytes;
    const char* expected;
  };
  const Case cases[] = {
      {"empty.wav", "", "could not read empty.wav"},
      {"text.mp3", "this is not audio\n", "could not read text.mp3"},
      {"random.aiff", RandomBytes(100000), "could not read random.aiff"},
      {"random.mp3", RandomBytes(100000), "could not read random.mp3"},
      {"flac-inside.wav", flac, "could not read flac-inside.wav"},
      {"wav-inside.flac", wav, "could not read wav-inside.flac"},
      {"wav-inside.mp3", wav, "could not read wav-inside.mp3"},
      {"mp3-inside.aif", mp3, "could not read mp3-inside.aif"},
      {"damaged.ogg", damagedOgg, "could not read damaged.ogg"},
      {"random.oga", RandomBytes(100000), "could not read random.oga"},
      {"vorbis-inside.opus", ogg, "could not read vorbis-inside.opus"},
      {"wav-inside.ogg", wav, "could not read wav-inside.ogg"},
      {"opus-inside.flac", opus, "could not read opus-inside.flac"},
      {"header-cut.wav", wav.substr(0, 30), "could not read header-cut.wav"},
      {"header-only.wav", test_support::WavHeader(kRate, 2, 16, 0), "could not read header-only.wav"},
      {"zero-hz.wav", test_support::WavHeader(0, 2, 16, 48000 * 4) + pcm, "could not read zero-hz.wav"},
      {"zero-channels.wav", test_support::WavHeader(kRate, 0, 16, 48000 * 4) + pcm, "could not read zero-channels.wav"},
      // The header promises four seconds, the data holds 1.5.
      {"data-cut.wav", wav.substr(0, wavHeader + 48000 * 6),
       "data-cut.wav: only 1 s was loud enough to learn from, at least 2 s is needed"},
      {"silence.wav", test_support::WavHeader(kRate, 2, 16, 48000 * 4 * 3) + std::string(48000 * 4 * 3, '\0'),
       "silence.wav: there was nothing loud enough to learn from"},
  };
  for (const Case& c : cases) {
    test_support::WriteBytes(folder / c.name, c.bytes);
    const Outcome outcome = Analyse(folder / c.name);
    EXPECT_FALSE(outcome.ok) << c.name;
    EXPECT_EQ(outcome.error, c.expected);
  }

  EXPECT_EQ(Analyse(folder / "missing.wav").error, "could not read missing.wav");
  std::filesystem::create_directory(folder / "folder.flac");
  EXPECT_EQ(Analyse(folder / "folder.flac").error, "could not read folder.flac");
}

// Compressed streams cut short decode up to the cut and learn from that.
TEST(ReferenceFileTest, TruncatedCompressedFilesLearnFromWhatDecodes) {
  constexpr int kRate = 48000;
  ScopedTempFolder folder("reference-truncated");
  const std::vector<float> programme = Interleave(StereoProgramme(8.0, kRate));
  for (const auto& [name, format] : {std::pair{"cut.flac", AudioFileFormat::kFlacPcm24},
                                     std::pair{"cut.mp3", AudioFileFormat::kMp3}}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(WriteAudioFile(folder / "whole", format, kRate, 2, programme));
    const std::string bytes = test_support::ReadBytes(folder / "whole");
    test_support::WriteBytes(folder / name, bytes.substr(0, bytes.size() / 2));
    const Outcome outcome = Analyse(folder / name);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_GT(outcome.curve.loudSeconds, 2.5);
    EXPECT_LT(outcome.curve.loudSeconds, 5.5);
  }
}

// Twenty minutes of noise at 4 kHz: exactly the first 900 s are fed,
// 1754 frames of 0.512 s. (Reading whole chunks past the limit would add a
// frame, and reading on to the end many more.)
TEST(ReferenceFileTest, LongFilesAreAnalysedOverTheirFirstFifteenMinutes) {
  constexpr int kRate = 4000;
  ScopedTempFolder folder("reference-long");
  const std::vector<float> noise = test_support::PinkNoise(9, static_cast<std::size_t>(20 * 60 * kRate), 0.1);
  ASSERT_TRUE(WriteAudioFile(folder / "long.wav", AudioFileFormat::kWavPcm16, kRate, 1, noise));
  const Outcome outcome = Analyse(folder / "long.wav");
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_NEAR(outcome.curve.loudSeconds, 1754 * 0.512, 1e-6);
  // 87 chunks of 10 s of the same noise: a small but present spread.
  EXPECT_GT(outcome.curve.spread[100], 0.0);
  EXPECT_LT(outcome.curve.spread[100], 1.0);
}

TEST(ReferenceFileTest, ACancelledAnalysisReportsCancelled) {
  ScopedTempFolder folder("reference-cancel");
  ASSERT_TRUE(WriteAudioFile(folder / "song.wav", AudioFileFormat::kWavPcm16, 48000, 2,
                             Interleave(StereoProgramme(3.0, 48000))));
  const std::atomic<bool> cancel{true};
  LearnedCurve curve;
  std::string error;
  EXPECT_FALSE(AnalyseReferenceFile(folder / "song.wav", curve, error, kReferenceFileMaxSeconds, cancel));
  EXPECT_EQ(error, "cancelled");
}

TEST(AudioFileNamesTest, ExtensionsAreTakenFromTheLastDotAndLowerCased) {
  EXPECT_EQ(LowerCaseExtension("Song.FLAC"), ".flac");
  EXPECT_EQ(LowerCaseExtension("a.b.WaVe"), ".wave");
  EXPECT_EQ(LowerCaseExtension(".wav"), "");
  EXPECT_EQ(LowerCaseExtension(".."), "");
  EXPECT_EQ(LowerCaseExtension("."), "");
  EXPECT_EQ(LowerCaseExtension("x."), ".");
  EXPECT_EQ(LowerCaseExtension("Café.MP3"), ".mp3");
  EXPECT_EQ(FileNameUtf8(PathFromUtf8("/music/Überlied ♪.wav")), "Überlied ♪.wav");
}

}  // namespace
}  // namespace ombrix::dsp
