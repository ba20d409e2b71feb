// The frequency grid, its band split, and the curve operations on it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/frequency_grid.h"
#include "dsp/grid_curves.h"

namespace ombrix::dsp {
namespace {

TEST(FrequencyGrid, PointsRunFrom20HzTo20kHzLogarithmically) {
  EXPECT_DOUBLE_EQ(GridFrequency(0), 20.0);
  EXPECT_NEAR(GridFrequency(179), 20000.0, 1e-9);
  for (std::size_t i = 1; i < kGridPoints; ++i) {
    EXPECT_NEAR(GridFrequency(i) / GridFrequency(i - 1), std::pow(1000.0, 1.0 / 179.0), 1e-12);
  }
  EXPECT_NEAR(OctavePosition(0), std::log2(0.02), 1e-12);
  EXPECT_NEAR(BandUpperEdge(100) / BandLowerEdge(100), std::pow(2.0, 1.0 / 6.0), 1e-12);
}

struct ValidityCase {
  double sampleRate;
  std::size_t validPoints;
  double highestValidHz;  // upper bound of the last valid point's frequency
};

class GridValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(GridValidity, PointsAreValidWhenTheirBandLiesBelowNyquist) {
  const ValidityCase c = GetParam();
  const ValidFlags valid = ValidPointsAt(c.sampleRate);
  std::size_t count = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    EXPECT_EQ(valid[i], BandUpperEdge(i) < c.sampleRate / 2.0) << i;
    EXPECT_EQ(valid[i], PointValidAt(i, c.sampleRate)) << i;
    if (valid[i]) {
      ++count;
      EXPECT_LE(GridFrequency(i), c.highestValidHz) << i;
    }
    if (i > 0 && valid[i]) {
      EXPECT_TRUE(valid[i - 1]) << "valid points form one run from the bottom";
    }
  }
  EXPECT_EQ(count, c.validPoints);
}

// At 44.1 kHz the top upper edge is about 21189 Hz, still below 22050 Hz. At
// 32 kHz every point above 15101.9 Hz is invalid.
INSTANTIATE_TEST_SUITE_P(Rates, GridValidity,
                         ::testing::Values(ValidityCase{48000.0, 180, 20000.0}, ValidityCase{44100.0, 180, 20000.0},
                                           ValidityCase{32000.0, 172, 15101.9}));

TEST(FrequencyGrid, At32kHzTheFirstInvalidPointIsAbove15101Hz) {
  std::size_t firstInvalid = kGridPoints;
  for (std::size_t i = 0; i < kGridPoints && firstInvalid == kGridPoints; ++i) {
    if (!PointValidAt(i, 32000.0)) firstInvalid = i;
  }
  ASSERT_LT(firstInvalid, kGridPoints);
  EXPECT_GT(GridFrequency(firstInvalid), 15101.9);
  EXPECT_LT(GridFrequency(firstInvalid - 1), 15101.9);
  EXPECT_NEAR(BandUpperEdge(179), 21189.0, 1.0);
}

TEST(FrequencyGrid, AnalysisAndFitRangesIncludeTheirEnds) {
  struct Case {
    double hz;
    bool analysis;
    bool fit;
  };
  for (const Case& c : std::vector<Case>{{39.999, false, false},
                                         {40.0, true, false},
                                         {49.999, true, false},
                                         {50.0, true, true},
                                         {16000.0, true, true},
                                         {16000.001, false, false}}) {
    EXPECT_EQ(InAnalysisRange(c.hz), c.analysis) << c.hz;
    EXPECT_EQ(InFitRange(c.hz), c.fit) << c.hz;
  }
}

TEST(FrequencyGrid, CrossoversAreKeptAnOctaveApart) {
  struct Case {
    double low, mid, high;
    double midOut, highOut;
  };
  for (const Case& c : std::vector<Case>{{200, 2000, 6000, 2000, 6000},
                                         {200, 300, 500, 400, 800},
                                         {1000, 1500, 1800, 2000, 4000},
                                         {100, 5000, 7000, 5000, 10000}}) {
    const Crossovers s = SanitizeCrossovers(c.low, c.mid, c.high);
    EXPECT_EQ(s.low, c.low);
    EXPECT_EQ(s.mid, c.midOut);
    EXPECT_EQ(s.high, c.highOut);
  }
}

TEST(FrequencyGrid, BandsSplitAtTheCrossoversWithLowerEdgesInclusive) {
  const Crossovers c{200.0, 2000.0, 6000.0};
  struct Case {
    double hz;
    int band;
  };
  for (const Case& k : std::vector<Case>{{20, 0}, {199.999, 0}, {200, 1}, {1999, 1}, {2000, 2}, {5999, 2}, {6000, 3}, {20000, 3}}) {
    EXPECT_EQ(BandOf(k.hz, c), k.band) << k.hz;
  }
}

TEST(ResolutionHalfWidth, GivesThreeFourNineAndClampsTheIndex) {
  struct Case {
    int index;
    int halfWidth;
  };
  for (const Case& c : std::vector<Case>{{-100, 3}, {-1, 3}, {0, 3}, {1, 4}, {2, 9}, {3, 9}, {1000, 9}}) {
    EXPECT_EQ(ResolutionHalfWidth(c.index), c.halfWidth) << c.index;
  }
}

GridCurve Filled(double value) {
  GridCurve c;
  c.fill(value);
  return c;
}

ValidFlags AllValid() {
  ValidFlags v;
  v.fill(true);
  return v;
}

TEST(LevelMatch, AllZeroPowersGiveMinus300EverywhereUnshifted) {
  const GridCurve out = LevelMatch(AllValid(), Filled(0.0), Filled(0.0));
  for (double v : out) EXPECT_DOUBLE_EQ(v, -300.0);
}

TEST(LevelMatch, ShiftsToTheReferencePowerOverTheAnalysisRange) {
  // Powers of 1e-4 (-40 dB) against a flat 0 dB reference: shifted by +40 dB.
  GridCurve powers = Filled(1e-4);
  const GridCurve out = LevelMatch(AllValid(), powers, Filled(0.0));
  for (double v : out) EXPECT_NEAR(v, 0.0, 1e-9);

  // A shaped spectrum keeps its shape and takes the reference's total power
  // over the valid points within 40..16000 Hz; points outside do not count.
  GridCurve reference{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    powers[i] = std::pow(10.0, (-20.0 - 0.1 * static_cast<double>(i)) / 10.0);
    reference[i] = -3.0 + 0.05 * static_cast<double>(i);
  }
  ValidFlags valid = AllValid();
  for (std::size_t i = 170; i < kGridPoints; ++i) valid[i] = false;
  const GridCurve matched = LevelMatch(valid, powers, reference);
  double sumOut = 0.0, sumReference = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (valid[i] && InAnalysisRange(GridFrequency(i))) {
      sumOut += std::pow(10.0, matched[i] / 10.0);
      sumReference += std::pow(10.0, reference[i] / 10.0);
    }
    if (i > 0) {
      EXPECT_NEAR(matched[i] - matched[i - 1], -0.1, 1e-9);
    }
  }
  EXPECT_NEAR(sumOut / sumReference, 1.0, 1e-12);
}

TEST(LevelMatch, TinyPowersAreFlooredAt1e30) {
  GridCurve powers = Filled(1e-3);
  powers[100] = 0.0;
  const GridCurve out = LevelMatch(AllValid(), powers, Filled(-30.0));
  EXPECT_NEAR(out[50], -30.0 + 10.0 * std::log10(1.0 * 148 / 147), 0.05);
  EXPECT_NEAR(out[100] - out[50], -300.0 + 30.0, 1e-9);
}

TEST(SmoothAcrossFrequency, ConstantCurvesAndWidthZeroStayAsTheyAre) {
  for (SmoothingMode mode : {SmoothingMode::kPowerAverage, SmoothingMode::kPlainAverage}) {
    const GridCurve flat = SmoothAcrossFrequency(Filled(-12.5), AllValid(), 9, mode);
    for (double v : flat) EXPECT_NEAR(v, -12.5, 1e-12);
    GridCurve ramp{};
    for (std::size_t i = 0; i < kGridPoints; ++i) ramp[i] = std::sin(0.3 * static_cast<double>(i));
    EXPECT_EQ(SmoothAcrossFrequency(ramp, AllValid(), 0, mode), ramp);
  }
}

TEST(SmoothAcrossFrequency, AveragesValidNeighboursOnlyInPowerOrPlainMode) {
  GridCurve curve = Filled(0.0);
  curve[50] = 10.0;  // one point 10 dB up
  ValidFlags valid = AllValid();
  valid[52] = false;
  curve[52] = 99.0;  // invalid: ignored, and kept as it is
  const GridCurve plain = SmoothAcrossFrequency(curve, valid, 3, SmoothingMode::kPlainAverage);
  const GridCurve power = SmoothAcrossFrequency(curve, valid, 3, SmoothingMode::kPowerAverage);
  // Point 50 averages 47..53 without 52: six points, one of them at 10 dB.
  EXPECT_NEAR(plain[50], 10.0 / 6.0, 1e-12);
  EXPECT_NEAR(power[50], 10.0 * std::log10((10.0 + 5.0) / 6.0), 1e-12);
  EXPECT_NEAR(plain[47], 10.0 / 7.0, 1e-12);  // 44..50, all valid
  EXPECT_NEAR(plain[54], 0.0, 1e-12);         // 51..57 misses point 50
  EXPECT_DOUBLE_EQ(plain[52], 99.0);
  EXPECT_DOUBLE_EQ(power[52], 99.0);
  EXPECT_NEAR(plain[40], 0.0, 1e-12);
  // At the ends the window is clipped to the grid.
  curve = Filled(0.0);
  curve[0] = 8.0;
  EXPECT_NEAR(SmoothAcrossFrequency(curve, AllValid(), 3, SmoothingMode::kPlainAverage)[0], 2.0, 1e-12);
}

}  // namespace
}  // namespace ombrix::dsp
