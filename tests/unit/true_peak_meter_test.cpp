#include "dsp/true_peak_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/meter_signals.h"

namespace ombrix::dsp {
namespace {

using test::FramesFor;
using test::Samples;

constexpr double kPi = 3.14159265358979323846;
// The meter interpolates in single precision.
constexpr double kFloatDb = 1e-5;

void Feed(TruePeakMeter& meter, const Samples& samples, int channels = 1) {
  const double* pointers[2] = {samples.data(), samples.data()};
  meter.Process(pointers, channels, static_cast<int>(samples.size()));
}

// Full scale at fs/4 with samples at +-0.7071: the crests fall half-way
// between samples.
Samples QuarterRateSine(std::size_t frames) { return test::Sine(48000.0, 12000.0, 1.0, frames, kPi / 4.0); }

TEST(TruePeakMeter, PhasesHaveUnitDcGainAndTheKnownShape) {
  const auto& c = TruePeakMeter::DesignCoefficients();
  const double phase1[16] = {-0.000489, 0.002793, -0.008797, 0.021452, -0.045393, 0.090123, -0.187751, 0.628063,
                             0.628063,  -0.187751, 0.090123, -0.045393, 0.021452, -0.008797, 0.002793, -0.000489};
  for (int t = 0; t < 16; ++t) {
    EXPECT_NEAR(c[1][t], phase1[t], 5e-7) << t;
    EXPECT_NEAR(c[2][t], c[0][15 - t], 1e-15) << t;       // phase 2 is phase 0 reversed
    EXPECT_EQ(c[3][t], t == 7 ? 1.0 : 0.0) << t;           // phase 3 is the delay of 7 samples
  }
  for (int k = 0; k < 4; ++k) {
    double sum = 0.0;
    for (double tap : c[k]) sum += tap;
    EXPECT_NEAR(sum, 1.0, 1e-15) << k;
  }
  EXPECT_EQ(TruePeakMeter().PhaseCoefficients(), c);
}

TEST(TruePeakMeter, QuarterRateSineAt45DegreesReadsZeroDbtp) {
  const Samples sine = QuarterRateSine(4800 * 2);
  double samplePeak = 0.0;
  for (double v : sine) samplePeak = std::max(samplePeak, std::fabs(v));
  EXPECT_NEAR(20.0 * std::log10(samplePeak), -3.01, 0.005);
  TruePeakMeter meter;
  Feed(meter, sine, 2);
  EXPECT_NEAR(meter.SinceResetPeakDb(), 0.0, 0.01);
  EXPECT_NEAR(meter.RecentPeakDb(), 0.0, 0.01);
}

// Every phase has unit DC gain, so a constant reads exactly its level.
TEST(TruePeakMeter, ConstantReadsItsOwnLevel) {
  TruePeakMeter meter;
  Feed(meter, Samples(4800, 0.5), 2);
  EXPECT_NEAR(meter.SinceResetPeakDb(), 20.0 * std::log10(0.5), kFloatDb);
  EXPECT_NEAR(meter.RecentPeakDb(), 20.0 * std::log10(0.5), kFloatDb);
}

TEST(TruePeakMeter, SilenceReadsNothing) {
  TruePeakMeter meter;
  Feed(meter, Samples(48000, 0.0), 2);
  EXPECT_EQ(meter.RecentPeak(), 0.0);
  EXPECT_EQ(meter.SinceResetPeak(), 0.0);
  EXPECT_EQ(meter.RecentPeakDb(), kNothingMeasured);
  EXPECT_EQ(meter.SinceResetPeakDb(), kNothingMeasured);
  EXPECT_EQ(LinearPeakToDb(1e-9), kNothingMeasured);
  EXPECT_EQ(LinearPeakToDb(std::numeric_limits<double>::quiet_NaN()), kNothingMeasured);
  EXPECT_DOUBLE_EQ(LinearPeakToDb(1.0), 0.0);
}

// For 16 samples after Configure (warm-up) no interpolation happens at all;
// for 16 samples after Reset (hold-off) only sample peaks reach the
// since-reset value. From the 17th sample on the crests between samples count.
TEST(TruePeakMeter, WarmUpAndHoldOffTakeSamplePeaksOnlyFor16Samples) {
  const Samples sine = QuarterRateSine(64);
  const double samplePeak = std::fabs(sine[0]);
  for (bool afterReset : {false, true}) {
    TruePeakMeter meter;
    if (afterReset) {
      Feed(meter, Samples(4000, 0.0));
      meter.Reset();
    }
    for (int n = 0; n < 16; ++n) {
      Feed(meter, Samples{sine[static_cast<std::size_t>(n)]});
      EXPECT_NEAR(meter.SinceResetPeak(), samplePeak, 1e-7) << n;
    }
    Feed(meter, Samples(sine.begin() + 16, sine.end()));
    EXPECT_NEAR(meter.SinceResetPeakDb(), 0.0, 0.01) << afterReset;
  }
}

// A loud sample just before a reset stays in the history, yet its
// interpolated echoes do not reach the since-reset value; a loud sample after
// the reset counts at once with its own magnitude.
TEST(TruePeakMeter, ResetForgetsThePastButNotTheRecentPeak) {
  TruePeakMeter meter;
  Feed(meter, Samples(4000, 0.0));
  Feed(meter, Samples{0.9});
  meter.Reset();
  Feed(meter, Samples(3, 0.0));
  EXPECT_EQ(meter.SinceResetPeak(), 0.0);
  Feed(meter, Samples{-0.3});
  EXPECT_NEAR(meter.SinceResetPeak(), 0.3, 1e-7);
  Feed(meter, Samples(40, 0.0));  // past the 0.9's echoes and the hold-off
  EXPECT_NEAR(meter.SinceResetPeak(), 0.3, 1e-7);
  Feed(meter, Samples(800, 0.0));  // completes the first 100 ms block
  EXPECT_NEAR(meter.RecentPeak(), 0.9, 1e-7);
}

// The recent value covers the last 30 completed 100 ms blocks: it rises when
// the block holding a peak completes and falls 30 blocks later, not earlier.
TEST(TruePeakMeter, RecentPeakDropsThreeSecondsAfterThePeak) {
  for (double rate : {48000.0, 44100.0, 22050.0}) {
    TruePeakMeter meter;
    meter.Configure(rate);
    const std::size_t block = static_cast<std::size_t>(meter.BlockLength());
    EXPECT_EQ(block, FramesFor(rate, 0.1));
    Samples first(block, 0.0);
    first[block / 2] = 0.8;
    Feed(meter, Samples(first.begin(), first.begin() + static_cast<long>(block) - 1));
    EXPECT_EQ(meter.RecentPeak(), 0.0) << rate;  // the block in progress is not included
    Feed(meter, Samples{0.0});
    EXPECT_NEAR(meter.RecentPeak(), 0.8, 1e-7) << rate;
    const Samples silence(block, 0.0);
    for (int b = 1; b < 30; ++b) {
      Feed(meter, silence);
      EXPECT_NEAR(meter.RecentPeak(), 0.8, 1e-7) << rate << " after block " << b;
    }
    Feed(meter, Samples(silence.begin(), silence.end() - 1));
    EXPECT_NEAR(meter.RecentPeak(), 0.8, 1e-7) << rate;
    Feed(meter, Samples{0.0});
    EXPECT_EQ(meter.RecentPeak(), 0.0) << rate;
    EXPECT_NEAR(meter.SinceResetPeak(), 0.8, 1e-7) << rate;
  }
}

// The result does not depend on how the host cuts the stream, float buffers
// read like double ones, and identical channels read like one.
TEST(TruePeakMeter, PiecesChannelsAndFloatInputGiveTheSameReadings) {
  Samples noise = test::PinkNoise(FramesFor(48000.0, 1.05), 0.2, 11u);
  TruePeakMeter whole;
  Feed(whole, noise, 2);
  ASSERT_GT(whole.RecentPeak(), 0.0);
  const std::vector<float> asFloat(noise.begin(), noise.end());
  const Samples roundTrip(asFloat.begin(), asFloat.end());
  TruePeakMeter wholeRoundTrip;
  Feed(wholeRoundTrip, roundTrip, 1);
  for (int piece : {1, 7, 64, 255, 256, 257, 1000, 4800, 6000}) {
    TruePeakMeter pieces, floats;
    for (std::size_t start = 0; start < noise.size(); start += static_cast<std::size_t>(piece)) {
      const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(piece), noise.size() - start));
      const double* d[2] = {noise.data() + start, noise.data() + start};
      const float* f[1] = {asFloat.data() + start};
      pieces.Process(d, 2, n);
      floats.Process(f, 1, n);
    }
    EXPECT_EQ(pieces.RecentPeak(), whole.RecentPeak()) << piece;
    EXPECT_EQ(pieces.SinceResetPeak(), whole.SinceResetPeak()) << piece;
    EXPECT_EQ(floats.RecentPeak(), wholeRoundTrip.RecentPeak()) << piece;
    EXPECT_EQ(floats.SinceResetPeak(), wholeRoundTrip.SinceResetPeak()) << piece;
  }
}

// Each channel is measured, the louder one sets the reading.
TEST(TruePeakMeter, TheLouderOfTwoChannelsCounts) {
  const Samples quiet(4800, 0.25);
  const Samples loud = QuarterRateSine(4800);
  for (int loudChannel : {0, 1}) {
    TruePeakMeter meter;
    const double* pointers[2] = {loudChannel == 0 ? loud.data() : quiet.data(), loudChannel == 1 ? loud.data() : quiet.data()};
    meter.Process(pointers, 2, 4800);
    EXPECT_NEAR(meter.RecentPeakDb(), 0.0, 0.01) << loudChannel;
  }
}

TEST(TruePeakMeter, NothingHappensWithoutInput) {
  TruePeakMeter meter;
  const Samples samples(100, 0.5);
  const double* pointers[2] = {samples.data(), nullptr};
  meter.Process(static_cast<const double* const*>(nullptr), 1, 100);
  meter.Process(pointers, 1, 0);
  meter.Process(pointers, 1, -3);
  meter.Process(pointers, 0, 100);
  meter.Process(pointers, 2, 100);  // null second channel
  EXPECT_EQ(meter.SinceResetPeak(), 0.0);
}

// NaN, infinities and values beyond the single-precision range read as
// silence, other absurd values are clamped to 1e30: the meter never holds a
// non-finite value.
TEST(TruePeakMeter, NonFiniteInputDoesNotPoisonTheMeter) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  Samples withZero(4800, 0.5);
  withZero[2000] = 0.0;
  TruePeakMeter reference;
  Feed(reference, withZero, 2);
  for (double bad : {nan, inf, -inf, 1e300}) {
    TruePeakMeter meter;
    Samples constant(4800, 0.5);
    constant[2000] = bad;
    Feed(meter, constant, 2);
    EXPECT_EQ(meter.SinceResetPeak(), reference.SinceResetPeak()) << bad;
    EXPECT_EQ(meter.RecentPeak(), reference.RecentPeak()) << bad;
  }
  TruePeakMeter meter;
  Samples constant(4800, 0.5);
  constant[2000] = -1e35;
  Feed(meter, constant, 2);
  EXPECT_TRUE(std::isfinite(meter.SinceResetPeak()));
  EXPECT_GE(meter.SinceResetPeak(), 1e30 * (1.0 - 1e-6));
  meter.Reset();
  Feed(meter, Samples(4800 * 31, 0.5), 2);
  EXPECT_NEAR(meter.SinceResetPeakDb(), 20.0 * std::log10(0.5), kFloatDb);
  EXPECT_NEAR(meter.RecentPeakDb(), 20.0 * std::log10(0.5), kFloatDb);
}

}  // namespace
}  // namespace ombrix::dsp
