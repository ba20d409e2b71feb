#pragma once
// What the editor draws, rebuilt on the editor thread every idle tick from the
// plug-in's two display FIFOs: its own input and output analysers, the
// smoothed target, the correction curve and the band readouts.
#include <vector>

#include "core/eq_design.h"
#include "dsp/analysis_fifo.h"
#include "dsp/correction_engine.h"
#include "core/frequency_grid.h"
#include "dsp/band_analyser.h"

namespace ombrix {
class CurrentTarget;
}

namespace ombrix::dsp {

struct SpectrumView {
  GridCurve inputSpectrum{};   // slow average, level-matched to the target, smoothed
  GridCurve target{};          // smoothed (power average)
  GridCurve spread{};          // smoothed (plain average)
  GridCurve inputFast{};       // 0.3 s average, level-matched, not smoothed
  GridCurve outputSpectrum{};  // updated only while outputValid
  bool outputValid = false;
  GridCurve correctionCurve{};  // EQ response of the applied gains; updated only while correcting
  bool correcting = false;
  bool frozen = false;
  ValidFlags valid{};
  bool inputValid = false;
};

// The plug-in state one tick reads.
struct SnapshotInputs {
  double sampleRate = 48000.0;
  const CurrentTarget* target = nullptr;
  int resolution = 2;
  double lowCrossover = 200.0;  // as the parameters stand
  double midCrossover = 2000.0;
  double highCrossover = 6000.0;
  bool correct = false;
  bool bypass = false;  // the parameter or the host's bypass
  bool freeze = false;
  AnalysisFifo* inputFifo = nullptr;
  AnalysisFifo* outputFifo = nullptr;
  CorrectionGains appliedGains{};
  BandValues bandSlewWeights{1.0, 1.0, 1.0, 1.0};
};

class SpectrumSnapshot {
 public:
  static constexpr int kDrainFrames = 4096;

  // Only the sample-rate check and the target curves (while bypassed).
  void UpdateTargetSnapshot(const SnapshotInputs& in);
  // The full tick: drains both FIFOs into the analysers and rebuilds
  // everything.
  void BuildSpectrumSnapshot(const SnapshotInputs& in);

  // Makes the next tick configure both analysers afresh (editor reopened).
  void ForgetSampleRate() { lastSampleRate_ = 0.0; }

  const SpectrumView& View() const { return view_; }
  const Readouts& CurrentReadouts() const { return readouts_; }
  const CorrectionGains& AppliedGains() const { return appliedGains_; }
  SpectrumAnalysis& InputAnalyser() { return input_; }
  SpectrumAnalysis& OutputAnalyser() { return output_; }

 private:
  void Drain(AnalysisFifo& fifo, SpectrumAnalysis& analysis);

  SpectrumAnalysis input_;
  SpectrumAnalysis output_;
  double lastSampleRate_ = 0.0;
  std::vector<float> left_, right_;
  bool correctingLastTick_ = false;
  SpectrumView view_;
  Readouts readouts_;
  CorrectionGains appliedGains_{};
  GridCurve targetLevels_{};
  GridCurve targetSpread_{};
};

}  // namespace ombrix::dsp
