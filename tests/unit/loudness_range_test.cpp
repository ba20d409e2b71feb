// Momentary loudness, its maximum, the loudness range and the peak-to-loudness
// ratio, on the sine programmes of EBU Tech 3341 and Tech 3342 that can be
// synthesised (1 kHz on both channels; a peak of X dBFS reads X LUFS).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dsp/loudness_meter.h"
#include "dsp/loudness_reading.h"
#include "support/meter_signals.h"

namespace ombrix::dsp {
namespace {

using test::DbToGain;
using test::LevelStep;
using test::Samples;

constexpr double kRate = 48000.0;

struct Step {
  double seconds;
  double dbfs;
};

Samples Programme(const std::vector<Step>& steps, double frequency = 1000.0) {
  std::vector<LevelStep> levels;
  for (const Step& s : steps) levels.push_back({s.seconds, s.dbfs <= -150.0 ? 0.0 : DbToGain(s.dbfs)});
  return test::SineSteps(kRate, frequency, levels);
}

// Feeds both channels in host-sized pieces; `afterBlock` runs at every
// finished 100 ms block.
template <typename AfterBlock>
void Feed(LoudnessMeter& meter, const Samples& samples, AfterBlock afterBlock) {
  constexpr std::size_t kPiece = 480;
  for (std::size_t start = 0; start < samples.size(); start += kPiece) {
    const double* channels[2] = {samples.data() + start, samples.data() + start};
    const int frames = static_cast<int>(std::min(kPiece, samples.size() - start));
    if (meter.Process(channels, 2, frames) > 0) afterBlock(start + static_cast<std::size_t>(frames));
  }
}

void Feed(LoudnessMeter& meter, const Samples& samples) {
  Feed(meter, samples, [](std::size_t) {});
}

TEST(LoudnessRange, TwoLevelAndFiveStepProgrammesOfTech3342) {
  const struct {
    const char* name;
    std::vector<Step> steps;
    double range;
  } cases[] = {
      {"case 1", {{20, -20}, {20, -30}}, 10.0},
      {"case 2", {{20, -20}, {20, -15}}, 5.0},
      {"case 3", {{20, -40}, {20, -20}}, 20.0},
      {"case 4", {{20, -50}, {20, -35}, {20, -20}, {20, -35}, {20, -50}}, 15.0},
  };
  for (const auto& c : cases) {
    LoudnessMeter meter;
    meter.Configure(kRate);
    Feed(meter, Programme(c.steps));
    EXPECT_NEAR(meter.LoudnessRange(), c.range, 1.0) << c.name;
  }
}

// Steady material has no range; the first value needs a short-term window of
// blocks that all began after the reset.
TEST(LoudnessRange, SteadyToneHasNoRangeAndTheFirstValueComesAfterThreeSeconds) {
  LoudnessMeter meter;
  int blocks = 0;
  int firstRangeBlock = 0;
  Feed(meter, Programme({{10, -23}}), [&](std::size_t) {
    ++blocks;
    if (firstRangeBlock == 0 && meter.LoudnessRange() > kNothingMeasured) firstRangeBlock = blocks;
  });
  EXPECT_EQ(firstRangeBlock, 30);
  EXPECT_NEAR(meter.LoudnessRange(), 0.0, 0.05);
}

// Below the absolute gate nothing counts, and the relative gate keeps a long
// quiet passage 20 LU under the rest out of the range.
TEST(LoudnessRange, GatesKeepSilenceAndVeryQuietPassagesOut) {
  const struct {
    const char* name;
    std::vector<Step> steps;
    double range;
  } cases[] = {
      {"silence between", {{20, -20}, {30, -200}, {20, -30}}, 10.0},
      {"below the absolute gate", {{20, -20}, {30, -75}, {20, -30}}, 10.0},
      {"25 LU under the mean", {{20, -20}, {30, -48}, {20, -30}}, 10.0},
  };
  for (const auto& c : cases) {
    LoudnessMeter meter;
    Feed(meter, Programme(c.steps));
    EXPECT_NEAR(meter.LoudnessRange(), c.range, 1.0) << c.name;
  }
}

// EBU Tech 3341 cases 1 to 5, read as the momentary meter sees them: the
// momentary value of the steady end and the loudest momentary value.
TEST(MomentaryLoudness, SteadyTonesAndLevelStepsOfTech3341) {
  const struct {
    const char* name;
    std::vector<Step> steps;
    double momentaryAtEnd, maxMomentary;
  } cases[] = {
      {"case 1", {{20, -23}}, -23.0, -23.0},
      {"case 2", {{20, -33}}, -33.0, -33.0},
      {"case 3", {{10, -36}, {60, -23}, {10, -36}}, -36.0, -23.0},
      {"case 4", {{10, -72}, {10, -36}, {60, -23}, {10, -36}, {10, -72}}, -72.0, -23.0},
      {"case 5", {{20, -26}, {20.1, -20}, {20, -26}}, -26.0, -20.0},
  };
  for (const auto& c : cases) {
    LoudnessMeter meter;
    Feed(meter, Programme(c.steps));
    EXPECT_NEAR(meter.MomentaryLoudness(), c.momentaryAtEnd, 0.1) << c.name;
    EXPECT_NEAR(meter.MaxMomentaryLoudness(), c.maxMomentary, 0.1) << c.name;
  }
}

// A steady -23 LUFS tone reads -23.0 at every 100 ms update once the 400 ms
// window is full, and a burst of half a second wherever it starts fills one
// whole window.
TEST(MomentaryLoudness, FollowsEveryHundredMillisecondsAndCatchesAHalfSecondBurst) {
  LoudnessMeter meter;
  int updates = 0;
  Feed(meter, Programme({{5, -23}}, 997.0), [&](std::size_t frames) {
    if (frames < 4800 * 4) return;
    ++updates;
    EXPECT_NEAR(meter.MomentaryLoudness(), -23.0, 0.1) << "after " << frames << " frames";
  });
  EXPECT_EQ(updates, 47);

  for (const double start : {2.0, 2.03, 2.07}) {
    LoudnessMeter burst;
    Feed(burst, Programme({{start, -40}, {0.5, -23}, {3, -40}}));
    EXPECT_NEAR(burst.MaxMomentaryLoudness(), -23.0, 0.1) << start;
  }
}

// Reset clears the maximum and the range like the integrated loudness: the
// loud passage before it no longer counts, the momentary value goes on.
TEST(MomentaryLoudness, ResetClearsMaximumAndRangeButNotTheCurrentValue) {
  LoudnessMeter meter;
  Feed(meter, Programme({{10, -10}, {10, -30}}));
  EXPECT_NEAR(meter.MaxMomentaryLoudness(), -10.0, 0.1);
  const double momentary = meter.MomentaryLoudness();
  meter.Reset();
  EXPECT_EQ(meter.MaxMomentaryLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.LoudnessRange(), kNothingMeasured);
  EXPECT_EQ(meter.MomentaryLoudness(), momentary);

  Feed(meter, Programme({{5, -30}}));
  EXPECT_NEAR(meter.MaxMomentaryLoudness(), -30.0, 0.1);
  EXPECT_NEAR(meter.LoudnessRange(), 0.0, 0.05);
}

TEST(MomentaryLoudness, SilenceReadsNothing) {
  LoudnessMeter meter;
  Feed(meter, Samples(48000 * 2, 0.0));
  EXPECT_EQ(meter.MomentaryLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.MaxMomentaryLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.LoudnessRange(), kNothingMeasured);
}

// Skipping silent blocks gives exactly the readings of processing them, from
// a block boundary and from inside a block, and after a reset in between.
TEST(LoudnessMeter, AdvancingOverSilentBlocksEqualsProcessingThem) {
  for (const std::size_t offset : {std::size_t{0}, std::size_t{1234}}) {
    for (const bool reset : {false, true}) {
      LoudnessMeter processed, advanced;
      // Music-like material, then 2 s of zeros so that the filters settle.
      Samples start = Programme({{12, -20}, {8, -31}, {3, -25}});
      start.resize(start.size() + 96000 + offset, 0.0);
      Feed(processed, start);
      Feed(advanced, start);
      if (reset) {
        processed.Reset();
        advanced.Reset();
      }
      const std::int64_t blocks = 1000;
      Feed(processed, Samples(static_cast<std::size_t>(blocks) * 4800 - offset, 0.0));
      advanced.AdvanceSilentBlocks(blocks);
      const std::string what = "offset " + std::to_string(offset) + (reset ? " after a reset" : "");
      EXPECT_EQ(advanced.ShortTermLoudness(), processed.ShortTermLoudness()) << what;
      EXPECT_EQ(advanced.MomentaryLoudness(), processed.MomentaryLoudness()) << what;
      EXPECT_EQ(advanced.MaxMomentaryLoudness(), processed.MaxMomentaryLoudness()) << what;
      EXPECT_EQ(advanced.IntegratedLoudness(), processed.IntegratedLoudness()) << what;
      EXPECT_EQ(advanced.LoudnessRange(), processed.LoudnessRange()) << what;
      EXPECT_EQ(advanced.BlocksSinceReset(), processed.BlocksSinceReset()) << what;

      // And both go on alike.
      const Samples more = Programme({{4, -18}});
      Feed(processed, more);
      Feed(advanced, more);
      EXPECT_EQ(advanced.ShortTermLoudness(), processed.ShortTermLoudness()) << what;
      EXPECT_EQ(advanced.IntegratedLoudness(), processed.IntegratedLoudness()) << what;
      EXPECT_EQ(advanced.LoudnessRange(), processed.LoudnessRange()) << what;
    }
  }
}

TEST(PeakToLoudnessRatio, IsTruePeakAboveIntegratedAndNothingWithoutEither) {
  EXPECT_DOUBLE_EQ(PeakToLoudnessRatio(-1.0, -14.0), 13.0);
  EXPECT_DOUBLE_EQ(PeakToLoudnessRatio(2.5, -8.0), 10.5);
  EXPECT_EQ(PeakToLoudnessRatio(kNothingMeasured, -14.0), kNothingMeasured);
  EXPECT_EQ(PeakToLoudnessRatio(-1.0, kNothingMeasured), kNothingMeasured);
}

}  // namespace
}  // namespace ombrix::dsp
