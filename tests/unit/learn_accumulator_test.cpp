// Learning a target: segments, the loudness gate, the chunk spread and the
// conversion of summed powers to a normalised curve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "dsp/learn_accumulator.h"
#include "dsp/loudness_meter.h"
#include "dsp/reference_file.h"
#include "dsp/band_analyser.h"
#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::dsp {
namespace {

constexpr double kRate = 48000.0;
constexpr double kHop = 2048.0 / kRate;  // 42.67 ms: 24 frames make a 1.024 s segment
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Band powers falling or rising by `dbPerOctave` around 1 kHz.
GridCurve TiltedPowers(double dbPerOctave, double scale = 1.0) {
  GridCurve powers{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    powers[i] = scale * std::pow(10.0, dbPerOctave * OctavePosition(i) / 10.0);
  }
  return powers;
}

void AddFrames(LearnAccumulator& accumulator, int frames, const GridCurve& powers, double meanSquare = 0.01) {
  for (int n = 0; n < frames; ++n) accumulator.AddFrame(powers, meanSquare, kHop);
}

double MeanPowerDbOverAnalysisRange(const GridCurve& levels) {
  double sum = 0.0;
  int count = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (!InAnalysisRange(GridFrequency(i))) continue;
    sum += std::pow(10.0, levels[i] / 10.0);
    ++count;
  }
  return 10.0 * std::log10(sum / count);
}

// Reference normalisation for powers that are positive everywhere.
GridCurve NormalisedDb(const GridCurve& powers) {
  GridCurve levels{};
  for (std::size_t i = 0; i < kGridPoints; ++i) levels[i] = 10.0 * std::log10(powers[i]);
  const double mean = MeanPowerDbOverAnalysisRange(levels);
  for (double& level : levels) level -= mean;
  return levels;
}

TEST(LearnAccumulatorTest, FramesCloseASegmentOnceItHoldsASecond) {
  LearnAccumulator accumulator;
  const GridCurve powers = TiltedPowers(-3.0);
  AddFrames(accumulator, 23, powers, 0.02);
  EXPECT_TRUE(accumulator.Segments().empty());
  AddFrames(accumulator, 1, powers, 0.04);
  ASSERT_EQ(accumulator.Segments().size(), 1u);
  const LearnSegment& segment = accumulator.Segments()[0];
  EXPECT_NEAR(segment.duration, 1.024, 1e-12);
  EXPECT_NEAR(segment.energy, (23 * 0.02 + 0.04) / 24, 1e-15);  // the mean square once closed
  EXPECT_NEAR(segment.powers[100], 24 * powers[100], 1e-9 * powers[100]);
  EXPECT_EQ(accumulator.Current().duration, 0.0);

  // 14.5 s of material: the editor shows 14 of 15 s.
  AddFrames(accumulator, 340 - 24, powers);
  EXPECT_EQ(static_cast<int>(accumulator.TotalSeconds()), 14);
  accumulator.Clear();
  EXPECT_TRUE(accumulator.Segments().empty());
  EXPECT_EQ(accumulator.TotalSeconds(), 0.0);
  EXPECT_EQ(accumulator.Current().energy, 0.0);
}

TEST(LearnAccumulatorTest, FramesWithValuesThatAreNotFiniteAreIgnored) {
  GridCurve nanPower = TiltedPowers(0.0);
  nanPower[7] = kNaN;
  GridCurve infPower = TiltedPowers(0.0);
  infPower[170] = kInf;
  struct Case {
    GridCurve powers;
    double meanSquare;
    double hop;
  };
  const GridCurve good = TiltedPowers(0.0);
  const Case cases[] = {{good, kNaN, kHop}, {good, kInf, kHop}, {good, 0.01, kNaN}, {good, 0.01, kInf},
                        {nanPower, 0.01, kHop}, {infPower, 0.01, kHop}};
  for (const Case& c : cases) {
    LearnAccumulator accumulator;
    for (int n = 0; n < 30; ++n) accumulator.AddFrame(c.powers, c.meanSquare, c.hop);
    EXPECT_EQ(accumulator.TotalSeconds(), 0.0);
    EXPECT_TRUE(accumulator.Segments().empty());
    EXPECT_EQ(accumulator.Current().duration, 0.0);
  }
}

TEST(LearnAccumulatorTest, FinishFailsWithTheReasonForTooLittleMaterial) {
  struct Case {
    int frames;
    double powerScale;
    double minSeconds;
    const char* expected;
  };
  const Case cases[] = {
      {0, 1.0, 15.0, "there was nothing loud enough to learn from"},
      // 0.43 s: a partial segment under half a second does not count.
      {10, 1.0, 15.0, "there was nothing loud enough to learn from"},
      // 0.73 s: the partial segment counts.
      {17, 1.0, 15.0, "only 1 s was loud enough to learn from, at least 15 s is needed"},
      // 1.37 s: one segment of 1.024 s, the 0.34 s rest is dropped (were it
      // counted, 1.37 s would satisfy the minimum of 1.2 s).
      {32, 1.0, 2.0, "only 1 s was loud enough to learn from, at least 2 s is needed"},
      {32, 1.0, 1.2, "only 1 s was loud enough to learn from, at least 1 s is needed"},
      // A mean square, but no band carries power: all of it lies below 18 Hz
      // or above 21 kHz, where a loudness meter hears nothing either.
      {400, 0.0, 15.0, "there was nothing loud enough to learn from"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    LearnAccumulator accumulator;
    AddFrames(accumulator, c.frames, TiltedPowers(0.0, c.powerScale));
    LearnedCurve curve;
    curve.loudSeconds = -1.0;
    std::string error;
    EXPECT_FALSE(accumulator.Finish(c.minSeconds, curve, error));
    EXPECT_EQ(error, c.expected);
    EXPECT_EQ(curve.loudSeconds, -1.0);  // untouched
  }
}

TEST(LearnAccumulatorTest, FinishNeedsFifteenLoudSecondsAndLeavesTheMaterialForMore) {
  LearnAccumulator accumulator;
  const GridCurve powers = TiltedPowers(-3.0);
  AddFrames(accumulator, 351, powers);  // 14.976 s
  LearnedCurve curve;
  std::string error;
  ASSERT_FALSE(accumulator.Finish(kLearnFromInputMinimumSeconds, curve, error));
  EXPECT_EQ(error, "only 15 s was loud enough to learn from, at least 15 s is needed");

  AddFrames(accumulator, 1, powers);  // 15.019 s: 14 segments and a 0.68 s partial one
  ASSERT_TRUE(accumulator.Finish(kLearnFromInputMinimumSeconds, curve, error)) << error;
  EXPECT_NEAR(curve.loudSeconds, 352 * kHop, 1e-9);
  const GridCurve expected = NormalisedDb(powers);
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    EXPECT_NEAR(curve.levels[i], expected[i], 1e-9);
    EXPECT_EQ(curve.spread[i], 0.0);
  }
}

// Loud segments in 10 s chunks: the spread is the RMS deviation of the chunk
// curves from the overall curve, counting a last chunk of at least 5 s.
TEST(LearnAccumulatorTest, SpreadComesFromTenSecondChunks) {
  struct Case {
    int segments;
    int chunkCurves;
  };
  // 25 segments: 10.24 + 10.24 + 5.12 s. 24: the 4.1 s rest is dropped.
  // 14: one chunk, so no spread.
  const Case cases[] = {{25, 3}, {24, 2}, {14, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.segments);
    LearnAccumulator accumulator;
    std::vector<GridCurve> chunkSums(3, GridCurve{});
    GridCurve total{};
    for (int s = 0; s < c.segments; ++s) {
      // Each segment gets its own tilt, so chunks differ from one another.
      const GridCurve powers = TiltedPowers(-4.0 + 0.3 * s, 1.0 + 0.1 * s);
      AddFrames(accumulator, 24, powers);
      for (std::size_t i = 0; i < kGridPoints; ++i) {
        chunkSums[static_cast<std::size_t>(s / 10)][i] += 24 * powers[i];
        total[i] += 24 * powers[i];
      }
    }
    LearnedCurve curve;
    std::string error;
    ASSERT_TRUE(accumulator.Finish(kReferenceFileMinimumSeconds, curve, error)) << error;
    const GridCurve overall = NormalisedDb(total);
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      double squares = 0.0;
      for (int k = 0; k < c.chunkCurves; ++k) {
        const double deviation = NormalisedDb(chunkSums[static_cast<std::size_t>(k)])[i] - overall[i];
        squares += deviation * deviation;
      }
      const double expected = c.chunkCurves > 1 ? std::sqrt(squares / c.chunkCurves) : 0.0;
      EXPECT_NEAR(curve.levels[i], overall[i], 1e-9);
      EXPECT_NEAR(curve.spread[i], expected, 1e-9);
    }
    if (c.chunkCurves > 1) {
      EXPECT_GT(curve.spread[0], 0.5);
    }
  }
}

TEST(PowersToCurveTest, PointsWithoutPowerTakeTheLevelBelowThemAndTheFirstLevelAtTheBottom) {
  GridCurve powers{};
  for (std::size_t i = 5; i < 170; ++i) powers[i] = static_cast<double>(i);
  powers[60] = 0.0;
  powers[61] = -1.0;
  powers[62] = kNaN;
  powers[63] = kInf;
  const std::optional<GridCurve> levels = PowersToCurve(powers);
  ASSERT_TRUE(levels.has_value());
  const GridCurve& l = *levels;
  const double offset = l[100] - 10.0 * std::log10(100.0);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(l[i], l[5]);
  for (std::size_t i = 60; i <= 63; ++i) EXPECT_DOUBLE_EQ(l[i], l[59]);
  for (std::size_t i = 170; i < kGridPoints; ++i) EXPECT_DOUBLE_EQ(l[i], l[169]);
  EXPECT_NEAR(l[64] - offset, 10.0 * std::log10(64.0), 1e-12);
  EXPECT_NEAR(MeanPowerDbOverAnalysisRange(l), 0.0, 1e-12);
}

TEST(PowersToCurveTest, IsNormalisedAndFiniteEvenForExtremePowers) {
  test_support::WhiteNoise random(3);
  GridCurve powers{};
  for (double& p : powers) p = std::pow(10.0, 300.0 * random.Next());  // 1e-300 .. 1e300
  powers[90] = std::numeric_limits<double>::max();
  const std::optional<GridCurve> levels = PowersToCurve(powers);
  ASSERT_TRUE(levels.has_value());
  for (double level : *levels) ASSERT_TRUE(std::isfinite(level));
  EXPECT_NEAR(MeanPowerDbOverAnalysisRange(*levels), 0.0, 1e-9);
  EXPECT_NEAR((*levels)[20] - (*levels)[10], 10.0 * std::log10(powers[20] / powers[10]), 1e-9);
}

TEST(PowersToCurveTest, FailsWithoutAnyPositiveFinitePower) {
  GridCurve powers{};
  EXPECT_FALSE(PowersToCurve(powers).has_value());
  powers.fill(-1.0);
  powers[3] = kNaN;
  powers[4] = kInf;
  EXPECT_FALSE(PowersToCurve(powers).has_value());
}

// Through the real analyser: pink noise has equal power in every
// sixth-octave band, so the learned curve is flat.
TEST(LearnAccumulatorTest, PinkNoiseThroughTheAnalyserLearnsAFlatCurve) {
  SpectrumAnalysis analysis;
  analysis.Configure(kRate);
  LearnAccumulator accumulator;
  analysis.SetFrameObserver(accumulator.Observer());
  const std::vector<float> left = test_support::PinkNoise(11, static_cast<std::size_t>(12 * kRate));
  const std::vector<float> right = test_support::PinkNoise(12, left.size());
  analysis.Feed(left.data(), right.data(), static_cast<int>(left.size()));

  LearnedCurve curve;
  std::string error;
  ASSERT_TRUE(accumulator.Finish(kReferenceFileMinimumSeconds, curve, error)) << error;
  EXPECT_NEAR(MeanPowerDbOverAnalysisRange(curve.levels), 0.0, 1e-9);
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    if (f >= 100.0 && f <= 16000.0) {
      EXPECT_NEAR(curve.levels[i], 0.0, 1.0) << f << " Hz";
    }
  }
}

// 20 s of programme, then 60 s of room noise 30 dB lower with another shape:
// the gate, 20 dB under the 90th-percentile segment, keeps only the music.
TEST(LearnAccumulatorTest, QuietRoomNoiseAfterTheMusicIsGatedOut) {
  const auto learn = [](double noiseSeconds, LearnedCurve& curve) {
    SpectrumAnalysis analysis;
    analysis.Configure(kRate);
    LearnAccumulator accumulator;
    analysis.SetFrameObserver(accumulator.Observer());
    const std::vector<float> music = test_support::ProgrammeMaterial(5, 20.0, kRate, 0.1);
    analysis.Feed(music.data(), nullptr, static_cast<int>(music.size()));
    // Low-passed white noise, 30 dB under the music.
    std::vector<float> room = test_support::WhiteNoiseSamples(6, static_cast<std::size_t>(noiseSeconds * kRate));
    float state = 0.0f;
    for (float& s : room) s = state = 0.98f * state + 0.02f * s;
    room = test_support::Scaled(room, 0.1 * std::pow(10.0, -30.0 / 20.0) / std::sqrt(test_support::MeanSquare(room)));
    analysis.Feed(room.data(), nullptr, static_cast<int>(room.size()));
    std::string error;
    EXPECT_TRUE(accumulator.Finish(kLearnFromInputMinimumSeconds, curve, error)) << error;
  };
  LearnedCurve musicOnly;
  LearnedCurve withRoom;
  learn(0.0, musicOnly);
  learn(60.0, withRoom);
  EXPECT_NEAR(withRoom.loudSeconds, 20.0, 1.1);
  for (std::size_t i = 0; i < kGridPoints; ++i) EXPECT_NEAR(withRoom.levels[i], musicOnly.levels[i], 0.2) << i;
}

// The segments' loudness, taken from their band powers, against the
// plug-in's loudness meter on the same stereo signal, for signals whose power
// lies where the K-weighting is flat, lifted or cut.
TEST(LearnAccumulatorTest, SegmentLoudnessReadsLikeTheLoudnessMeter) {
  const auto stereo = [](std::vector<float> left, std::vector<float> right) {
    return std::pair{std::move(left), std::move(right)};
  };
  const std::size_t n = static_cast<std::size_t>(6 * kRate);
  const struct {
    const char* name;
    std::pair<std::vector<float>, std::vector<float>> signal;
    double toleranceLu;
  } cases[] = {
      {"pink noise", stereo(test_support::PinkNoise(1, n, 0.05), test_support::PinkNoise(2, n, 0.05)), 0.5},
      // An eighth of white noise's power lies above the grid's 21 kHz.
      {"white noise", stereo(test_support::WhiteNoiseSamples(3, n, 0.1), test_support::WhiteNoiseSamples(4, n, 0.1)),
       1.0},
      {"40 Hz", stereo(test_support::Sine(40.0, kRate, n, 0.3), test_support::Sine(40.0, kRate, n, 0.3)), 0.5},
      {"8 kHz on the left", stereo(test_support::Sine(8000.0, kRate, n, 0.3), std::vector<float>(n, 0.0f)), 0.5},
  };
  for (const auto& c : cases) {
    SpectrumAnalysis analysis;
    analysis.Configure(kRate);
    LearnAccumulator accumulator;
    analysis.SetFrameObserver(accumulator.Observer());
    analysis.Feed(c.signal.first.data(), c.signal.second.data(), static_cast<int>(n));
    LoudnessMeter meter;
    meter.Configure(kRate);
    const float* channels[] = {c.signal.first.data(), c.signal.second.data()};
    meter.Process(channels, 2, static_cast<int>(n));
    ASSERT_GE(accumulator.Segments().size(), 4u) << c.name;
    for (const LearnSegment& segment : accumulator.Segments()) {
      EXPECT_NEAR(SegmentLoudness(segment), meter.IntegratedLoudness(), c.toleranceLu) << c.name;
    }
  }
}

// Material below -70 LUFS, such as dither alone, is never loud, however
// steady it is; just above the gate it still teaches a curve.
TEST(LearnAccumulatorTest, NothingAtOrBelowTheAbsoluteGateIsLearned) {
  const auto learnPinkNoiseAt = [](double lufs, LearnedCurve& curve, std::string& error) {
    std::vector<float> left = test_support::PinkNoise(21, static_cast<std::size_t>(5 * kRate));
    std::vector<float> right = test_support::PinkNoise(22, left.size());
    LoudnessMeter meter;
    meter.Configure(kRate);
    const float* channels[] = {left.data(), right.data()};
    meter.Process(channels, 2, static_cast<int>(left.size()));
    const double gain = std::pow(10.0, (lufs - meter.IntegratedLoudness()) / 20.0);
    left = test_support::Scaled(left, gain);
    right = test_support::Scaled(right, gain);
    SpectrumAnalysis analysis;
    analysis.Configure(kRate);
    LearnAccumulator accumulator;
    analysis.SetFrameObserver(accumulator.Observer());
    analysis.Feed(left.data(), right.data(), static_cast<int>(left.size()));
    EXPECT_GT(accumulator.TotalSeconds(), 4.0) << "not silence to the analyser";
    return accumulator.Finish(kReferenceFileMinimumSeconds, curve, error);
  };
  for (const double lufs : {-90.0, -72.0}) {
    LearnedCurve curve;
    std::string error;
    EXPECT_FALSE(learnPinkNoiseAt(lufs, curve, error)) << lufs;
    EXPECT_EQ(error, "there was nothing loud enough to learn from") << lufs;
  }
  LearnedCurve curve;
  std::string error;
  EXPECT_TRUE(learnPinkNoiseAt(-68.0, curve, error)) << error;
  EXPECT_NEAR(curve.loudSeconds, 4.9, 0.2);
}

// Curves whose top was cut by a low-pass: above the last point that carries
// the programme, the level of that point is held.
TEST(PowersToCurveTest, HoldsTheLevelWhereTheProgrammeEnds) {
  // Music-like: flat to 2 kHz, then falling 4 dB per octave.
  const auto music = [](std::size_t i) { return -4.0 * std::max(0.0, std::log2(GridFrequency(i) / 2000.0)); };
  const auto index = [](double hz) {
    std::size_t i = 0;
    while (i + 1 < kGridPoints && GridFrequency(i + 1) <= hz) ++i;
    return i;
  };
  struct Case {
    const char* name;
    std::function<double(std::size_t)> levelDb;  // -1000: no power
    std::size_t held;                            // first point of the held part, or kGridPoints
  };
  const std::size_t cut = index(10000.0);
  const Case cases[] = {
      {"full band", music, kGridPoints},
      // An encoder's cut-off: three points down its slope, then its remains.
      {"cut at 10 kHz", [&](std::size_t i) { return i <= cut ? music(i) : i <= cut + 3 ? music(i) - 8.0 * double(i - cut) : -75.0; },
       cut + 1},
      // Half the sample rate of 22.05 kHz: no power above 10.4 kHz.
      {"nothing above 10.4 kHz", [&](std::size_t i) { return GridFrequency(i) < 10500.0 ? music(i) : -1000.0; },
       index(10500.0) + 1},
      // Programme that leaves the 30 dB range gently (flat to 4 kHz, then
      // falling 15 dB per octave) is held where it leaves it.
      {"dark top", [&](std::size_t i) { return -15.0 * std::max(0.0, std::log2(GridFrequency(i) / 4000.0)); },
       index(16000.0) + 1},
  };
  for (const Case& c : cases) {
    GridCurve powers{};
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double db = c.levelDb(i);
      powers[i] = db <= -1000.0 ? 0.0 : std::pow(10.0, db / 10.0);
    }
    const auto curve = PowersToCurve(powers);
    ASSERT_TRUE(curve) << c.name;
    const GridCurve& levels = *curve;
    // The shape below the hold is the measured one.
    const double shift = levels[0] - c.levelDb(0);
    for (std::size_t i = 0; i < std::min(c.held, kGridPoints); ++i) {
      ASSERT_NEAR(levels[i], c.levelDb(i) + shift, 1e-9) << c.name << ", point " << i;
    }
    for (std::size_t i = c.held; i < kGridPoints; ++i) {
      ASSERT_EQ(levels[i], levels[c.held - 1]) << c.name << ", point " << i;
    }
  }
}

}  // namespace
}  // namespace ombrix::dsp
