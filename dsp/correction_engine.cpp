#include "dsp/correction_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/grid_curves.h"

namespace ombrix::dsp {
namespace {

// Grid frequencies and octave positions, computed once at load so the
// per-frame paths spend no time in pow() and log2().
struct GridTables {
  GridCurve hz{};
  GridCurve octave{};
};
const GridTables kGrid = [] {
  GridTables t;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    t.hz[i] = GridFrequency(i);
    t.octave[i] = std::log2(t.hz[i] / 1000.0);
  }
  return t;
}();

constexpr double kNoLevelAbove = -299.0;  // levels at or below this are "no value"
constexpr double kTiny = 1e-12;
constexpr int kFitPasses = 4;
constexpr int kReweightSteps = 8;
// Robust means: slopes that disagree by far more than 0.4 dB per octave, and
// band levels by far more than 2 dB, count less.
constexpr double kSlopeScale = 0.4;
constexpr double kLevelScale = 2.0;
constexpr double kMinSlopePoints = 4.0;
constexpr double kMinSlopeDenominator = 1e-9;
constexpr double kDefaultSpeedSeconds = 15.0;
constexpr int kMinTiltBands = 2;
constexpr double kTrustedWeight = 0.5;
constexpr double kTargetLimitDb = 300.0;

double Clamp01(double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; }
double FiniteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }
double Square(double value) { return value * value; }

// Weight that falls from 1 to 0 as `below` goes from 15 to 25 dB.
double FadeBelow(double below) { return std::clamp((25.0 - below) / 10.0, 0.0, 1.0); }

struct BandSums {
  // Straight-line regression over 50 Hz .. 16 kHz.
  double n = 0.0, sx = 0.0, sxx = 0.0, sy = 0.0, sxy = 0.0;
  // Level over 40 Hz .. 16 kHz.
  double m = 0.0, levelX = 0.0, levelY = 0.0;
};

// Cauchy-weighted mean of values[b] over the bands in `use`, starting from
// the weighted mean. `scale` divides the disagreement; 0 when there is no weight.
double RobustMean(const BandValues& values, const std::array<bool, kBandCount>& use, const BandValues& weight,
                  double scale) {
  double sum = 0.0, total = 0.0;
  for (std::size_t b = 0; b < kBandCount; ++b) {
    if (!use[b]) continue;
    sum += weight[b] * values[b];
    total += weight[b];
  }
  if (total <= kTiny) return 0.0;
  double mean = sum / total;
  for (int step = 0; step < kReweightSteps; ++step) {
    double c = 0.0, cv = 0.0;
    for (std::size_t b = 0; b < kBandCount; ++b) {
      if (!use[b]) continue;
      const double cb = weight[b] / (1.0 + Square((values[b] - mean) / scale));
      c += cb;
      cv += cb * values[b];
    }
    if (c <= kTiny) break;
    mean = cv / c;
  }
  return mean;
}

// Whether enough trusted bands carry a tilt. A tilt taken from one band is
// only that band's inner slope, and the band offsets, which are referred to
// 1 kHz, would carry it across octaves where nothing supports it: a band
// lying 25 dB above the others takes all the weight, and a step inside it
// (a target that stops at an encoder's cut-off) became a tilt of tens of dB
// per octave with offsets of hundreds of dB in the bands far from it.
bool TiltIsCarried(const std::array<bool, kBandCount>& hasSlope, const BandValues& weight) {
  int carriers = 0;
  for (std::size_t b = 0; b < kBandCount; ++b) {
    if (hasSlope[b] && weight[b] > kTrustedWeight) ++carriers;
  }
  return carriers >= kMinTiltBands;
}

}  // namespace

BandValues BandActivity(const BandValues& levels, const BandValues& heldLevels) {
  BandValues weight{};
  for (std::size_t b = 0; b < kBandCount; ++b) {
    const double level = levels[b];
    const double held = heldLevels[b];
    const bool known = level > kNoLevelAbove && held > kNoLevelAbove;
    weight[b] = known ? std::clamp((20.0 - (held - level)) / 10.0, 0.0, 1.0) : 1.0;
  }
  return weight;
}

BandValues BandActivity(const SpectrumAnalysis& analysis) {
  return BandActivity(analysis.BandLevels(), analysis.HeldBandLevels());
}

DeviationFit FitDeviation(const ValidFlags& valid, const GridCurve& deviation, const Crossovers& crossovers,
                          const BandValues& weightIn) {
  std::array<BandSums, kBandCount> sums{};
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = kGrid.hz[i];
    const double y = deviation[i];
    if (!valid[i] || !std::isfinite(y) || !InAnalysisRange(f)) continue;
    const double x = kGrid.octave[i];
    BandSums& s = sums[static_cast<std::size_t>(BandOf(f, crossovers))];
    if (InFitRange(f)) {
      s.n += 1.0;
      s.sx += x;
      s.sxx += x * x;
      s.sy += y;
      s.sxy += x * y;
    }
    s.m += 1.0;
    s.levelX += x;
    s.levelY += y;
    lowest = std::min(lowest, y);
    highest = std::max(highest, y);
  }

  BandValues slope{};
  std::array<bool, kBandCount> hasSlope{};
  std::array<bool, kBandCount> hasLevel{};
  BandValues mean{};
  double loudest = -1e300;
  for (std::size_t b = 0; b < kBandCount; ++b) {
    const BandSums& s = sums[b];
    const double d = s.n * s.sxx - s.sx * s.sx;
    // Sums of absurdly large deviations could overflow; such a band is dropped.
    if (s.n >= kMinSlopePoints && d > kMinSlopeDenominator) {
      const double value = (s.n * s.sxy - s.sx * s.sy) / d;
      hasSlope[b] = std::isfinite(value);
      if (hasSlope[b]) slope[b] = value;
    }
    if (s.m > 0.0 && std::isfinite(s.levelY)) {
      hasLevel[b] = true;
      mean[b] = s.levelY / s.m;
      loudest = std::max(loudest, mean[b]);
    }
  }

  // A band far below the loudest one (15 to 25 dB) loses its weight.
  BandValues initialWeight{};
  for (std::size_t b = 0; b < kBandCount; ++b) {
    if (!hasLevel[b]) continue;
    const double a = loudest > -1e299 ? FadeBelow(loudest - mean[b]) : 1.0;
    initialWeight[b] = std::min(a, Clamp01(weightIn[b]));
  }

  DeviationFit fit;
  BandValues weight = initialWeight;
  for (int pass = 0; pass < kFitPasses; ++pass) {
    fit.tiltValid = TiltIsCarried(hasSlope, weight);
    const double tilt = fit.tiltValid ? RobustMean(slope, hasSlope, weight, kSlopeScale) : 0.0;
    BandValues residual{};
    for (std::size_t b = 0; b < kBandCount; ++b) {
      if (hasLevel[b]) residual[b] = (sums[b].levelY - sums[b].levelX * tilt) / sums[b].m;
    }
    const double offset = RobustMean(residual, hasLevel, weight, kLevelScale);
    fit.tilt = tilt;
    for (std::size_t b = 0; b < kBandCount; ++b) {
      fit.band[b] = hasLevel[b] ? residual[b] - offset : 0.0;
      weight[b] = std::min(FadeBelow(-fit.band[b]), initialWeight[b]);
    }
  }
  fit.weight = weight;

  // A band offset beyond the range of the deviation by more than that range
  // again is made up by the tilt, not found in the data: such a fit is not
  // reported as numbers.
  const double range = highest - lowest;
  const double limit = 2.0 * range + 1e-9 * (1.0 + range);
  fit.valid = std::any_of(hasLevel.begin(), hasLevel.end(), [](bool has) { return has; }) && std::isfinite(range);
  for (std::size_t b = 0; b < kBandCount; ++b) {
    if (hasLevel[b] && !(std::abs(fit.band[b]) <= limit)) fit.valid = false;
  }
  if (!fit.valid) {
    fit.tilt = 0.0;
    fit.band = {};
    fit.tiltValid = false;
  }
  return fit;
}

Readouts ComputeReadouts(const SpectrumAnalysis& analysis, const GridCurve& target, const Crossovers& crossovers,
                         const BandValues& weightIn) {
  Readouts readouts;
  if (!analysis.Primed() || analysis.SilenceSeconds() >= 1.0) return readouts;
  GridCurve deviation = LevelMatch(analysis, analysis.TenSecondAverage(), target);
  for (std::size_t i = 0; i < kGridPoints; ++i) deviation[i] -= target[i];
  const DeviationFit fit = FitDeviation(analysis.Valid(), deviation, crossovers, weightIn);
  if (!fit.valid) return readouts;
  readouts.tilt = fit.tilt;
  readouts.band = fit.band;
  readouts.weight = fit.weight;
  readouts.valid = true;
  return readouts;
}

CorrectionEngine::CorrectionEngine() { Configure(sampleRate_); }

void CorrectionEngine::InstallObserver() {
  // Captures one pointer: fits the function object's inline storage, so
  // installing it does not allocate either.
  analysis_.SetFrameObserver(
      [this](const GridCurve&, double meanSquare, double hopSeconds) { FrameUpdate(meanSquare, hopSeconds); });
}

void CorrectionEngine::Configure(double sampleRate) {
  if (std::isfinite(sampleRate) && sampleRate > 0.0) sampleRate_ = sampleRate;
  analysis_.Configure(sampleRate_);
  targetPowerSumCurrent_ = false;  // the valid points depend on the rate
  analysis_.SetSlowTimeConstant(kSlowTimeConstant);
  InstallObserver();
  fitBasis_.Update(CrossoversOf(settings_), sampleRate_);
  Reset();
}

void CorrectionEngine::Reset() {
  analysis_.Reset();
  currentGains_ = {};
  targetGains_ = {};
  bandSlewWeights_.fill(1.0);
  tiltValid_ = true;
  gatePeak_ = kGatePeakAfterReset;
  lastFrameLoud_ = false;
}

void CorrectionEngine::SetSettings(const CorrectionSettings& settings) {
  const auto usable = [](double hz) { return std::isfinite(hz) && hz > 0.0; };
  for (std::size_t k = 0; k < kGainCount; ++k) settings_.amount[k] = Clamp01(settings.amount[k]);
  settings_.speedSeconds = usable(settings.speedSeconds) ? settings.speedSeconds : kDefaultSpeedSeconds;
  if (usable(settings.lowCrossover)) settings_.lowCrossover = settings.lowCrossover;
  if (usable(settings.midCrossover)) settings_.midCrossover = settings.midCrossover;
  if (usable(settings.highCrossover)) settings_.highCrossover = settings.highCrossover;
  const Crossovers c = SanitizeCrossovers(settings_.lowCrossover, settings_.midCrossover, settings_.highCrossover);
  // Handing the analysis the crossovers it has would only redo its band table.
  if (c != analysis_.CurrentCrossovers()) analysis_.SetCrossovers(c.low, c.mid, c.high);
  fitBasis_.Update(CrossoversOf(settings_), sampleRate_);
}

void CorrectionEngine::SetTargetLevels(const GridCurve& levels) {
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double level = std::clamp(FiniteOrZero(levels[i]), -kTargetLimitDb, kTargetLimitDb);
    if (level != targetLevels_[i]) targetPowerSumCurrent_ = false;
    targetLevels_[i] = level;
  }
}

void CorrectionEngine::Feed(const float* left, const float* right, int count) { analysis_.Feed(left, right, count); }

void CorrectionEngine::FeedSilence(int count) { analysis_.FeedSilence(count); }

void CorrectionEngine::SeedGains(const CorrectionGains& gains) {
  for (std::size_t k = 0; k < kGainCount; ++k) currentGains_[k] = targetGains_[k] = FiniteOrZero(gains[k]);
}

void CorrectionEngine::FrameUpdate(double meanSquare, double hopSeconds) {
  if (!std::isfinite(meanSquare) || !std::isfinite(hopSeconds) || !(hopSeconds > 0.0)) return;
  // The gate peak falls by 1 dB per second of frames.
  const double level = 10.0 * std::log10(std::max(meanSquare, 1e-30));
  gatePeak_ = std::max(gatePeak_ - hopSeconds, level);
  lastFrameLoud_ = level >= gatePeak_ - kGateRangeDb;
  if (lastFrameLoud_) FitTargetGains(hopSeconds);
  Glide(hopSeconds);
}

GridCurve CorrectionEngine::DeviationFromTarget() {
  // LevelMatch of the slow average against the target levels, minus the
  // target, with the same sums in the same order; the target's power over
  // the analysis range changes only with the target and the rate, so it is
  // summed again only then.
  const ValidFlags& valid = analysis_.Valid();
  if (!targetPowerSumCurrent_) {
    targetPowerSum_ = 0.0;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      if (valid[i] && InAnalysisRange(kGrid.hz[i])) targetPowerSum_ += std::pow(10.0, targetLevels_[i] / 10.0);
    }
    targetPowerSumCurrent_ = true;
  }
  const GridCurve& powers = analysis_.SlowAverage();
  GridCurve deviation{};
  double powerSum = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    deviation[i] = 10.0 * std::log10(std::max(powers[i], 1e-30));
    if (valid[i] && InAnalysisRange(kGrid.hz[i])) powerSum += powers[i];
  }
  if (targetPowerSum_ > 0.0 && powerSum > 0.0) {
    const double offset = 10.0 * std::log10(targetPowerSum_ / powerSum);
    for (double& value : deviation) value += offset;
  }
  for (std::size_t i = 0; i < kGridPoints; ++i) deviation[i] -= targetLevels_[i];
  return deviation;
}

void CorrectionEngine::FitTargetGains(double hopSeconds) {
  const GridCurve deviation = DeviationFromTarget();
  const BandValues activity = BandActivity(analysis_);
  const Crossovers crossovers =
      SanitizeCrossovers(settings_.lowCrossover, settings_.midCrossover, settings_.highCrossover);
  const DeviationFit fit = FitDeviation(analysis_.Valid(), deviation, crossovers, activity);
  // Nothing sound to correct towards: the gains glide on towards their last targets.
  if (!fit.valid) return;

  BandValues weighted{};
  int trustedBands = 0;
  int settledBands = 0;
  for (std::size_t b = 0; b < kBandCount; ++b) {
    // A band's weight may fall at once but rises by at most 1 per second.
    bandSlewWeights_[b] = std::min(bandSlewWeights_[b] + hopSeconds, fit.weight[b]);
    weighted[b] = fit.band[b] * fit.weight[b];
    if (fit.weight[b] > kTrustedWeight) ++trustedBands;
    if (bandSlewWeights_[b] > kTrustedWeight) ++settledBands;
  }
  // A tilt needs at least two bands to lean on, in the fit and in the glide.
  tiltValid_ = fit.tiltValid && trustedBands >= kMinTiltBands && settledBands >= kMinTiltBands;
  const double tilt = tiltValid_ ? fit.tilt : 0.0;

  // The opposite of the weighted deviation: cut where the spectrum is above the target.
  GridCurve curve{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = kGrid.hz[i];
    if (!InAnalysisRange(f)) continue;
    const auto b = static_cast<std::size_t>(BandOf(f, crossovers));
    curve[i] = -(kGrid.octave[i] * tilt * settings_.amount[kTiltGain] + weighted[b] * settings_.amount[1 + b]);
  }

  SectionOffFlags sectionOff{};
  sectionOff[kTiltGain] = !tiltValid_;
  for (std::size_t b = 0; b < kBandCount; ++b) sectionOff[1 + b] = bandSlewWeights_[b] <= 0.5;

  const CorrectionGains fitted = FitEqGains(curve, settings_, sampleRate_, sectionOff, currentGains_, fitBasis_);
  // FitEqGains already falls back to the current gains on a failed solve; this
  // keeps a stray non-finite value from ever reaching the glide.
  for (std::size_t k = 0; k < kGainCount; ++k) {
    if (std::isfinite(fitted[k])) targetGains_[k] = fitted[k];
  }
}

void CorrectionEngine::Glide(double hopSeconds) {
  const double tau = std::max(settings_.speedSeconds * 0.25, 0.25);
  const double a = 1.0 - std::exp(-hopSeconds / tau);
  // Held: the tilt while it is not valid, a band while its slew weight is 0.
  if (tiltValid_) currentGains_[kTiltGain] += (targetGains_[kTiltGain] - currentGains_[kTiltGain]) * a;
  for (std::size_t b = 0; b < kBandCount; ++b) {
    const std::size_t k = 1 + b;
    currentGains_[k] += (targetGains_[k] - currentGains_[k]) * a * bandSlewWeights_[b];
  }
}

}  // namespace ombrix::dsp
