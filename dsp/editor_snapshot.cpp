#include "dsp/editor_snapshot.h"

#include "dsp/grid_curves.h"
#include "library/current_target.h"

namespace ombrix::dsp {

void SpectrumSnapshot::UpdateTargetSnapshot(const SnapshotInputs& in) {
  if (in.sampleRate != lastSampleRate_) {
    input_.Configure(in.sampleRate);
    output_.Configure(in.sampleRate);
    lastSampleRate_ = in.sampleRate;
    left_.assign(kDrainFrames, 0.0f);
    right_.assign(kDrainFrames, 0.0f);
  }
  if (in.target != nullptr) {
    const TargetChoice choice = in.target->Get();
    targetLevels_ = choice.curve;
    targetSpread_ = choice.spread;
  }
  const int m = ResolutionHalfWidth(in.resolution);
  view_.target = SmoothAcrossFrequency(targetLevels_, input_.Valid(), m, SmoothingMode::kPowerAverage);
  view_.spread = SmoothAcrossFrequency(targetSpread_, input_.Valid(), m, SmoothingMode::kPlainAverage);
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
  UpdateTargetSnapshot(in);
  const int m = ResolutionHalfWidth(in.resolution);

  const Crossovers crossovers = SanitizeCrossovers(in.lowCrossover, in.midCrossover, in.highCrossover);
  input_.SetCrossovers(crossovers.low, crossovers.mid, crossovers.high);
  output_.SetCrossovers(crossovers.low, crossovers.mid, crossovers.high);

  if (in.inputFifo != nullptr) Drain(*in.inputFifo, input_);

  const bool correcting = in.correct && !in.bypass;
  if (correcting && !correctingLastTick_) {
    output_.Reset();
    if (in.outputFifo != nullptr) in.outputFifo->Discard();
  }
  correctingLastTick_ = correcting;
  if (in.outputFifo != nullptr) Drain(*in.outputFifo, output_);

  view_.inputFast = LevelMatch(input_, input_.FastAverage(), view_.target);
  view_.inputSpectrum = SmoothAcrossFrequency(LevelMatch(input_, input_.SlowAverage(), view_.target), view_.valid, m,
                                              SmoothingMode::kPowerAverage);
  view_.outputValid = correcting && output_.Primed() && output_.SilenceSeconds() < 1.0;
  if (view_.outputValid)
    view_.outputSpectrum = SmoothAcrossFrequency(LevelMatch(output_, output_.SlowAverage(), view_.target),
                                                 view_.valid, m, SmoothingMode::kPowerAverage);
  view_.inputValid = input_.Primed() && input_.SilenceSeconds() < 1.0;

  const BandValues weights = (correcting && !in.freeze) ? in.bandSlewWeights : BandActivity(input_);
  readouts_ = ComputeReadouts(view_.outputValid ? output_ : input_, view_.target, crossovers, weights);

  appliedGains_ = in.appliedGains;
  view_.correcting = correcting;
  view_.frozen = in.freeze;
  if (correcting) {
    const EqDesign design =
        DesignEq(appliedGains_, Crossovers{in.lowCrossover, in.midCrossover, in.highCrossover}, in.sampleRate);
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double f = GridFrequency(i);
      view_.correctionCurve[i] = f < in.sampleRate / 2.0 ? EqResponseDb(design, f, in.sampleRate) : 0.0;
    }
  }
}

}  // namespace ombrix::dsp
