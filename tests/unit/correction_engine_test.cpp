// The deviation fit, the readouts and the correction engine: pure-function
// edge cases, then the engine in a closed loop with real signals.
#include "dsp/correction_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

#include "core/correction_settings.h"
#include "core/eq_design.h"
#include "core/frequency_grid.h"
#include "dsp/grid_curves.h"
#include "support/correction_fixtures.h"

// Counts heap allocations made on a thread while it is inside a
// CountAllocations scope, to show the engine's real-time paths allocate nothing.
namespace {
std::atomic<long> gAllocations{0};
thread_local bool tCounting = false;

void* CountedAllocate(std::size_t size, std::size_t alignment = 0) {
  if (tCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
#ifdef _WIN32
  // Windows' C runtime has no aligned_alloc; its aligned blocks need _aligned_free.
  void* p = alignment == 0 ? std::malloc(size) : _aligned_malloc(size, alignment);
#else
  void* p = alignment == 0 ? std::malloc(size)
                           : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void FreeAligned(void* p) {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}

struct CountAllocations {
  CountAllocations() {
    gAllocations = 0;
    tCounting = true;
  }
  ~CountAllocations() { tCounting = false; }
  long Count() const { return gAllocations.load(); }
};
}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t size, std::align_val_t a) { return CountedAllocate(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
  return CountedAllocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }

namespace ombrix::dsp {
namespace {

using test_support::CorrectionLoop;
using test_support::ShapedNoise;
using test_support::SignalShape;
using test_support::TiltedTarget;

constexpr double kRate = 48000.0;
constexpr int kHop = 2048;
const BandValues kFullWeight{1.0, 1.0, 1.0, 1.0};
const Crossovers kDefaultCrossovers{};

ValidFlags AllValid() {
  ValidFlags valid;
  valid.fill(true);
  return valid;
}

// tilt * x + offset of the point's band, on every grid point.
GridCurve LineWithOffsets(double tilt, const BandValues& offsets) {
  return TiltedTarget(tilt, offsets, kDefaultCrossovers);
}

// ---------------------------------------------------------------- BandActivity

TEST(BandActivity, FallsFromTenToTwentyDbBelowTheHeldLevel) {
  struct Case {
    double level, held, weight;
  };
  const Case cases[] = {
      {-10.0, -10.0, 1.0},  // at its held level
      {-15.0, -5.0, 1.0},   // 10 dB below: still full
      {-20.0, -5.0, 0.5},   // 15 dB below
      {-30.0, -5.0, 0.0},   // 25 dB below
      {-300.0, -5.0, 1.0},  // no level: no evidence either way
      {-5.0, -300.0, 1.0},  // no held level yet
  };
  for (const Case& c : cases) {
    const BandValues w = BandActivity(BandValues{c.level, 0, 0, 0}, BandValues{c.held, 0, 0, 0});
    EXPECT_DOUBLE_EQ(w[0], c.weight) << "level " << c.level << " held " << c.held;
  }
}

// ---------------------------------------------------------------- FitDeviation

TEST(FitDeviation, StraightLineIsAllTiltWhateverItsLevel) {
  for (double level : {0.0, 7.5}) {
    const DeviationFit fit =
        FitDeviation(AllValid(), LineWithOffsets(1.0, {level, level, level, level}), kDefaultCrossovers, kFullWeight);
    EXPECT_NEAR(fit.tilt, 1.0, 1e-9);
    for (std::size_t b = 0; b < kBandCount; ++b) {
      EXPECT_NEAR(fit.band[b], 0.0, 1e-9) << b;
      EXPECT_DOUBLE_EQ(fit.weight[b], 1.0) << b;
    }
  }
}

TEST(FitDeviation, BandOffsetsComeOutRelativeToEachOther) {
  const BandValues offsets{3.0, -1.0, 0.0, 2.0};
  const DeviationFit fit = FitDeviation(AllValid(), LineWithOffsets(0.5, offsets), kDefaultCrossovers, kFullWeight);
  EXPECT_NEAR(fit.tilt, 0.5, 1e-9);
  for (std::size_t b = 1; b < kBandCount; ++b) {
    EXPECT_NEAR(fit.band[b] - fit.band[0], offsets[b] - offsets[0], 1e-9) << b;
  }
  // The common offset is a robust mean of the four levels, so it lies among them.
  EXPECT_GT(fit.band[0], 0.0);
  EXPECT_LT(fit.band[1], 0.0);
}

TEST(FitDeviation, OneBandWithAnOddSlopeHardlyMovesTheTilt) {
  GridCurve d = LineWithOffsets(1.0, {0, 0, 0, 0});
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (BandOf(GridFrequency(i), kDefaultCrossovers) == 2) d[i] = 4.0 * OctavePosition(i);
  }
  const DeviationFit fit = FitDeviation(AllValid(), d, kDefaultCrossovers, kFullWeight);
  // A plain mean of the four slopes would be 1.75.
  EXPECT_NEAR(fit.tilt, 1.0, 0.05);
}

TEST(FitDeviation, BandsFarBelowTheOthersLoseWeightAndStopPullingTheOffset) {
  struct Case {
    double tilt;
    double lowOffset;
    double weight;
  };
  const Case cases[] = {
      {0.0, -10.0, 1.0},
      {0.0, -20.0, 0.5},
      {0.0, -30.0, 0.0},
      // A falling tilt lifts the Low band's raw mean to within 17 dB of the
      // loudest band, but once the tilt is taken out it lies 22 dB down.
      {-2.0, -22.0, 0.3},
  };
  for (const Case& c : cases) {
    const DeviationFit fit =
        FitDeviation(AllValid(), LineWithOffsets(c.tilt, {c.lowOffset, 0, 0, 0}), kDefaultCrossovers, kFullWeight);
    EXPECT_NEAR(fit.tilt, c.tilt, 1e-9);
    EXPECT_NEAR(fit.weight[0], c.weight, 0.02) << c.lowOffset;
    for (std::size_t b = 1; b < kBandCount; ++b) EXPECT_DOUBLE_EQ(fit.weight[b], 1.0);
    if (c.weight == 0.0) {
      for (std::size_t b = 1; b < kBandCount; ++b) EXPECT_NEAR(fit.band[b], 0.0, 1e-9) << b;
      EXPECT_NEAR(fit.band[0], c.lowOffset, 1e-9);
    }
  }
}

TEST(FitDeviation, WeightInCapsEachBandAndNonFiniteCountsAsNone) {
  const BandValues weightIn{1.0, 0.0, std::numeric_limits<double>::quiet_NaN(), 0.3};
  // Lo-Mid is 10 dB off; with no weight it must not drag the others.
  const DeviationFit fit = FitDeviation(AllValid(), LineWithOffsets(0.0, {0, 10, 0, 0}), kDefaultCrossovers, weightIn);
  EXPECT_DOUBLE_EQ(fit.weight[0], 1.0);
  EXPECT_DOUBLE_EQ(fit.weight[1], 0.0);
  EXPECT_DOUBLE_EQ(fit.weight[2], 0.0);
  EXPECT_DOUBLE_EQ(fit.weight[3], 0.3);
  EXPECT_NEAR(fit.band[0], 0.0, 1e-9);
  EXPECT_NEAR(fit.band[1], 10.0, 1e-9);
}

TEST(FitDeviation, BandWithFewerThanFourFitPointsHasALevelButNoSlope) {
  // The Low band keeps only a few of its points; the others follow 1 dB/oct.
  const auto keepLow = [](double maxFitPoints) {
    ValidFlags valid = AllValid();
    int fitPoints = 0;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double f = GridFrequency(i);
      if (f >= 200.0 || f < 40.0) continue;
      if (f >= 50.0) valid[i] = fitPoints++ < maxFitPoints;
    }
    return valid;
  };

  // Three fit points with a slope of their own (4 dB/oct more, pivoting at
  // 100 Hz so the band's level stays with the others): the tilt ignores them.
  GridCurve steep = LineWithOffsets(1.0, {0, 0, 0, 0});
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (GridFrequency(i) < 200.0) steep[i] += 4.0 * (OctavePosition(i) - std::log2(0.1));
  }
  const DeviationFit withThree = FitDeviation(keepLow(3), steep, kDefaultCrossovers, kFullWeight);
  EXPECT_NEAR(withThree.tilt, 1.0, 1e-9);
  const DeviationFit withFour = FitDeviation(keepLow(4), steep, kDefaultCrossovers, kFullWeight);
  EXPECT_GT(withFour.tilt, 1.0 + 1e-3);  // four points make a slope, which then counts

  // Points only between 40 and 50 Hz: no slope at all, but a level 2 dB up.
  const DeviationFit levelOnly =
      FitDeviation(keepLow(0), LineWithOffsets(1.0, {2, 0, 0, 0}), kDefaultCrossovers, kFullWeight);
  EXPECT_NEAR(levelOnly.tilt, 1.0, 1e-9);
  EXPECT_NEAR(levelOnly.band[0] - levelOnly.band[1], 2.0, 1e-9);
  EXPECT_DOUBLE_EQ(levelOnly.weight[0], 1.0);
}

TEST(FitDeviation, NonFinitePointsAreLeftOut) {
  const GridCurve clean = LineWithOffsets(0.7, {1, -2, 0, 0.5});
  GridCurve dirty = clean;
  ValidFlags without = AllValid();
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
  for (std::size_t i = 10; i < kGridPoints; i += 17) {
    dirty[i] = bad[i % 3];
    without[i] = false;
  }
  const DeviationFit expected = FitDeviation(without, clean, kDefaultCrossovers, kFullWeight);
  const DeviationFit fit = FitDeviation(AllValid(), dirty, kDefaultCrossovers, kFullWeight);
  EXPECT_DOUBLE_EQ(fit.tilt, expected.tilt);
  for (std::size_t b = 0; b < kBandCount; ++b) {
    EXPECT_DOUBLE_EQ(fit.band[b], expected.band[b]);
    EXPECT_DOUBLE_EQ(fit.weight[b], expected.weight[b]);
  }
}

TEST(FitDeviation, NoValidPointGivesNothingToTrust) {
  ValidFlags none{};
  const DeviationFit fit = FitDeviation(none, LineWithOffsets(1.0, {1, 2, 3, 4}), kDefaultCrossovers, kFullWeight);
  EXPECT_EQ(fit.tilt, 0.0);
  for (std::size_t b = 0; b < kBandCount; ++b) {
    EXPECT_EQ(fit.band[b], 0.0);
    EXPECT_EQ(fit.weight[b], 0.0);
  }
}

// Music measured against a target learned from a band-limited file before
// such targets were held: the target stops at -71.7 dB from 10.4 kHz up. The
// High band then lies far above the others and took all the weight, and its
// inner step became a tilt of about 60 dB/oct with offsets of hundreds of dB
// on the other bands, which the data never came near.
TEST(FitDeviation, ATargetCutOffInOneBandDoesNotBecomeATiltAcrossTheOthers) {
  const ValidFlags valid = ValidPointsAt(kRate);
  const Crossovers crossovers = SanitizeCrossovers(200.0, 2000.0, 6000.0);
  GridCurve musicPowers{};
  GridCurve target{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    const double music = -4.0 * std::max(0.0, std::log2(f / 2000.0));  // flat, then falling 4 dB/oct
    musicPowers[i] = std::pow(10.0, music / 10.0);
    target[i] = f < 10400.0 ? music : -71.7;
  }
  GridCurve deviation = LevelMatch(valid, musicPowers, target);
  double lowest = 1e300, highest = -1e300;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    deviation[i] -= target[i];
    if (valid[i] && InAnalysisRange(GridFrequency(i))) {
      lowest = std::min(lowest, deviation[i]);
      highest = std::max(highest, deviation[i]);
    }
  }
  ASSERT_GT(highest - lowest, 50.0);

  const DeviationFit fit = FitDeviation(valid, deviation, crossovers, kFullWeight);
  EXPECT_TRUE(fit.valid);
  EXPECT_FALSE(fit.tiltValid);  // only the High band keeps its weight
  EXPECT_EQ(fit.tilt, 0.0);
  for (std::size_t b = 0; b < kBandCount; ++b) EXPECT_LE(std::abs(fit.band[b]), highest - lowest) << b;
}

// Only two bands are trusted, and each rises 20 dB inside itself: the tilt
// they share (about 13 dB/oct) would put the Low band's offset near +50 dB,
// beyond anything in the data. Such a fit is not reported as numbers.
TEST(FitDeviation, AFitThatWouldLeaveTheRangeOfItsDataIsNotValid) {
  GridCurve deviation{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    const int band = BandOf(f, kDefaultCrossovers);
    const double lo = band == 2 ? kDefaultCrossovers.mid : kDefaultCrossovers.high;
    const double hi = band == 2 ? kDefaultCrossovers.high : 16000.0;
    deviation[i] = band >= 2 ? 20.0 * std::log2(f / lo) / std::log2(hi / lo) : 0.0;
  }
  const DeviationFit fit = FitDeviation(ValidPointsAt(kRate), deviation, kDefaultCrossovers, {0.0, 0.0, 1.0, 1.0});
  EXPECT_FALSE(fit.valid);
  EXPECT_FALSE(fit.tiltValid);
  EXPECT_EQ(fit.tilt, 0.0);
  for (std::size_t b = 0; b < kBandCount; ++b) EXPECT_EQ(fit.band[b], 0.0) << b;

  // Trusting all four bands, the flat ones hold the tilt down: a sound fit.
  EXPECT_TRUE(FitDeviation(ValidPointsAt(kRate), deviation, kDefaultCrossovers, kFullWeight).valid);
}

// ---------------------------------------------------------------- ComputeReadouts

TEST(ComputeReadouts, InvalidBeforeTheFirstFrameAndAfterASecondOfSilence) {
  SpectrumAnalysis analysis;
  analysis.Configure(kRate);
  const GridCurve target = LineWithOffsets(0.5, {0, 0, 0, 0});
  const auto expectInvalid = [&](const char* when) {
    const Readouts r = ComputeReadouts(analysis, target, kDefaultCrossovers, kFullWeight);
    EXPECT_FALSE(r.valid) << when;
    EXPECT_EQ(r.tilt, 0.0) << when;
    for (std::size_t b = 0; b < kBandCount; ++b) {
      EXPECT_EQ(r.band[b], 0.0) << when;
      EXPECT_EQ(r.weight[b], 1.0) << when;
    }
  };
  expectInvalid("before any frame");

  ShapedNoise noise(kRate, 3);
  noise.SetShape(SignalShape{});
  std::vector<float> left(48000), right(48000);
  noise.Generate(left.data(), right.data(), 48000);
  analysis.Feed(left.data(), right.data(), 48000);
  const Readouts loud = ComputeReadouts(analysis, target, kDefaultCrossovers, kFullWeight);
  EXPECT_TRUE(loud.valid);
  EXPECT_LT(loud.tilt, 0.0);  // pink noise against a target rising 0.5 dB/oct

  std::vector<float> silence(kHop, 0.0f);
  int frames = 0;
  while (analysis.SilenceSeconds() < 1.0 && frames++ < 100) analysis.Feed(silence.data(), silence.data(), kHop);
  expectInvalid("after a second of silence");
}

// ---------------------------------------------------------------- CorrectionEngine

// Feeds the source in 2048-frame chunks (one analysis frame per chunk once
// the ring is full) and calls perFrame(engine) after each chunk.
template <typename PerFrame>
void FeedFrames(CorrectionEngine& engine, ShapedNoise& source, double seconds, PerFrame&& perFrame) {
  std::vector<float> left(kHop), right(kHop);
  const int chunks = static_cast<int>(std::ceil(seconds * kRate / kHop));
  for (int c = 0; c < chunks; ++c) {
    source.Generate(left.data(), right.data(), kHop);
    engine.Feed(left.data(), right.data(), kHop);
    perFrame(engine);
  }
}

void FeedFrames(CorrectionEngine& engine, ShapedNoise& source, double seconds) {
  FeedFrames(engine, source, seconds, [](const CorrectionEngine&) {});
}

CorrectionSettings SettingsWith(double amount, double speed) {
  CorrectionSettings s;
  s.amount.fill(amount);
  s.speedSeconds = speed;
  return s;
}

// Pink noise against a target holding a known tilt and band offsets (the
// measured spectrum sits `tilt` dB/oct and `offsets` above the target), run
// through engine, correction filter and a second analyser for a minute.
struct DeviationCase {
  double tilt;
  BandValues offsets;
};

class EndToEnd : public ::testing::TestWithParam<DeviationCase> {};

TEST_P(EndToEnd, CorrectedOutputEndsCloseToTheTarget) {
  const DeviationCase c = GetParam();
  for (const double amount : {1.0, 0.5}) {
    CorrectionLoop loop(kRate);
    loop.SetSettings(SettingsWith(amount, 15.0));
    loop.SetTarget(TiltedTarget(-c.tilt, {-c.offsets[0], -c.offsets[1], -c.offsets[2], -c.offsets[3]}));
    ShapedNoise noise(kRate, 11);
    noise.SetShape(SignalShape{});
    loop.Run(noise, 60.0);
    const Readouts in = loop.InputReadouts();
    const Readouts out = loop.OutputReadouts();
    ASSERT_TRUE(in.valid);
    ASSERT_TRUE(out.valid);

    // The input shows the known deviation (offsets relative to their mean).
    const double meanOffset = (c.offsets[0] + c.offsets[1] + c.offsets[2] + c.offsets[3]) / 4.0;
    const double meanBand = (in.band[0] + in.band[1] + in.band[2] + in.band[3]) / 4.0;
    EXPECT_NEAR(in.tilt, c.tilt, 0.15);
    for (std::size_t b = 0; b < kBandCount; ++b) EXPECT_NEAR(in.band[b] - meanBand, c.offsets[b] - meanOffset, 0.5);

    // Stated tolerance: at full amount the output's tilt is within 0.2 dB/oct
    // of the target's and every band within 0.75 dB; at half amount about
    // half of the deviation is left.
    const double left = 1.0 - amount;
    EXPECT_NEAR(out.tilt, left * in.tilt, 0.2) << "amount " << amount;
    for (std::size_t b = 0; b < kBandCount; ++b) {
      EXPECT_NEAR(out.band[b], left * in.band[b], 0.75) << "amount " << amount << " band " << b;
      EXPECT_DOUBLE_EQ(out.weight[b], 1.0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KnownDeviations, EndToEnd,
                         ::testing::Values(DeviationCase{0.6, {1.0, -1.0, 0.0, 1.0}},
                                           DeviationCase{-0.5, {-1.0, 0.5, 1.0, -0.5}}));

class GlideSpeed : public ::testing::TestWithParam<double> {};

TEST_P(GlideSpeed, GainsCoverSixtyThreePercentOfAStepInAQuarterOfCorrectSpeed) {
  const double speed = GetParam();
  const double tau = std::max(0.25 * speed, 0.25);
  const double hop = kHop / kRate;
  CorrectionEngine engine;
  engine.Configure(kRate);
  engine.SetTargetLevels(TiltedTarget(-0.8, {0, 0, 0, 0}));
  ShapedNoise noise(kRate, 5);
  noise.SetShape(SignalShape{});
  engine.SetSettings(SettingsWith(0.0, speed));
  FeedFrames(engine, noise, 3.0);
  ASSERT_EQ(engine.CurrentGains(), CorrectionGains{});

  // The step: all amounts from 0 to 1. The five gains glide at one rate, so
  // any fixed linear combination of them glides the same way. Follow the one
  // that says most about the sound (the equaliser's rise from 60 Hz to
  // 12 kHz): single gains wander with the noise, as shelves of the tilt and
  // of the outer bands can stand in for each other, but their sum does not.
  std::array<double, kGainCount> rise{};
  for (std::size_t k = 0; k < kGainCount; ++k) {
    CorrectionGains unit{};
    unit[k] = 1.0;
    const EqDesign design = DesignEq(unit, kDefaultCrossovers, kRate);
    rise[k] = EqResponseDb(design, 12000.0, kRate) - EqResponseDb(design, 60.0, kRate);
  }
  const auto riseOf = [&](const CorrectionGains& g) {
    double sum = 0.0;
    for (std::size_t k = 0; k < kGainCount; ++k) sum += rise[k] * g[k];
    return sum;
  };
  engine.SetSettings(SettingsWith(1.0, speed));
  std::vector<double> current, target;
  FeedFrames(engine, noise, 2.5 * tau, [&](const CorrectionEngine& e) {
    current.push_back(riseOf(e.CurrentGains()));
    target.push_back(riseOf(e.TargetGains()));
  });
  double step = 0.0;
  for (double t : target) step += t / static_cast<double>(target.size());
  ASSERT_LT(step, -3.0);  // a clear cut of the highs is wanted

  const auto timeToCover = [&](double fraction) {
    for (std::size_t n = 0; n < current.size(); ++n) {
      if (current[n] / step >= fraction) return static_cast<double>(n + 1) * hop;
    }
    return 1e9;
  };
  const double tolerance = std::max(2.0 * hop, 0.08 * tau);
  EXPECT_NEAR(timeToCover(1.0 - std::exp(-1.0)), tau, tolerance) << "speed " << speed;
  // Exponential, not a ramp: 86.5 % after two time constants.
  EXPECT_NEAR(timeToCover(1.0 - std::exp(-2.0)), 2.0 * tau, 2.0 * tolerance) << "speed " << speed;
}

INSTANTIATE_TEST_SUITE_P(CorrectSpeed, GlideSpeed, ::testing::Values(2.0, 15.0, 60.0));

// Converges quickly on pink noise against a target that wants all five
// sections, then slows down to the default speed so that the gains no longer
// chase the noise of the 1-second average.
void Converge(CorrectionEngine& engine, ShapedNoise& noise) {
  engine.Configure(kRate);
  engine.SetSettings(SettingsWith(1.0, 2.0));
  engine.SetTargetLevels(TiltedTarget(-0.5, {-2.0, 0.5, 1.5, -1.5}));
  noise.SetShape(SignalShape{});
  FeedFrames(engine, noise, 8.0);
  engine.SetSettings(SettingsWith(1.0, 15.0));
  for (std::size_t k = 0; k < kGainCount; ++k) ASSERT_GT(std::fabs(engine.CurrentGains()[k]), 0.3) << k;
}

TEST(CorrectionEngine, QuietPassageDoesNotMoveTheGains) {
  struct Case {
    double levelDb;
    bool quiet;
  };
  for (const Case c : {Case{-30.0, true}, Case{0.0, false}}) {
    CorrectionEngine engine;
    ShapedNoise noise(kRate, 9);
    Converge(engine, noise);
    const CorrectionGains before = engine.CurrentGains();

    // A very different balance: darker by about 1 dB/oct, mids pushed.
    SignalShape other;
    other.eq = {-4.0, 0.0, 2.0, -2.0, 0.0};
    other.levelDb = c.levelDb;
    noise.SetShape(other);
    CorrectionGains lastTarget{};
    int quietFrames = 0;
    FeedFrames(engine, noise, 3.0, [&](const CorrectionEngine& e) {
      if (!e.LastFrameLoud()) {
        // While quiet the target stays exactly where the last loud frame put it.
        if (quietFrames++ > 0) {
          EXPECT_EQ(e.TargetGains(), lastTarget);
        }
      }
      lastTarget = e.TargetGains();
    });
    double moved = 0.0;
    for (std::size_t k = 0; k < kGainCount; ++k) {
      moved = std::max(moved, std::fabs(engine.CurrentGains()[k] - before[k]));
    }
    if (c.quiet) {
      EXPECT_GT(quietFrames, 60);
      // Only the last bit of the glide towards the held target (it differs
      // from the gains by the noise of the 1-second average).
      EXPECT_LT(moved, 0.25);
      for (std::size_t k = 0; k < kGainCount; ++k) {
        EXPECT_LE(std::fabs(engine.CurrentGains()[k] - before[k]), std::fabs(lastTarget[k] - before[k]) + 1e-12);
      }
    } else {
      EXPECT_EQ(quietFrames, 0);
      EXPECT_GT(moved, 1.0);
    }
  }
}

TEST(CorrectionEngine, SectionsOfBandsWithoutEnergyHold) {
  struct Case {
    const char* name;
    double highPassHz, lowPassHz;
    std::array<bool, kGainCount> held;  // tilt, Low, Lo-Mid, Hi-Mid, High
  };
  const Case cases[] = {
      {"nothing above 4 kHz", 0.0, 4000.0, {false, false, false, false, true}},
      // Only Lo-Mid left: a single band cannot carry a tilt.
      {"only 200 Hz to 2 kHz", 200.0, 2000.0, {true, true, false, true, true}},
  };
  for (const Case& c : cases) {
    CorrectionEngine engine;
    ShapedNoise noise(kRate, 21);
    Converge(engine, noise);
    SignalShape limited;
    limited.highPassHz = c.highPassHz;
    limited.lowPassHz = c.lowPassHz;
    noise.SetShape(limited);

    const CorrectionGains before = engine.CurrentGains();
    std::array<double, kGainCount> heldValue{};
    std::array<bool, kGainCount> seenHeld{};
    FeedFrames(engine, noise, 6.0, [&](const CorrectionEngine& e) {
      for (std::size_t k = 0; k < kGainCount; ++k) {
        if (!c.held[k]) continue;
        const bool off = k == kTiltGain ? !e.TiltValid() : e.BandSlewWeights()[k - 1] == 0.0;
        if (seenHeld[k]) {
          EXPECT_EQ(e.CurrentGains()[k], heldValue[k]) << c.name << " gain " << k;
        } else if (off) {
          seenHeld[k] = true;
          heldValue[k] = e.CurrentGains()[k];
        }
      }
    });
    for (std::size_t k = 0; k < kGainCount; ++k) {
      if (!c.held[k]) continue;
      EXPECT_TRUE(seenHeld[k]) << c.name << " gain " << k;
      // Held near where it was, not dropped to 0.
      EXPECT_NEAR(engine.CurrentGains()[k], before[k], 0.3) << c.name << " gain " << k;
    }
    // The bands that still have their energy keep their full weight.
    for (std::size_t b = 0; b < kBandCount; ++b) {
      if (!c.held[1 + b]) {
        EXPECT_GT(engine.BandSlewWeights()[b], 0.5) << c.name << " band " << b;
      }
    }
    if (c.held[kTiltGain]) {
      EXPECT_FALSE(engine.TiltValid()) << c.name;
    }
  }
}

TEST(CorrectionEngine, GateTakesFramesWithinTwentyDbOfAPeakThatFallsOneDbPerSecond) {
  CorrectionEngine engine;
  ShapedNoise noise(kRate, 4);
  Converge(engine, noise);
  const double hop = kHop / kRate;
  const double peak = 0.0;  // dB
  engine.FrameUpdate(std::pow(10.0, peak / 10.0), hop);
  ASSERT_TRUE(engine.LastFrameLoud());

  // A new target that a loud frame would act on at once.
  engine.SetTargetLevels(TiltedTarget(0.5, {1.0, 0.0, -1.0, 0.0}));
  const CorrectionGains heldTarget = engine.TargetGains();
  const CorrectionGains start = engine.CurrentGains();
  engine.FrameUpdate(std::pow(10.0, (peak - 21.0) / 10.0), hop);
  EXPECT_FALSE(engine.LastFrameLoud());
  EXPECT_EQ(engine.TargetGains(), heldTarget);
  // The glide goes on towards the held target.
  for (std::size_t k = 0; k < kGainCount; ++k) {
    EXPECT_LE(std::fabs(engine.CurrentGains()[k] - heldTarget[k]), std::fabs(start[k] - heldTarget[k]) + 1e-12);
  }

  // Frames at -21 dB stay out until the peak has fallen by 1 dB: one second.
  int quietFrames = 1;
  while (!engine.LastFrameLoud() && quietFrames < 100) {
    engine.FrameUpdate(std::pow(10.0, (peak - 21.0) / 10.0), hop);
    ++quietFrames;
  }
  EXPECT_NEAR(quietFrames * hop, 1.0, 1.5 * hop);
  EXPECT_NE(engine.TargetGains(), heldTarget);

  // -19 dB counts as loud straight away.
  CorrectionEngine fresh;
  ShapedNoise again(kRate, 4);
  Converge(fresh, again);
  fresh.FrameUpdate(1.0, hop);
  fresh.FrameUpdate(std::pow(10.0, -19.0 / 10.0), hop);
  EXPECT_TRUE(fresh.LastFrameLoud());
}

TEST(CorrectionEngine, ResetKeepsSettingsAndTargetAndSeedSetsBothGains) {
  CorrectionEngine engine;
  ShapedNoise noise(kRate, 8);
  Converge(engine, noise);
  const GridCurve target = engine.TargetLevels();
  engine.Reset();
  EXPECT_EQ(engine.CurrentGains(), CorrectionGains{});
  EXPECT_EQ(engine.TargetGains(), CorrectionGains{});
  EXPECT_EQ(engine.BandSlewWeights(), kFullWeight);
  EXPECT_TRUE(engine.TiltValid());
  EXPECT_EQ(engine.GatePeak(), CorrectionEngine::kGatePeakAfterReset);
  EXPECT_FALSE(engine.Analysis().Primed());
  EXPECT_EQ(engine.TargetLevels(), target);
  EXPECT_EQ(engine.Settings().amount[0], 1.0);

  const CorrectionGains seed{1.0, -2.0, 0.5, 0.0, 3.0};
  engine.SeedGains(seed);
  EXPECT_EQ(engine.CurrentGains(), seed);
  EXPECT_EQ(engine.TargetGains(), seed);
}

TEST(CorrectionEngine, NonFiniteInputsNeverReachTheGains) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    void (*poison)(CorrectionEngine&, double nan, double inf);
  };
  const Case cases[] = {
      {"samples",
       [](CorrectionEngine& e, double n, double i) {
         std::vector<float> left(3 * kHop, static_cast<float>(n)), right(3 * kHop, static_cast<float>(i));
         e.Feed(left.data(), right.data(), 3 * kHop);
       }},
      {"target levels",
       [](CorrectionEngine& e, double n, double i) {
         GridCurve t = TiltedTarget(0.3, {0, 0, 0, 0});
         t[20] = n;
         t[90] = i;
         t[150] = 1e308;
         e.SetTargetLevels(t);
       }},
      {"settings",
       [](CorrectionEngine& e, double n, double i) {
         CorrectionSettings s;
         s.amount = {n, i, -i, 0.5, n};
         s.speedSeconds = n;
         s.lowCrossover = n;
         s.midCrossover = i;
         s.highCrossover = -1.0;
         e.SetSettings(s);
       }},
      {"seed",
       [](CorrectionEngine& e, double n, double i) {
         e.SeedGains({n, i, -i, 1.0, n});
       }},
      {"frame",
       [](CorrectionEngine& e, double n, double i) {
         e.FrameUpdate(n, 0.04);
         e.FrameUpdate(1.0, n);
         e.FrameUpdate(i, i);
       }},
  };
  for (const Case& c : cases) {
    CorrectionEngine engine;
    ShapedNoise noise(kRate, 13);
    Converge(engine, noise);
    c.poison(engine, nan, inf);
    FeedFrames(engine, noise, 2.0);
    for (std::size_t k = 0; k < kGainCount; ++k) {
      EXPECT_TRUE(std::isfinite(engine.CurrentGains()[k])) << c.name << " " << k;
      EXPECT_TRUE(std::isfinite(engine.TargetGains()[k])) << c.name << " " << k;
    }
    for (double u : engine.BandSlewWeights()) EXPECT_TRUE(u >= 0.0 && u <= 1.0) << c.name;
    for (double level : engine.TargetLevels()) EXPECT_TRUE(std::isfinite(level)) << c.name;
    EXPECT_TRUE(engine.Analysis().Primed()) << c.name << ": the engine still analyses";
  }
}

TEST(CorrectionEngine, FeedingAndFrameUpdatesDoNotAllocate) {
  CorrectionEngine engine;
  engine.Configure(44100.0);
  ShapedNoise noise(kRate, 17);
  noise.SetShape(SignalShape{});
  std::vector<float> left(static_cast<std::size_t>(3 * kRate)), right(static_cast<std::size_t>(3 * kRate));
  noise.Generate(left.data(), right.data(), static_cast<int>(left.size()));
  const GridCurve target = TiltedTarget(-0.5, {1, 0, 0, -1});
  CorrectionSettings moved = SettingsWith(1.0, 2.0);
  moved.lowCrossover = 150.0;

  long allocations = 0;
  {
    CountAllocations count;
    engine.SetSettings(moved);  // new crossovers: the fit basis is rebuilt in place
    engine.SetTargetLevels(target);
    for (std::size_t n = 0; n + 512 <= left.size(); n += 512) engine.Feed(&left[n], &right[n], 512);
    engine.FrameUpdate(1.0, kHop / 44100.0);
    engine.SeedGains({1.0, 0.0, 0.0, 0.0, -1.0});
    engine.Reset();
    allocations = count.Count();
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_TRUE(std::isfinite(engine.CurrentGains()[0]));

  // The counter does see allocations: constructing an engine makes its buffers.
  CountAllocations count;
  CorrectionEngine another;
  EXPECT_GT(count.Count(), 0);
}

}  // namespace
}  // namespace ombrix::dsp
