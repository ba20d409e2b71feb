#pragma once
// Design of the six-section correction equaliser, its response on the
// frequency grid, the +-6 dB limiter and the least-squares gain fit.
#include <array>
#include <cstddef>

#include "core/correction_settings.h"
#include "core/frequency_grid.h"

namespace ombrix {

// Equaliser gains in dB, in the order tilt, Low, Lo-Mid, Hi-Mid, High.
// The tilt gain is that of a pair of opposite shelves at 1 kHz.
using CorrectionGains = std::array<double, 5>;
inline constexpr std::size_t kGainCount = 5;
inline constexpr std::size_t kTiltGain = 0;
inline constexpr std::size_t kLowGain = 1;
inline constexpr std::size_t kLoMidGain = 2;
inline constexpr std::size_t kHiMidGain = 3;
inline constexpr std::size_t kHighGain = 4;

// Per-section "hold at current gain" flags for the fit, in gain order.
using SectionOffFlags = std::array<bool, 5>;

// (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)
struct BiquadCoefficients {
  double b0 = 1.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
};

inline constexpr std::size_t kEqSections = 6;
using EqDesign = std::array<BiquadCoefficients, kEqSections>;

inline constexpr double kEqLimitDb = 6.0;

// Six sections in processing order: tilt low shelf, tilt high shelf (both at
// 1 kHz), Low shelf, Lo-Mid peak, Hi-Mid peak, High shelf. The crossovers are
// the user's; they are made at least an octave apart here. Every section
// frequency is held at or below 0.49 * sampleRate.
EqDesign DesignEq(const CorrectionGains& gains, const dsp::Crossovers& crossovers, double sampleRate);

// Summed magnitude response of the six sections in dB at a frequency in Hz.
double EqResponseDb(const EqDesign& design, double frequency, double sampleRate);

// Scales the gains (at most four times) until the designed EQ stays within
// +-6 dB on the grid points below 0.45 * sampleRate. Non-finite gains count as 0.
CorrectionGains LimitGains(const CorrectionGains& gains, const dsp::Crossovers& crossovers, double sampleRate);

// The responses of the five unit-gain designs on the grid, kept for one set
// of crossovers and one sample rate. FitEqGains spends most of its time here,
// so an owner that fits every frame keeps one of these and hands it in.
// Fixed size, never allocates.
class EqFitBasis {
 public:
  // Recomputes only when the effective crossovers or the rate changed.
  void Update(const dsp::Crossovers& crossovers, double sampleRate);

  double sampleRate() const { return sampleRate_; }
  const dsp::Crossovers& crossovers() const { return effective_; }
  // Number of leading grid points below 0.45 * sampleRate.
  std::size_t pointsBelowLimit() const { return pointsBelowLimit_; }
  // sin^2(pi f_i / fs) of every grid point, the response's frequency term.
  const dsp::GridCurve& halfAngleSineSquared() const { return phi_; }
  // Band (0..3) of grid point i when the fit uses it (40 Hz .. 16 kHz and
  // below 0.45 * sampleRate), otherwise -1.
  int fitBand(std::size_t i) const { return fitBand_[i]; }
  // Response in dB of the unit design for gain k at grid point i.
  double response(std::size_t i, std::size_t k) const { return response_[i][k]; }

 private:
  bool valid_ = false;
  double sampleRate_ = 0.0;
  dsp::Crossovers effective_{};
  std::size_t pointsBelowLimit_ = 0;
  dsp::GridCurve phi_{};
  std::array<signed char, dsp::kGridPoints> fitBand_{};
  std::array<std::array<double, kGainCount>, dsp::kGridPoints> response_{};
};

// Least-squares fit of the five gains to a desired correction curve (dB on
// the grid) over 40 Hz .. 16 kHz, with a small ridge. Sections flagged off are
// held at their current gain and their band's points are left out. The result
// is limited with LimitGains; if the solve goes non-finite, the current gains
// (limited) are returned instead.
CorrectionGains FitEqGains(const dsp::GridCurve& curve, const CorrectionSettings& settings, double sampleRate,
                           const SectionOffFlags& sectionOff, const CorrectionGains& current);
// The same fit with a caller-owned basis cache (no trigonometry per call once
// the crossovers and rate settle).
CorrectionGains FitEqGains(const dsp::GridCurve& curve, const CorrectionSettings& settings, double sampleRate,
                           const SectionOffFlags& sectionOff, const CorrectionGains& current, EqFitBasis& basis);

// The five "Frozen" values (dB, gain order) scaled by the settings' amounts and limited.
CorrectionGains FrozenGains(const CorrectionSettings& settings, const CorrectionGains& frozen, double sampleRate);

// Slope in dB per octave of the designed tilt (crossovers at their defaults),
// by a straight-line fit over 40 Hz .. 16 kHz below 0.45 * sampleRate.
double TiltSlope(double tiltGain, double sampleRate);

// The tilt gain within -24..+24 dB whose TiltSlope is the given slope (the
// nearest end of that range for slopes beyond it).
double TiltGainForSlope(double slope, double sampleRate);

// The crossovers of a settings record, as the designs take them.
inline dsp::Crossovers CrossoversOf(const CorrectionSettings& settings) {
  return dsp::Crossovers{settings.lowCrossover, settings.midCrossover, settings.highCrossover};
}

}  // namespace ombrix
