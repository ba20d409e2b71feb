#include "dsp/loudness_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/meter_signals.h"

namespace ombrix::dsp {
namespace {

using test::FramesFor;
using test::Samples;

// 997 Hz at peak 0.1 on both channels reads -20.0 LUFS: the K-weighting gain
// there is +0.691 dB, which the -0.691 offset cancels.
constexpr double kToneHz = 997.0;
constexpr double kToneAmplitude = 0.1;
constexpr double kToneLufs = -20.0;

// Feeds the same samples to `channels` channels in one call, returns the
// number of blocks completed.
int Feed(LoudnessMeter& meter, const Samples& samples, int channels = 2) {
  const double* pointers[2] = {samples.data(), samples.data()};
  return meter.Process(pointers, channels, static_cast<int>(samples.size()));
}

Samples Tone(double rate, double seconds, double amplitude = kToneAmplitude) {
  return test::Sine(rate, kToneHz, amplitude, FramesFor(rate, seconds));
}

TEST(LoudnessMeter, KWeightingAt48kHzEqualsTheTabulatedCoefficients) {
  LoudnessMeter meter;
  meter.Configure(48000.0);
  const auto& shelf = meter.PreFilter();
  const auto& highPass = meter.HighPass();
  struct Row {
    double actual, expected;
  };
  for (const Row& r : {Row{shelf.b0, 1.53512485958697}, Row{shelf.b1, -2.69169618940638}, Row{shelf.b2, 1.19839281085285},
                       Row{shelf.a1, -1.69065929318241}, Row{shelf.a2, 0.73248077421585}, Row{highPass.b0, 1.0},
                       Row{highPass.b1, -2.0}, Row{highPass.b2, 1.0}, Row{highPass.a1, -1.99004745483398},
                       Row{highPass.a2, 0.99007225036621}}) {
    EXPECT_NEAR(r.actual, r.expected, 1e-13);
  }
}

// The K-weighting follows from the analogue prototypes at every rate, so the
// reference tone reads -20.0 everywhere; away from 48 kHz the bilinear
// transform bends the response slightly (0.03 dB at 997 Hz for 22.05 kHz).
TEST(LoudnessMeter, ReferenceToneReadsMinus20LufsAtEveryRate) {
  struct Row {
    double rate, tolerance;
  };
  for (const Row& r : {Row{48000.0, 0.005}, Row{22050.0, 0.05}, Row{44100.0, 0.05}, Row{88200.0, 0.05},
                       Row{96000.0, 0.05}, Row{192000.0, 0.05}}) {
    LoudnessMeter meter;
    meter.Configure(r.rate);
    EXPECT_EQ(Feed(meter, Tone(r.rate, 4.0)), 40) << r.rate;
    EXPECT_NEAR(meter.ShortTermLoudness(), kToneLufs, r.tolerance) << r.rate;
    EXPECT_NEAR(meter.IntegratedLoudness(), kToneLufs, r.tolerance) << r.rate;
    EXPECT_DOUBLE_EQ(meter.IntegratedSeconds(), 4.0) << r.rate;
  }
}

TEST(LoudnessMeter, BlockLengthIsATenthOfTheRateRounded) {
  struct Row {
    double rate;
    int length;
  };
  for (const Row& r : {Row{48000.0, 4800}, Row{44100.0, 4410}, Row{22050.0, 2205}, Row{96000.0, 9600},
                       Row{11025.0, 1103}, Row{4.0, 1}, Row{0.0, 4800}, Row{-1.0, 4800},
                       Row{std::numeric_limits<double>::quiet_NaN(), 4800}}) {
    LoudnessMeter meter;
    meter.Configure(r.rate);
    EXPECT_EQ(meter.BlockLength(), r.length) << r.rate;
  }
  // A block completes exactly at its last sample.
  for (double rate : {44100.0, 22050.0}) {
    LoudnessMeter meter;
    meter.Configure(rate);
    const int length = meter.BlockLength();
    const Samples samples(static_cast<std::size_t>(length) - 1, 0.1);
    EXPECT_EQ(Feed(meter, samples), 0);
    EXPECT_EQ(Feed(meter, Samples(1, 0.1)), 1);
    EXPECT_EQ(Feed(meter, Samples(static_cast<std::size_t>(length) * 3, 0.1)), 3);
  }
}

// Short-term is the mean of the last 30 blocks, zeros before the first 3 s.
TEST(LoudnessMeter, ShortTermRisesOverTheFirstThreeSeconds) {
  LoudnessMeter meter;
  Feed(meter, Tone(48000.0, 1.5));
  EXPECT_NEAR(meter.ShortTermLoudness(), kToneLufs + 10.0 * std::log10(0.5), 0.01);
}

// The first gating block is the fourth 100 ms block after a reset; after a
// reset inside a block, the straddling block is left out and the first gating
// block is the fifth.
TEST(LoudnessMeter, FirstIntegratedValueAtTheFourthBlockOrFifthAfterAMidBlockReset) {
  struct Row {
    int framesBeforeReset;  // into the current block when Reset is called
    int firstIntegratedBlock;
  };
  for (const Row& r : {Row{0, 4}, Row{1, 5}, Row{2400, 5}, Row{4799, 5}}) {
    LoudnessMeter meter;
    const Samples block = Tone(48000.0, 0.1);
    Feed(meter, Tone(48000.0, 1.0));  // some history before the reset
    Feed(meter, Samples(block.begin(), block.begin() + r.framesBeforeReset));
    meter.Reset();
    EXPECT_EQ(meter.IntegratedLoudness(), kNothingMeasured);
    EXPECT_EQ(meter.BlocksSinceReset(), 0);
    const Samples rest(block.begin() + r.framesBeforeReset, block.end());
    int blocks = Feed(meter, rest);
    ASSERT_EQ(blocks, 1);
    while (meter.IntegratedLoudness() == kNothingMeasured && blocks < 10) blocks += Feed(meter, block);
    EXPECT_EQ(blocks, r.firstIntegratedBlock) << r.framesBeforeReset;
    EXPECT_EQ(meter.BlocksSinceReset(), 4) << r.framesBeforeReset;
    EXPECT_NEAR(meter.IntegratedLoudness(), kToneLufs, 0.01);
  }
}

TEST(LoudnessMeter, ResetKeepsShortTermAndClearsIntegrated) {
  LoudnessMeter meter;
  Feed(meter, Tone(48000.0, 3.0));
  const double shortTerm = meter.ShortTermLoudness();
  meter.Reset();
  EXPECT_EQ(meter.ShortTermLoudness(), shortTerm);
  EXPECT_EQ(meter.IntegratedLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.IntegratedSeconds(), 0.0);
  Feed(meter, Tone(48000.0, 0.1));
  EXPECT_NEAR(meter.ShortTermLoudness(), kToneLufs, 0.01);  // the ring was kept
  meter.Configure(48000.0);
  EXPECT_EQ(meter.ShortTermLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.IntegratedLoudness(), kNothingMeasured);
}

// Integrated loudness of `loudBlocks` blocks of the tone followed by a
// passage whose mean square is `quiet` times the tone's and that the gates
// exclude: the three gating blocks straddling the step hold 3/4, 2/4 and 1/4
// of the tone and still pass, so the mean square of the included blocks is
// (loudBlocks - 3 + 1.5 + 1.5 * quiet) / loudBlocks of the tone's.
double StepDownLufs(int loudBlocks, double quiet) {
  return kToneLufs + 10.0 * std::log10((loudBlocks - 1.5 + 1.5 * quiet) / loudBlocks);
}

// Loud tone for 10 s, then 10 s at `drop` LU below it. 15 LU down lies below
// the relative gate (about 13 LU under the loud part here); 5 LU down passes,
// and then every gating block counts: the mean of both levels.
TEST(LoudnessMeter, RelativeGateExcludesFifteenLuQuieterButIncludesFiveLuQuieter) {
  struct Row {
    double drop;
    double expected;
  };
  const double fiveLuMix = kToneLufs + 10.0 * std::log10((1.0 + std::pow(10.0, -0.5)) / 2.0);
  for (const Row& r : {Row{15.0, StepDownLufs(100, std::pow(10.0, -1.5))}, Row{5.0, fiveLuMix}}) {
    LoudnessMeter meter;
    Feed(meter, test::SineSteps(48000.0, kToneHz, {{10.0, kToneAmplitude}, {10.0, kToneAmplitude * test::DbToGain(-r.drop)}}));
    EXPECT_NEAR(meter.IntegratedLoudness(), r.expected, 0.005) << r.drop;
  }
}

TEST(LoudnessMeter, AbsoluteGateAndSilenceLeaveIntegratedAlone) {
  LoudnessMeter meter;
  const double minus75Lufs = test::DbToGain(-55.0);
  Feed(meter, test::SineSteps(48000.0, kToneHz, {{5.0, kToneAmplitude}, {5.0, kToneAmplitude * minus75Lufs}, {5.0, 0.0}}));
  EXPECT_NEAR(meter.IntegratedLoudness(), StepDownLufs(50, minus75Lufs * minus75Lufs), 0.005);
  EXPECT_DOUBLE_EQ(meter.IntegratedSeconds(), 15.0);
}

TEST(LoudnessMeter, DigitalSilenceReadsNothingButCountsTime) {
  LoudnessMeter meter;
  EXPECT_EQ(Feed(meter, Samples(FramesFor(48000.0, 5.0), 0.0)), 50);
  EXPECT_EQ(meter.ShortTermLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.IntegratedLoudness(), kNothingMeasured);
  EXPECT_EQ(meter.BlocksSinceReset(), 50);
  EXPECT_DOUBLE_EQ(meter.IntegratedSeconds(), 5.0);
}

// A single channel is measured once, not doubled.
TEST(LoudnessMeter, MonoReadsThreeLuBelowTheSameSignalOnTwoChannels) {
  const Samples tone = Tone(44100.0, 4.0);
  LoudnessMeter mono, stereo;
  mono.Configure(44100.0);
  stereo.Configure(44100.0);
  Feed(mono, tone, 1);
  Feed(stereo, tone, 2);
  const double threeLu = 10.0 * std::log10(2.0);
  EXPECT_NEAR(stereo.ShortTermLoudness() - mono.ShortTermLoudness(), threeLu, 1e-9);
  EXPECT_NEAR(stereo.IntegratedLoudness() - mono.IntegratedLoudness(), threeLu, 1e-9);
  // Channels beyond the second are ignored.
  LoudnessMeter many;
  many.Configure(44100.0);
  const double* pointers[3] = {tone.data(), tone.data(), tone.data()};
  many.Process(pointers, 3, static_cast<int>(tone.size()));
  EXPECT_EQ(many.ShortTermLoudness(), stereo.ShortTermLoudness());
}

// Above +10 LUFS everything shares the last bin, which still averages energy.
TEST(LoudnessMeter, LoudnessAboveTenLufsIsMeasuredNotClipped) {
  LoudnessMeter meter;
  Feed(meter, Tone(48000.0, 2.0, 100.0));  // +40 LUFS
  EXPECT_NEAR(meter.IntegratedLoudness(), 40.0, 0.01);
}

// Piece sizes do not matter, and float buffers read like double ones.
TEST(LoudnessMeter, PiecesAndFloatInputGiveTheSameReadings) {
  const Samples noise = test::PinkNoise(FramesFor(48000.0, 4.0), 0.1, 3u);
  LoudnessMeter whole;
  Feed(whole, noise);
  const std::vector<float> asFloat(noise.begin(), noise.end());
  for (int piece : {1, 63, 512, 4799, 4801}) {
    LoudnessMeter pieces, floats;
    for (std::size_t start = 0; start < noise.size(); start += static_cast<std::size_t>(piece)) {
      const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(piece), noise.size() - start));
      const double* d[2] = {noise.data() + start, noise.data() + start};
      const float* f[2] = {asFloat.data() + start, asFloat.data() + start};
      pieces.Process(d, 2, n);
      floats.Process(f, 2, n);
    }
    EXPECT_NEAR(pieces.IntegratedLoudness(), whole.IntegratedLoudness(), 1e-9) << piece;
    EXPECT_NEAR(pieces.ShortTermLoudness(), whole.ShortTermLoudness(), 1e-9) << piece;
    EXPECT_NEAR(floats.IntegratedLoudness(), whole.IntegratedLoudness(), 1e-5) << piece;
  }
}

TEST(LoudnessMeter, NothingHappensWithoutInput) {
  LoudnessMeter meter;
  const Samples samples(4800, 0.5);
  const double* pointers[2] = {samples.data(), nullptr};
  EXPECT_EQ(meter.Process(static_cast<const double* const*>(nullptr), 2, 100), 0);
  EXPECT_EQ(meter.Process(pointers, 1, 0), 0);
  EXPECT_EQ(meter.Process(pointers, 1, -5), 0);
  EXPECT_EQ(meter.Process(pointers, 0, 100), 0);
  EXPECT_EQ(meter.Process(pointers, 2, 100), 0);  // null second channel
  EXPECT_EQ(meter.Process(pointers, 1, 4700), 0);
  EXPECT_EQ(meter.Process(pointers, 1, 0), 0);
  EXPECT_EQ(meter.Process(pointers, 1, 100), 1);  // 4700 + 100 frames: one block, nothing lost
}

// NaN and infinite samples read as silence; the meter recovers at once.
TEST(LoudnessMeter, NonFiniteInputDoesNotPoisonTheMeter) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {nan, inf, -inf}) {
    LoudnessMeter meter;
    Samples tone = Tone(48000.0, 4.0);
    for (std::size_t n = 1000; n < tone.size(); n += 9973) tone[n] = bad;
    Feed(meter, tone);
    EXPECT_TRUE(std::isfinite(meter.ShortTermLoudness())) << bad;
    EXPECT_TRUE(std::isfinite(meter.IntegratedLoudness())) << bad;
    meter.Reset();
    Feed(meter, Tone(48000.0, 3.0));
    EXPECT_NEAR(meter.ShortTermLoudness(), kToneLufs, 0.01) << bad;
    EXPECT_NEAR(meter.IntegratedLoudness(), kToneLufs, 0.01) << bad;
  }
  // An absurd finite sample is clamped to 1e30: enormous, but finite.
  {
    LoudnessMeter meter;
    Samples tone = Tone(48000.0, 1.0);
    tone[100] = -1e300;
    Feed(meter, tone);
    EXPECT_TRUE(std::isfinite(meter.ShortTermLoudness()));
    EXPECT_TRUE(std::isfinite(meter.IntegratedLoudness()));
    EXPECT_GT(meter.IntegratedLoudness(), 100.0);
  }
  // A single NaN barely matters.
  LoudnessMeter meter;
  Samples tone = Tone(48000.0, 4.0);
  tone[12345] = nan;
  Feed(meter, tone);
  EXPECT_NEAR(meter.ShortTermLoudness(), kToneLufs, 0.01);
}

}  // namespace
}  // namespace ombrix::dsp
