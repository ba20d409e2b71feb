#include "dsp/editor_snapshot.h"

#include "dsp/grid_curves.h"
#include "library/current_target.h"

namespace ombrix::dsp {

void SpectrumSnapshot::UpdateTargetSnapshot(const SnapshotInputs& in) {
  UpdateTarget(in);
  // Nothing is corrected while bypassed: the display hides the correction
  // curve and the output until the full tick runs again.
  view_.correcting = false;
  view_.outputValid = false;
}

void SpectrumSnapshot::UpdateTarget(const SnapshotInputs& in) {
  if (in.sampleRate != lastSampleRate_) {
    input_.Configure(in.sampleRate);
    output_.Configure(in.sampleRate);
    ++inputGeneration_;
    ++outputGeneration_;
    crossovers_.reset();
    lastSampleRate_ = in.sampleRate;
    left_.assign(kDrainFrames, 0.0f);
    right_.assign(kDrainFrames, 0.0f);
  }
  bool changed = false;
  if (in.target != nullptr) {
    // The whole record (two curves) is copied only when the target changed.
    const std::uint64_t revision = in.target->Revision();
    if (revision != targetRevision_) {
      const TargetChoice choice = in.target->Get();
      targetLevels_ = choice.curve;
      targetSpread_ = choice.spread;
      targetRevision_ = revision;
      changed = true;
    }
  }
  const int m = ResolutionHalfWidth(in.resolution);
  if (changed || m != targetResolution_ || input_.Valid() != targetValid_ || targetVersion_ == 0) {
    view_.target = SmoothAcrossFrequency(targetLevels_, input_.Valid(), m, SmoothingMode::kPowerAverage);
    view_.spread = SmoothAcrossFrequency(targetSpread_, input_.Valid(), m, SmoothingMode::kPlainAverage);
    targetResolution_ = m;
    targetValid_ = input_.Valid();
    ++targetVersion_;
  }
  view_.valid = input_.Valid();
}

void SpectrumSnapshot::Drain(AnalysisFifo& fifo, SpectrumAnalysis& analysis) {
  for (;;) {
    const int n = fifo.Read(left_.data(), right_.data(), kDrainFrames);
    if (n <= 0) return;
    analysis.Feed(left_.data(), right_.data(), n);
  }
}

void SpectrumSnapshot::BuildSpectrumSnapshot(const SnapshotInputs& in) {
  UpdateTarget(in);
  const int m = ResolutionHalfWidth(in.resolution);

  const Crossovers crossovers = SanitizeCrossovers(in.lowCrossover, in.midCrossover, in.highCrossover);
  if (crossovers_ != crossovers) {
    input_.SetCrossovers(crossovers.low, crossovers.mid, crossovers.high);
    output_.SetCrossovers(crossovers.low, crossovers.mid, crossovers.high);
    crossovers_ = crossovers;
    ++inputGeneration_;
    ++outputGeneration_;
  }

  if (in.inputFifo != nullptr) Drain(*in.inputFifo, input_);

  const bool correcting = in.correct && !in.bypass;
  if (correcting && !correctingLastTick_) {
    output_.Reset();
    ++outputGeneration_;
    if (in.outputFifo != nullptr) in.outputFifo->Discard();
  }
  correctingLastTick_ = correcting;
  if (in.outputFifo != nullptr) Drain(*in.outputFifo, output_);

  const AnalyserState input = StateOf(input_, inputGeneration_), output = StateOf(output_, outputGeneration_);
  const CurveInputs inputCurves{input, targetVersion_, m};
  if (inputCurves != inputCurvesFrom_) {
    view_.inputFast = LevelMatch(input_, input_.FastAverage(), view_.target);
    view_.inputSpectrum = SmoothAcrossFrequency(LevelMatch(input_, input_.SlowAverage(), view_.target), view_.valid,
                                                m, SmoothingMode::kPowerAverage);
    inputCurvesFrom_ = inputCurves;
  }
  view_.outputValid = correcting && output_.Primed() && output_.SilenceSeconds() < 1.0;
  const CurveInputs outputCurves{output, targetVersion_, m};
  if (view_.outputValid && outputCurves != outputCurvesFrom_) {
    view_.outputSpectrum = SmoothAcrossFrequency(LevelMatch(output_, output_.SlowAverage(), view_.target),
                                                 view_.valid, m, SmoothingMode::kPowerAverage);
    outputCurvesFrom_ = outputCurves;
  }
  view_.inputValid = input_.Primed() && input_.SilenceSeconds() < 1.0;

  const BandValues weights = (correcting && !in.freeze) ? in.bandSlewWeights : BandActivity(input_);
  const ReadoutInputs readoutInputs{input,         output,          view_.outputValid, targetVersion_,
                                    crossovers.low, crossovers.mid, crossovers.high,   weights};
  if (readoutInputs != readoutsFrom_) {
    readouts_ = ComputeReadouts(view_.outputValid ? output_ : input_, view_.target, crossovers, weights);
    readoutsFrom_ = readoutInputs;
  }

  appliedGains_ = in.appliedGains;
  view_.correcting = correcting;
  view_.frozen = in.freeze;
  const CorrectionInputs correction{appliedGains_, in.lowCrossover, in.midCrossover, in.highCrossover, in.sampleRate};
  if (correcting && correction != correctionFrom_) {
    const EqDesign design =
        DesignEq(appliedGains_, Crossovers{in.lowCrossover, in.midCrossover, in.highCrossover}, in.sampleRate);
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double f = GridFrequency(i);
      view_.correctionCurve[i] = f < in.sampleRate / 2.0 ? EqResponseDb(design, f, in.sampleRate) : 0.0;
    }
    correctionFrom_ = correction;
  }
}

}  // namespace ombrix::dsp
