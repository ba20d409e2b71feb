#pragma once
// Turns the analysed spectrum into correction gains: a robust fit of the
// deviation from the target (overall tilt plus four band offsets), the
// editor's readouts built on it, and the engine that fits, gates and glides
// the five equaliser gains frame by frame.
#include <array>

#include "core/correction_settings.h"
#include "core/eq_design.h"
#include "core/frequency_grid.h"
#include "dsp/band_analyser.h"

namespace ombrix::dsp {

// Result of FitDeviation: tilt in dB per octave, band offsets in dB relative
// to the robust mean of the bands, and how far each band can be trusted (0..1).
struct DeviationFit {
  double tilt = 0.0;
  BandValues band{};
  BandValues weight{};
  // At least two trusted bands carried the tilt; otherwise it is 0.
  bool tiltValid = false;
  // The fit stayed within the range of its data; otherwise tilt and bands
  // are 0 and mean nothing (as when there were no points at all).
  bool valid = false;
};

// What the editor shows of the deviation from the target.
struct Readouts {
  double tilt = 0.0;  // dB per octave
  BandValues band{};  // dB
  BandValues weight{1.0, 1.0, 1.0, 1.0};
  bool valid = false;
};

// Per band: 1 while the band level is within 10 dB of its held level, falling
// to 0 at 20 dB below; 1 when either level is missing (-300).
BandValues BandActivity(const BandValues& levels, const BandValues& heldLevels);
BandValues BandActivity(const SpectrumAnalysis& analysis);

// Robust tilt-and-band fit of a deviation curve (dB on the grid) over the
// valid points, by the given (sanitised) crossovers. Points whose deviation is
// not finite are left out. weightIn caps each band's weight (non-finite: 0).
// A band without points has offset 0 and weight 0. The tilt is fitted only
// while at least two bands with a slope have a weight above 0.5; a fit whose
// band offsets leave the range of the deviation (by more than that range
// again) is not valid.
DeviationFit FitDeviation(const ValidFlags& valid, const GridCurve& deviation, const Crossovers& crossovers,
                          const BandValues& weightIn);

// The fit of the analysis's 10-second average, level matched to the target,
// against the target. Not valid (zeros, weights 1) before the first frame,
// after a second of silence, or when the fit is not valid.
Readouts ComputeReadouts(const SpectrumAnalysis& analysis, const GridCurve& target, const Crossovers& crossovers,
                         const BandValues& weightIn);

// Owns a SpectrumAnalysis and, on every non-silent frame it analyses, fits
// the deviation from the target and moves the correction gains.
//
// One owner thread at a time (the correction worker, or the audio thread
// while the host renders offline). The constructor and the first Configure
// allocate; after that Feed, FrameUpdate, Reset, SetSettings,
// SetTargetLevels and SeedGains never allocate, lock or wait.
class CorrectionEngine {
 public:
  static constexpr double kSlowTimeConstant = 1.0;  // seconds
  // A frame more than this far below the gate peak is not loud.
  static constexpr double kGateRangeDb = 20.0;
  static constexpr double kGatePeakAfterReset = -200.0;

  // Configured for 48 kHz.
  CorrectionEngine();
  // The analysis calls back into this object: it must stay where it is.
  CorrectionEngine(const CorrectionEngine&) = delete;
  CorrectionEngine& operator=(const CorrectionEngine&) = delete;

  // Prepares the analysis for the rate (slow time constant 1 s, this engine
  // as its frame observer), then Reset. A rate that is not a positive finite
  // number keeps the previous rate.
  void Configure(double sampleRate);
  // Restarts the analysis; gains 0, band slew weights 1, tilt valid, gate
  // open. Settings and target levels stay.
  void Reset();
  // Amounts are clamped to 0..1 (non-finite: 0), a speed that is not a
  // positive finite number becomes 15 s, a crossover that is not one keeps
  // its previous value. The sanitised crossovers go to the analysis.
  void SetSettings(const CorrectionSettings& settings);
  // A copy of the target curve; non-finite levels become 0 dB and the rest
  // is held within +-300 dB.
  void SetTargetLevels(const GridCurve& levels);
  // Straight to the analysis (right may be null for mono).
  void Feed(const float* left, const float* right, int count);
  // Feed of `count` frames of zeros, more cheaply.
  void FeedSilence(int count);
  // Sets current and target gains alike (non-finite values become 0).
  void SeedGains(const CorrectionGains& gains);

  // The per-frame update the analysis calls for every non-silent frame:
  // gate, fit on loud frames, glide on every frame.
  void FrameUpdate(double meanSquare, double hopSeconds);

  double SampleRate() const { return sampleRate_; }
  const SpectrumAnalysis& Analysis() const { return analysis_; }
  const GridCurve& TargetLevels() const { return targetLevels_; }
  const CorrectionSettings& Settings() const { return settings_; }
  const CorrectionGains& CurrentGains() const { return currentGains_; }
  const CorrectionGains& TargetGains() const { return targetGains_; }
  const BandValues& BandSlewWeights() const { return bandSlewWeights_; }
  bool TiltValid() const { return tiltValid_; }
  double GatePeak() const { return gatePeak_; }
  bool LastFrameLoud() const { return lastFrameLoud_; }

 private:
  void InstallObserver();
  GridCurve DeviationFromTarget();
  void FitTargetGains(double hopSeconds);
  void Glide(double hopSeconds);

  double sampleRate_ = 48000.0;
  SpectrumAnalysis analysis_;
  GridCurve targetLevels_{};
  // The target levels' power summed over the valid points of the analysis
  // range, for the level match of every loud frame.
  double targetPowerSum_ = 0.0;
  bool targetPowerSumCurrent_ = false;
  CorrectionSettings settings_{};
  CorrectionGains currentGains_{};
  CorrectionGains targetGains_{};
  BandValues bandSlewWeights_{1.0, 1.0, 1.0, 1.0};
  bool tiltValid_ = true;
  double gatePeak_ = kGatePeakAfterReset;
  bool lastFrameLoud_ = false;
  // Unit-gain responses of the equaliser for the current crossovers and rate,
  // so the per-frame gain fit does no trigonometry.
  EqFitBasis fitBasis_;
};

}  // namespace ombrix::dsp
