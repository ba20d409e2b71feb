#include "core/eq_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ombrix {
namespace {

using dsp::kGridPoints;

constexpr double kTiltFrequency = 1000.0;
constexpr double kTiltQ = 0.35;
constexpr double kBandShelfQ = 0.6;
constexpr double kMaxSectionFraction = 0.49;  // of the sample rate
constexpr double kLimitGridFraction = 0.45;   // of the sample rate
constexpr int kLimitPasses = 4;
constexpr double kLimitScale = 5.999999;
constexpr double kRidgeFraction = 0.001;
constexpr double kRidgeFloor = 1e-12;

// Grid frequencies computed once at load, so the per-call paths spend no
// time in pow().
const dsp::GridCurve kGridHz = [] {
  dsp::GridCurve hz{};
  for (std::size_t i = 0; i < kGridPoints; ++i) hz[i] = dsp::GridFrequency(i);
  return hz;
}();

enum class SectionType { LowShelf, HighShelf, Peaking };

bool UsableRate(double sampleRate) { return std::isfinite(sampleRate) && sampleRate > 0.0; }

double FiniteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

// Audio EQ Cookbook sections, normalised to a0 = 1.
BiquadCoefficients DesignSection(SectionType type, double frequency, double q, double gainDb, double sampleRate) {
  const double limited = std::clamp(FiniteOrZero(frequency), 1.0, kMaxSectionFraction * sampleRate);
  const double a = std::pow(10.0, FiniteOrZero(gainDb) / 40.0);
  const double w0 = 2.0 * std::numbers::pi * limited / sampleRate;
  const double cosW0 = std::cos(w0);
  const double alpha = std::sin(w0) / (2.0 * q);
  const double twoSqrtAAlpha = 2.0 * std::sqrt(a) * alpha;

  double b0, b1, b2, a0, a1, a2;
  switch (type) {
    case SectionType::LowShelf:
      b0 = a * ((a + 1) - (a - 1) * cosW0 + twoSqrtAAlpha);
      b1 = 2 * a * ((a - 1) - (a + 1) * cosW0);
      b2 = a * ((a + 1) - (a - 1) * cosW0 - twoSqrtAAlpha);
      a0 = (a + 1) + (a - 1) * cosW0 + twoSqrtAAlpha;
      a1 = -2 * ((a - 1) + (a + 1) * cosW0);
      a2 = (a + 1) + (a - 1) * cosW0 - twoSqrtAAlpha;
      break;
    case SectionType::HighShelf:
      b0 = a * ((a + 1) + (a - 1) * cosW0 + twoSqrtAAlpha);
      b1 = -2 * a * ((a - 1) + (a + 1) * cosW0);
      b2 = a * ((a + 1) + (a - 1) * cosW0 - twoSqrtAAlpha);
      a0 = (a + 1) - (a - 1) * cosW0 + twoSqrtAAlpha;
      a1 = 2 * ((a - 1) - (a + 1) * cosW0);
      a2 = (a + 1) - (a - 1) * cosW0 - twoSqrtAAlpha;
      break;
    case SectionType::Peaking:
    default:
      b0 = 1 + alpha * a;
      b1 = -2 * cosW0;
      b2 = 1 - alpha * a;
      a0 = 1 + alpha / a;
      a1 = -2 * cosW0;
      a2 = 1 - alpha / a;
      break;
  }
  return BiquadCoefficients{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// Quality of a peak spanning a band ratio r, never narrower than half an octave.
double PeakQ(double ratio) {
  const double t = std::pow(2.0, std::max(0.5, std::log2(ratio)));
  return std::sqrt(t) / (t - 1.0);
}

// |c0 + c1 e^-jw + c2 e^-2jw|^2 as a quadratic in phi = sin^2(w/2):
// (c0+c1+c2)^2 - 4 phi (c0 c1 + c1 c2 + 4 c0 c2) + 16 c0 c2 phi^2. This form
// stays accurate at low frequencies, where the coefficients nearly cancel.
struct SquaredMagnitude {
  double p0, p1, p2;
  double At(double phi) const { return p0 + phi * (p1 + phi * p2); }
};

SquaredMagnitude SquaredMagnitudeOf(double c0, double c1, double c2) {
  const double sum = c0 + c1 + c2;
  return {sum * sum, -4.0 * (c0 * c1 + c1 * c2 + 4.0 * c0 * c2), 16.0 * c0 * c2};
}

// The sections of a design that are not exactly 1 (a 0 dB section has b == a).
struct PowerForm {
  std::array<SquaredMagnitude, kEqSections> numerator;
  std::array<SquaredMagnitude, kEqSections> denominator;
  std::size_t count = 0;
};

PowerForm PowerFormOf(const EqDesign& design) {
  PowerForm form;
  for (const BiquadCoefficients& s : design) {
    if (s.b0 == 1.0 && s.b1 == s.a1 && s.b2 == s.a2) continue;
    form.numerator[form.count] = SquaredMagnitudeOf(s.b0, s.b1, s.b2);
    form.denominator[form.count] = SquaredMagnitudeOf(1.0, s.a1, s.a2);
    ++form.count;
  }
  return form;
}

// |H|^2 of the whole cascade at points 0 .. count-1 of phi. One product per
// point instead of a sum of logarithms; the loops run across points so they
// vectorise.
void PowerRatios(const EqDesign& design, const double* phi, std::size_t count, double* ratio) {
  const PowerForm form = PowerFormOf(design);
  double numerator[dsp::kGridPoints];
  double denominator[dsp::kGridPoints];
  for (std::size_t i = 0; i < count; ++i) numerator[i] = denominator[i] = 1.0;
  for (std::size_t k = 0; k < form.count; ++k) {
    const SquaredMagnitude n = form.numerator[k];
    const SquaredMagnitude d = form.denominator[k];
    for (std::size_t i = 0; i < count; ++i) {
      numerator[i] *= n.At(phi[i]);
      denominator[i] *= d.At(phi[i]);
    }
  }
  for (std::size_t i = 0; i < count; ++i) ratio[i] = numerator[i] / denominator[i];
}

inline double RatioToDb(double ratio) { return 10.0 * std::log10(std::max(ratio, 1e-300)); }

double HalfAngleSineSquared(double frequency, double sampleRate) {
  const double s = std::sin(std::numbers::pi * frequency / sampleRate);
  return s * s;
}

std::size_t CountPointsBelowLimit(double sampleRate) {
  std::size_t count = 0;
  while (count < kGridPoints && kGridHz[count] < kLimitGridFraction * sampleRate) ++count;
  return count;
}

// The limiter's passes over precomputed grid terms (points 0 .. count-1).
CorrectionGains LimitOnGrid(const CorrectionGains& gains, const dsp::Crossovers& crossovers, double sampleRate,
                            const double* phi, std::size_t count) {
  CorrectionGains g;
  for (std::size_t k = 0; k < kGainCount; ++k) g[k] = FiniteOrZero(gains[k]);
  if (!UsableRate(sampleRate)) return g;
  for (int pass = 0; pass < kLimitPasses; ++pass) {
    double ratio[dsp::kGridPoints];
    PowerRatios(DesignEq(g, crossovers, sampleRate), phi, count, ratio);
    double largest = 1.0;
    double smallest = 1.0;
    for (std::size_t i = 0; i < count; ++i) {
      largest = std::max(largest, ratio[i]);
      smallest = std::min(smallest, ratio[i]);
    }
    const double peakDb = std::max(RatioToDb(largest), -RatioToDb(smallest));
    if (!std::isfinite(peakDb)) return CorrectionGains{};  // absurd gains: no correction rather than noise
    if (peakDb <= kEqLimitDb) return g;
    const double scale = kLimitScale / peakDb;
    for (double& value : g) value *= scale;
  }
  return g;
}

CorrectionGains UnitGains(std::size_t k) {
  CorrectionGains g{};
  g[k] = 1.0;
  return g;
}

// Solves the 5x5 system in place by Gaussian elimination with partial
// pivoting. Returns false when a pivot vanishes.
bool SolveLinear(std::array<std::array<double, kGainCount>, kGainCount>& a, std::array<double, kGainCount>& b,
                 CorrectionGains& x) {
  constexpr std::size_t n = kGainCount;
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    if (a[pivot][col] == 0.0) return false;
    if (pivot != col) {
      std::swap(a[pivot], a[col]);
      std::swap(b[pivot], b[col]);
    }
    for (std::size_t r = col + 1; r < n; ++r) {
      const double factor = a[r][col] / a[col][col];
      if (factor == 0.0) continue;
      for (std::size_t c = col; c < n; ++c) a[r][c] -= factor * a[col][c];
      b[r] -= factor * b[col];
    }
  }
  for (std::size_t row = n; row-- > 0;) {
    double sum = b[row];
    for (std::size_t c = row + 1; c < n; ++c) sum -= a[row][c] * x[c];
    x[row] = sum / a[row][row];
  }
  return true;
}

}  // namespace

EqDesign DesignEq(const CorrectionGains& gains, const dsp::Crossovers& crossovers, double sampleRate) {
  if (!UsableRate(sampleRate)) return EqDesign{};
  const dsp::Crossovers c = dsp::SanitizeCrossovers(crossovers.low, crossovers.mid, crossovers.high);
  const double tilt = gains[kTiltGain];
  return EqDesign{
      DesignSection(SectionType::LowShelf, kTiltFrequency, kTiltQ, -tilt, sampleRate),
      DesignSection(SectionType::HighShelf, kTiltFrequency, kTiltQ, tilt, sampleRate),
      DesignSection(SectionType::LowShelf, c.low, kBandShelfQ, gains[kLowGain], sampleRate),
      DesignSection(SectionType::Peaking, std::sqrt(c.low * c.mid), PeakQ(c.mid / c.low), gains[kLoMidGain],
                    sampleRate),
      DesignSection(SectionType::Peaking, std::sqrt(c.mid * c.high), PeakQ(c.high / c.mid), gains[kHiMidGain],
                    sampleRate),
      DesignSection(SectionType::HighShelf, c.high, kBandShelfQ, gains[kHighGain], sampleRate),
  };
}

double EqResponseDb(const EqDesign& design, double frequency, double sampleRate) {
  if (!UsableRate(sampleRate)) return 0.0;
  const double phi = HalfAngleSineSquared(frequency, sampleRate);
  double ratio;
  PowerRatios(design, &phi, 1, &ratio);
  return RatioToDb(ratio);
}

CorrectionGains LimitGains(const CorrectionGains& gains, const dsp::Crossovers& crossovers, double sampleRate) {
  if (!UsableRate(sampleRate)) return LimitOnGrid(gains, crossovers, sampleRate, nullptr, 0);
  dsp::GridCurve phi{};
  const std::size_t count = CountPointsBelowLimit(sampleRate);
  for (std::size_t i = 0; i < count; ++i) phi[i] = HalfAngleSineSquared(kGridHz[i], sampleRate);
  return LimitOnGrid(gains, crossovers, sampleRate, phi.data(), count);
}

void EqFitBasis::Update(const dsp::Crossovers& crossovers, double sampleRate) {
  const dsp::Crossovers c = dsp::SanitizeCrossovers(crossovers.low, crossovers.mid, crossovers.high);
  if (valid_ && sampleRate == sampleRate_ && c.low == effective_.low && c.mid == effective_.mid &&
      c.high == effective_.high) {
    return;
  }
  valid_ = true;
  sampleRate_ = sampleRate;
  effective_ = c;
  phi_.fill(0.0);
  fitBand_.fill(-1);
  for (auto& row : response_) row.fill(0.0);
  if (!UsableRate(sampleRate)) {
    pointsBelowLimit_ = 0;
    return;
  }
  pointsBelowLimit_ = CountPointsBelowLimit(sampleRate);
  for (std::size_t i = 0; i < pointsBelowLimit_; ++i) {
    const double f = kGridHz[i];
    phi_[i] = HalfAngleSineSquared(f, sampleRate);
    if (dsp::InAnalysisRange(f)) fitBand_[i] = static_cast<signed char>(dsp::BandOf(f, c));
  }
  for (std::size_t k = 0; k < kGainCount; ++k) {
    double ratio[dsp::kGridPoints];
    PowerRatios(DesignEq(UnitGains(k), c, sampleRate), phi_.data(), pointsBelowLimit_, ratio);
    for (std::size_t i = 0; i < pointsBelowLimit_; ++i) response_[i][k] = RatioToDb(ratio[i]);
  }
}

CorrectionGains FitEqGains(const dsp::GridCurve& curve, const CorrectionSettings& settings, double sampleRate,
                           const SectionOffFlags& sectionOff, const CorrectionGains& current) {
  EqFitBasis basis;
  return FitEqGains(curve, settings, sampleRate, sectionOff, current, basis);
}

CorrectionGains FitEqGains(const dsp::GridCurve& curve, const CorrectionSettings& settings, double sampleRate,
                           const SectionOffFlags& sectionOff, const CorrectionGains& current, EqFitBasis& basis) {
  const dsp::Crossovers crossovers = CrossoversOf(settings);
  basis.Update(crossovers, sampleRate);
  const double* phi = basis.halfAngleSineSquared().data();
  const std::size_t count = basis.pointsBelowLimit();

  // Normal equations over the usable points of bands whose section is on.
  std::array<std::array<double, kGainCount>, kGainCount> a{};
  std::array<double, kGainCount> b{};
  for (std::size_t i = 0; i < count; ++i) {
    const int band = basis.fitBand(i);
    if (band < 0 || sectionOff[1 + band]) continue;
    for (std::size_t r = 0; r < kGainCount; ++r) {
      const double rr = basis.response(i, r);
      for (std::size_t c = 0; c < kGainCount; ++c) a[r][c] += rr * basis.response(i, c);
      b[r] += rr * curve[i];
    }
  }

  double trace = 0.0;
  for (std::size_t k = 0; k < kGainCount; ++k) trace += a[k][k];
  const double ridge = trace * kRidgeFraction / static_cast<double>(kGainCount) + kRidgeFloor;
  for (std::size_t k = 0; k < kGainCount; ++k) a[k][k] += ridge;

  // Sections that are off keep their current gain.
  for (std::size_t k = 0; k < kGainCount; ++k) {
    if (!sectionOff[k]) continue;
    const double v = current[k];
    for (std::size_t r = 0; r < kGainCount; ++r) {
      if (r == k) continue;
      b[r] -= a[r][k] * v;
      a[r][k] = 0.0;
    }
    a[k].fill(0.0);
    a[k][k] = 1.0;
    b[k] = v;
  }

  CorrectionGains x{};
  bool solved = SolveLinear(a, b, x);
  for (double value : x) solved = solved && std::isfinite(value);
  return LimitOnGrid(solved ? x : current, crossovers, sampleRate, phi, count);
}

CorrectionGains FrozenGains(const CorrectionSettings& settings, const CorrectionGains& frozen, double sampleRate) {
  CorrectionGains scaled;
  for (std::size_t k = 0; k < kGainCount; ++k) scaled[k] = frozen[k] * settings.amount[k];
  return LimitGains(scaled, CrossoversOf(settings), sampleRate);
}

double TiltSlope(double tiltGain, double sampleRate) {
  if (!UsableRate(sampleRate)) return 0.0;
  const EqDesign design = DesignEq(CorrectionGains{tiltGain, 0.0, 0.0, 0.0, 0.0}, dsp::Crossovers{}, sampleRate);
  double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = kGridHz[i];
    if (!dsp::InAnalysisRange(f) || f >= kLimitGridFraction * sampleRate) continue;
    const double x = std::log2(f / 1000.0);
    const double y = EqResponseDb(design, f, sampleRate);
    n += 1.0;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const double denominator = n * sxx - sx * sx;
  if (!(denominator > 0.0)) return 0.0;
  return (n * sxy - sx * sy) / denominator;
}

double TiltGainForSlope(double slope, double sampleRate) {
  // The slope rises with the gain: bisection to well below the display's
  // resolution.
  double low = -24.0, high = 24.0;
  if (!(slope > TiltSlope(low, sampleRate))) return low;
  if (!(slope < TiltSlope(high, sampleRate))) return high;
  for (int i = 0; i < 40; ++i) {
    const double mid = 0.5 * (low + high);
    (TiltSlope(mid, sampleRate) < slope ? low : high) = mid;
  }
  return 0.5 * (low + high);
}

}  // namespace ombrix
