#include "core/eq_design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ombrix {
namespace {

using dsp::Crossovers;
using dsp::GridCurve;
using dsp::GridFrequency;
using dsp::kGridPoints;

constexpr double kRate = 48000.0;

bool IsIdentity(const BiquadCoefficients& c) { return c.b0 == 1.0 && c.b1 == c.a1 && c.b2 == c.a2; }

// A design with only section `index` of `design` kept, the others identity.
EqDesign OnlySection(const EqDesign& design, std::size_t index) {
  EqDesign single{};
  single[index] = design[index];
  return single;
}

// Largest |response| on the grid points below 0.45 fs.
double GridPeakDb(const CorrectionGains& gains, const Crossovers& c, double fs) {
  const EqDesign design = DesignEq(gains, c, fs);
  double peak = 0.0;
  for (std::size_t i = 0; i < kGridPoints && GridFrequency(i) < 0.45 * fs; ++i) {
    peak = std::max(peak, std::fabs(EqResponseDb(design, GridFrequency(i), fs)));
  }
  return peak;
}

void ExpectSameDesign(const EqDesign& a, const EqDesign& b) {
  for (std::size_t s = 0; s < kEqSections; ++s) {
    EXPECT_DOUBLE_EQ(a[s].b0, b[s].b0) << "section " << s;
    EXPECT_DOUBLE_EQ(a[s].b1, b[s].b1) << "section " << s;
    EXPECT_DOUBLE_EQ(a[s].b2, b[s].b2) << "section " << s;
    EXPECT_DOUBLE_EQ(a[s].a1, b[s].a1) << "section " << s;
    EXPECT_DOUBLE_EQ(a[s].a2, b[s].a2) << "section " << s;
  }
}

TEST(DesignEq, ZeroGainsGiveIdentitySections) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    const EqDesign design = DesignEq(CorrectionGains{}, Crossovers{150.0, 1200.0, 9000.0}, fs);
    for (const BiquadCoefficients& section : design) EXPECT_TRUE(IsIdentity(section));
    EXPECT_EQ(EqResponseDb(design, 1234.0, fs), 0.0);
  }
}

// Properties that hold for the cookbook sections whatever the implementation:
// a shelf has half its gain (in dB) at its corner and all of it at the far
// end; a peak has its full gain at the centre and half at the band edges when
// its width is the band's width in octaves.
TEST(DesignEq, SectionsSitWhereTheCrossoversPutThem) {
  const Crossovers c{200.0, 800.0, 6000.0};
  const EqDesign design = DesignEq(CorrectionGains{4.0, 5.0, 6.0, -3.0, 7.0}, c, kRate);

  EXPECT_NEAR(EqResponseDb(OnlySection(design, 0), 1000.0, kRate), -2.0, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 1), 1000.0, kRate), 2.0, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 0), 0.001, kRate), -4.0, 1e-6);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 1), kRate / 2, kRate), 4.0, 1e-9);
  EXPECT_NEAR(EqResponseDb(design, 1000.0, kRate) - EqResponseDb(DesignEq({0, 5, 6, -3, 7}, c, kRate), 1000.0, kRate),
              0.0, 1e-9);

  EXPECT_NEAR(EqResponseDb(OnlySection(design, 2), 200.0, kRate), 2.5, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 2), 0.001, kRate), 5.0, 1e-6);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 5), 6000.0, kRate), 3.5, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 5), kRate / 2, kRate), 7.0, 1e-9);

  EXPECT_NEAR(EqResponseDb(OnlySection(design, 3), 400.0, kRate), 6.0, 1e-9);  // sqrt(200 * 800)
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 3), 200.0, kRate), 3.0, 0.05);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 3), 800.0, kRate), 3.0, 0.05);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 4), std::sqrt(800.0 * 6000.0), kRate), -3.0, 1e-9);
}

TEST(DesignEq, CrossoversAreKeptAtLeastAnOctaveApart) {
  const CorrectionGains gains{1.0, 2.0, 3.0, 4.0, 5.0};
  // Low 800 and Mid 400: Mid becomes 1600, High at least 3200.
  ExpectSameDesign(DesignEq(gains, Crossovers{800.0, 400.0, 1500.0}, kRate),
                   DesignEq(gains, Crossovers{800.0, 1600.0, 3200.0}, kRate));
  ExpectSameDesign(DesignEq(gains, Crossovers{800.0, 400.0, 5000.0}, kRate),
                   DesignEq(gains, Crossovers{800.0, 1600.0, 5000.0}, kRate));
  const EqDesign design = DesignEq(gains, Crossovers{800.0, 400.0, 1500.0}, kRate);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 3), std::sqrt(800.0 * 1600.0), kRate), 3.0, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 4), std::sqrt(1600.0 * 3200.0), kRate), 4.0, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(design, 5), 3200.0, kRate), 2.5, 1e-9);
}

TEST(DesignEq, SectionFrequenciesAreHeldBelowNearlyNyquist) {
  const CorrectionGains gains{3.0, 0.0, 0.0, 0.0, 6.0};
  // At 8 kHz a 6 kHz shelf is designed at 0.49 * 8000 = 3920 Hz.
  ExpectSameDesign(OnlySection(DesignEq(gains, Crossovers{200.0, 2000.0, 6000.0}, 8000.0), 5),
                   OnlySection(DesignEq(gains, Crossovers{200.0, 1900.0, 3920.0}, 8000.0), 5));
  // At 1500 Hz the 1 kHz tilt shelves sit at 735 Hz.
  const EqDesign low = DesignEq(gains, Crossovers{}, 1500.0);
  EXPECT_NEAR(EqResponseDb(OnlySection(low, 1), 735.0, 1500.0), 1.5, 1e-9);
  EXPECT_NEAR(EqResponseDb(OnlySection(low, 0), 735.0, 1500.0), -1.5, 1e-9);
}

TEST(DesignEq, SectionsStayStableEverywhere) {
  for (double fs : {1500.0, 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    for (double g : {-24.0, -6.0, 6.0, 24.0}) {
      for (const Crossovers& c : {Crossovers{60.0, 400.0, 1500.0}, Crossovers{800.0, 6000.0, 16000.0}}) {
        for (const BiquadCoefficients& s : DesignEq(CorrectionGains{g, g, -g, g, -g}, c, fs)) {
          ASSERT_TRUE(std::isfinite(s.b0) && std::isfinite(s.b1) && std::isfinite(s.b2));
          EXPECT_LT(std::fabs(s.a2), 1.0) << fs;
          EXPECT_LT(std::fabs(s.a1), 1.0 + s.a2) << fs;
        }
      }
    }
  }
}

TEST(LimitGains, LeavesGainsWithinSixDbUntouched) {
  const CorrectionGains gains{1.0, 2.0, -1.0, 1.5, -2.0};
  ASSERT_LE(GridPeakDb(gains, Crossovers{}, kRate), 6.0);
  EXPECT_EQ(LimitGains(gains, Crossovers{}, kRate), gains);
}

TEST(LimitGains, HalvesAnEqThatPeaksAtTwelveDb) {
  const CorrectionGains gains{0.0, 0.0, 12.0, 0.0, 0.0};
  const double peak = GridPeakDb(gains, Crossovers{}, kRate);
  ASSERT_NEAR(peak, 12.0, 0.01);
  const CorrectionGains limited = LimitGains(gains, Crossovers{}, kRate);
  EXPECT_NEAR(limited[2], 6.0, 0.01);
  EXPECT_LE(GridPeakDb(limited, Crossovers{}, kRate), 6.0);
  EXPECT_EQ(limited[0], 0.0);
  EXPECT_EQ(limited[4], 0.0);
}

TEST(LimitGains, ScalesAllGainsAlikeUntilTheEqFits) {
  for (const CorrectionGains& gains :
       {CorrectionGains{4.0, 8.0, -3.0, 5.0, 9.0}, CorrectionGains{-24.0, 24.0, 24.0, -24.0, 24.0},
        CorrectionGains{6.0, 6.0, 6.0, 6.0, 6.0}}) {
    const CorrectionGains limited = LimitGains(gains, Crossovers{}, kRate);
    EXPECT_LE(GridPeakDb(limited, Crossovers{}, kRate), 6.0 + 1e-3);
    EXPECT_GT(GridPeakDb(limited, Crossovers{}, kRate), 5.5);
    for (std::size_t k = 0; k < kGainCount; ++k) EXPECT_NEAR(limited[k] / gains[k], limited[0] / gains[0], 1e-12);
  }
}

TEST(LimitGains, IgnoresTheResponseAboveFortyFivePercentOfTheRate) {
  // At 32 kHz a 16 kHz High shelf sits at 15.68 kHz; the grid is only read below 14.4 kHz.
  const CorrectionGains gains{0.0, 0.0, 0.0, 0.0, 10.0};
  const Crossovers c{200.0, 2000.0, 16000.0};
  const double fs = 32000.0;
  ASSERT_GT(EqResponseDb(DesignEq(gains, c, fs), GridFrequency(173), fs), 6.0);
  ASSERT_LE(GridPeakDb(gains, c, fs), 6.0);
  EXPECT_EQ(LimitGains(gains, c, fs), gains);
}

TEST(LimitGains, NonFiniteGainsCountAsZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const CorrectionGains limited = LimitGains(CorrectionGains{nan, 2.0, nan, 1.0, 0.5}, Crossovers{}, kRate);
  EXPECT_EQ(limited, (CorrectionGains{0.0, 2.0, 0.0, 1.0, 0.5}));
}

// ---- FitEqGains ----

struct FitCase {
  double fs = kRate;
  CorrectionSettings settings{};
};

GridCurve ResponseCurve(const CorrectionGains& gains, const Crossovers& c, double fs) {
  const EqDesign design = DesignEq(gains, c, fs);
  GridCurve curve{};
  for (std::size_t i = 0; i < kGridPoints; ++i) curve[i] = EqResponseDb(design, GridFrequency(i), fs);
  return curve;
}

GridCurve WigglyCurve() {
  GridCurve curve{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double x = dsp::OctavePosition(i);
    curve[i] = 0.4 * x + 1.5 * std::sin(1.3 * x) - 0.7 * std::cos(2.9 * x);
  }
  return curve;
}

bool UsedByFit(std::size_t i, double fs) {
  const double f = GridFrequency(i);
  return f >= 40.0 && f <= 16000.0 && f < 0.45 * fs;
}

TEST(FitEqGains, RecoversTheGainsOfAnEqResponse) {
  CorrectionSettings settings;
  settings.lowCrossover = 150.0;
  settings.midCrossover = 1500.0;
  settings.highCrossover = 7000.0;
  const CorrectionGains gains{1.5, 2.0, -1.5, 1.0, -2.0};
  const GridCurve curve = ResponseCurve(gains, CrossoversOf(settings), kRate);
  const CorrectionGains fit = FitEqGains(curve, settings, kRate, SectionOffFlags{}, CorrectionGains{});
  // The fit is linear in dB and slightly ridged, the sections are not quite linear in dB.
  for (std::size_t k = 0; k < kGainCount; ++k) EXPECT_NEAR(fit[k], gains[k], 0.2) << k;
  const GridCurve fitted = ResponseCurve(fit, CrossoversOf(settings), kRate);
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (UsedByFit(i, kRate)) {
      EXPECT_NEAR(fitted[i], curve[i], 0.1) << i;
    }
  }
}

// The solution must satisfy the ridge-regularised normal equations, checked
// here through EqResponseDb of the unit designs rather than the fit's basis.
TEST(FitEqGains, SolvesTheRidgeRegularisedNormalEquations) {
  for (double fs : {32000.0, 44100.0, 96000.0}) {
    CorrectionSettings settings;
    const GridCurve curve = WigglyCurve();
    const CorrectionGains fit = FitEqGains(curve, settings, fs, SectionOffFlags{}, CorrectionGains{});
    ASSERT_LE(GridPeakDb(fit, CrossoversOf(settings), fs), 6.0) << "the limiter must not have acted";

    std::array<EqDesign, kGainCount> unit;
    for (std::size_t k = 0; k < kGainCount; ++k) {
      CorrectionGains g{};
      g[k] = 1.0;
      unit[k] = DesignEq(g, CrossoversOf(settings), fs);
    }
    std::array<double, kGainCount> gradient{};
    double trace = 0.0;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      if (!UsedByFit(i, fs)) continue;
      std::array<double, kGainCount> r;
      double model = 0.0;
      for (std::size_t k = 0; k < kGainCount; ++k) {
        r[k] = EqResponseDb(unit[k], GridFrequency(i), fs);
        model += r[k] * fit[k];
        trace += r[k] * r[k];
      }
      for (std::size_t k = 0; k < kGainCount; ++k) gradient[k] += r[k] * (curve[i] - model);
    }
    const double ridge = trace * 0.001 / 5.0 + 1e-12;
    for (std::size_t k = 0; k < kGainCount; ++k) EXPECT_NEAR(gradient[k], ridge * fit[k], 1e-6 * trace) << fs << " " << k;
  }
}

TEST(FitEqGains, WithEverySectionOffReturnsTheCurrentGainsLimited) {
  SectionOffFlags allOff;
  allOff.fill(true);
  for (const CorrectionGains& current : {CorrectionGains{1.0, -2.0, 0.5, 1.0, 2.0}, CorrectionGains{0, 14.0, 0, 0, 0}}) {
    EXPECT_EQ(FitEqGains(WigglyCurve(), CorrectionSettings{}, kRate, allOff, current),
              LimitGains(current, Crossovers{}, kRate));
  }
}

TEST(FitEqGains, ABandThatIsOffIgnoresItsPointsAndHoldsItsGain) {
  const CorrectionSettings settings;  // bands split at 200 / 2000 / 6000 Hz
  const CorrectionGains current{0.25, 0.5, -0.75, 1.0, -1.25};
  const GridCurve curve = WigglyCurve();
  for (int band = 0; band < 4; ++band) {
    SectionOffFlags off{};
    off[1 + band] = true;
    GridCurve disturbed = curve;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      if (dsp::BandOf(GridFrequency(i), Crossovers{}) == band) disturbed[i] = 1e6;
    }
    const CorrectionGains clean = FitEqGains(curve, settings, kRate, off, current);
    const CorrectionGains dirty = FitEqGains(disturbed, settings, kRate, off, current);
    EXPECT_EQ(clean, dirty) << band;
    EXPECT_DOUBLE_EQ(clean[1 + band], current[1 + band]) << band;
  }
  SectionOffFlags tiltOff{};
  tiltOff[kTiltGain] = true;
  EXPECT_DOUBLE_EQ(FitEqGains(curve, settings, kRate, tiltOff, current)[kTiltGain], current[kTiltGain]);
}

TEST(FitEqGains, UsesOnlyPointsFromFortyHertzToSixteenKilohertzBelowTheRateLimit) {
  const CorrectionSettings settings;
  for (double fs : {32000.0, 44100.0, 48000.0}) {
    const GridCurve curve = WigglyCurve();
    const CorrectionGains clean = FitEqGains(curve, settings, fs, SectionOffFlags{}, CorrectionGains{});
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      GridCurve disturbed = curve;
      disturbed[i] += 3.0;
      const CorrectionGains moved = FitEqGains(disturbed, settings, fs, SectionOffFlags{}, CorrectionGains{});
      EXPECT_EQ(moved != clean, UsedByFit(i, fs)) << "fs " << fs << " point " << i << " at " << GridFrequency(i);
    }
  }
  // 32 kHz stops below 14.4 kHz; 44.1 kHz reaches up to 16 kHz.
  ASSERT_NEAR(GridFrequency(172), 15260.0, 10.0);
  EXPECT_FALSE(UsedByFit(172, 32000.0));
  EXPECT_TRUE(UsedByFit(172, 44100.0));
}

TEST(FitEqGains, AKeptBasisFollowsChangingCrossoversAndRates) {
  EqFitBasis basis;
  const GridCurve curve = WigglyCurve();
  const CorrectionGains current{0.1, 0.2, 0.3, 0.4, 0.5};
  SectionOffFlags off{};
  off[3] = true;
  for (double fs : {48000.0, 44100.0, 32000.0, 48000.0}) {
    for (double low : {100.0, 300.0, 100.0}) {
      CorrectionSettings settings;
      settings.lowCrossover = low;
      settings.midCrossover = 400.0;  // raised to 2 * low
      EXPECT_EQ(FitEqGains(curve, settings, fs, off, current, basis), FitEqGains(curve, settings, fs, off, current));
    }
  }
}

TEST(FitEqGains, ANonFiniteCurveFallsBackToTheCurrentGains) {
  GridCurve curve = WigglyCurve();
  curve[90] = std::numeric_limits<double>::quiet_NaN();
  const CorrectionGains current{0.5, -0.5, 1.0, 0.0, 2.0};
  EXPECT_EQ(FitEqGains(curve, CorrectionSettings{}, kRate, SectionOffFlags{}, current),
            LimitGains(current, Crossovers{}, kRate));
}

// ---- FrozenGains and TiltSlope ----

TEST(FrozenGains, ScalesByTheAmountsAndLimits) {
  CorrectionSettings settings;
  settings.amount = {0.5, 0.5, 0.5, 0.5, 0.5};
  EXPECT_EQ(FrozenGains(settings, CorrectionGains{2.0, -2.0, 1.0, 2.0, -1.0}, kRate),
            (CorrectionGains{1.0, -1.0, 0.5, 1.0, -0.5}));

  settings.amount = {0.0, 0.0, 0.0, 0.0, 0.0};
  EXPECT_EQ(FrozenGains(settings, CorrectionGains{24.0, -24.0, 24.0, -24.0, 24.0}, kRate), CorrectionGains{});

  settings.amount = {0.0, 1.0, 1.0, 1.0, 1.0};
  EXPECT_EQ(FrozenGains(settings, CorrectionGains{24.0, 1.0, 2.0, -1.0, 0.5}, kRate),
            FrozenGains(settings, CorrectionGains{0.0, 1.0, 2.0, -1.0, 0.5}, kRate));

  settings.amount = {1.0, 1.0, 1.0, 1.0, 1.0};
  const CorrectionGains extreme = FrozenGains(settings, CorrectionGains{24.0, 24.0, -24.0, 24.0, 24.0}, kRate);
  EXPECT_LE(GridPeakDb(extreme, Crossovers{}, kRate), 6.0 + 1e-3);
}

double ReferenceTiltSlope(double gain, double fs) {
  const EqDesign design = DesignEq(CorrectionGains{gain, 0, 0, 0, 0}, Crossovers{}, fs);
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (!UsedByFit(i, fs)) continue;
    const double x = std::log2(GridFrequency(i) / 1000.0);
    const double y = EqResponseDb(design, GridFrequency(i), fs);
    n += 1;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

TEST(TiltSlope, IsTheStraightLineSlopeOfTheDesignedTilt) {
  EXPECT_EQ(TiltSlope(0.0, kRate), 0.0);
  for (double fs : {32000.0, 48000.0, 96000.0}) {
    for (double gain : {-6.0, 1.0, 4.5}) {
      EXPECT_NEAR(TiltSlope(gain, fs), ReferenceTiltSlope(gain, fs), 1e-9);
      EXPECT_NEAR(TiltSlope(-gain, fs), -TiltSlope(gain, fs), 1e-9);
    }
  }
  // A +6 dB tilt turns about 12 dB across the shelves' wide transition.
  EXPECT_GT(TiltSlope(6.0, kRate), 0.8);
  EXPECT_LT(TiltSlope(6.0, kRate), 2.0);
  EXPECT_EQ(TiltSlope(3.0, 0.0), 0.0);
}

}  // namespace
}  // namespace ombrix
