#pragma once
// What the editor draws, rebuilt on the editor thread every idle tick from the
// plug-in's two display FIFOs: its own input and output analysers, the
// smoothed target, the correction curve and the band readouts.
#include <cstdint>
#include <optional>
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

  // The tick while bypassed: only the sample-rate check and the target
  // curves; the view shows nothing corrected.
  void UpdateTargetSnapshot(const SnapshotInputs& in);
  // The full tick: drains both FIFOs into the analysers and rebuilds what
  // its inputs changed (new analysis frames, the target, the resolution, the
  // crossovers, the applied gains); the rest keeps its values, which are what
  // a full rebuild would give.
  void BuildSpectrumSnapshot(const SnapshotInputs& in);

  const SpectrumView& View() const { return view_; }
  const Readouts& CurrentReadouts() const { return readouts_; }
  const CorrectionGains& AppliedGains() const { return appliedGains_; }
  SpectrumAnalysis& InputAnalyser() { return input_; }
  SpectrumAnalysis& OutputAnalyser() { return output_; }

 private:
  void UpdateTarget(const SnapshotInputs& in);
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

  // What the curves were last computed from. An analyser's state is named by
  // how often it was configured or reset and how many frames it analysed.
  struct AnalyserState {
    std::uint64_t generation = 0;
    std::uint64_t frames = 0;
    bool operator==(const AnalyserState&) const = default;
  };
  AnalyserState StateOf(const SpectrumAnalysis& analysis, std::uint64_t generation) const {
    return {generation, analysis.FramesAnalysed()};
  }
  std::uint64_t inputGeneration_ = 0, outputGeneration_ = 0;
  std::optional<std::uint64_t> targetRevision_;  // of the target read last
  std::uint64_t targetVersion_ = 0;               // counts changes of the smoothed target
  int targetResolution_ = -1;
  ValidFlags targetValid_{};
  std::optional<Crossovers> crossovers_;
  struct CurveInputs {
    AnalyserState analyser;
    std::uint64_t targetVersion = ~0ULL;
    int resolution = -1;
    bool operator==(const CurveInputs&) const = default;
  };
  std::optional<CurveInputs> inputCurvesFrom_, outputCurvesFrom_;
  struct ReadoutInputs {
    AnalyserState input, output;
    bool fromOutput = false;
    std::uint64_t targetVersion = ~0ULL;
    double low = 0.0, mid = 0.0, high = 0.0;
    BandValues weights{};
    bool operator==(const ReadoutInputs&) const = default;
  };
  std::optional<ReadoutInputs> readoutsFrom_;
  struct CorrectionInputs {
    CorrectionGains gains{};
    double low = 0.0, mid = 0.0, high = 0.0, sampleRate = 0.0;
    bool operator==(const CorrectionInputs&) const = default;
  };
  std::optional<CorrectionInputs> correctionFrom_;
};

}  // namespace ombrix::dsp
