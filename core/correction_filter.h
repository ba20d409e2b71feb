#pragma once
// The correction equaliser on the audio thread: six biquad sections per
// channel (transposed direct form II, double precision) following the gains
// and crossovers handed in, redesigned at most once per 32 samples.
// Process never allocates, locks or waits.
#include <array>

#include "core/eq_design.h"
#include "core/frequency_grid.h"

namespace ombrix {

class CorrectionFilter {
 public:
  static constexpr int kMaxChannels = 2;
  static constexpr int kCheckInterval = 32;        // samples between target checks
  static constexpr double kRedesignThreshold = 1e-4;  // dB or Hz

  CorrectionFilter();

  // Sets the rate, zero gains, crossovers 200/2000/6000 Hz, loads the
  // coefficients and clears the state. A rate that is not a positive finite
  // number is taken as 48 kHz.
  void Prepare(double sampleRate);

  // Stores the gains and user crossovers to follow; applied at the next check.
  void SetTarget(const CorrectionGains& gains, double lowCrossover, double midCrossover, double highCrossover);

  // Zeroes every section's state and makes the next sample a check point.
  void ClearState();

  // Whether every section's state is zero: silence then stays silence.
  bool AtRest() const;
  // What Process does to a block of zeros while AtRest: the output stays
  // zero, so only the redesign checks are made, at the samples Process
  // would make them.
  void AdvanceThroughSilence(int frames);

  // Filters the first min(channelCount, 2) channels in place.
  void Process(double* const* channels, int channelCount, int frames);
  // Float buffers are filtered in double and rounded back on the way out.
  void Process(float* const* channels, int channelCount, int frames);

  // Whether the stereo cascade runs on AVX where the CPU has it (the
  // default); the output is the same either way.
  void AllowAvx(bool allowed);
  bool UsesAvx() const { return avx_; }

  double sampleRate() const { return sampleRate_; }
  const CorrectionGains& appliedGains() const { return appliedGains_; }
  const dsp::Crossovers& appliedCrossovers() const { return appliedCrossovers_; }
  const EqDesign& design() const { return design_; }

 private:
  struct SectionState {
    double z1 = 0.0;
    double z2 = 0.0;
  };
  using ChannelState = std::array<SectionState, kEqSections>;

  void RedesignIfMoved();
  // Splits a block at the redesign checks (one every 32 samples, carried
  // across calls) and calls run(first frame, length) for each piece.
  template <typename RunFunction>
  void RunBetweenChecks(int frames, RunFunction run);
  template <typename Sample>
  void ProcessBlock(Sample* const* channels, int channelCount, int frames);
  template <typename Sample>
  void RunChannel(ChannelState& state, Sample* samples, int count);
  template <typename Sample>
  void Run(Sample* const* channels, int channelCount, int offset, int count);
  void FlushTinyState();

  double sampleRate_ = 48000.0;
  CorrectionGains appliedGains_{};
  CorrectionGains targetGains_{};
  dsp::Crossovers appliedCrossovers_{};
  dsp::Crossovers targetCrossovers_{};
  EqDesign design_{};  // the same coefficients serve both channels
  std::array<ChannelState, kMaxChannels> state_{};
  int countdown_ = 0;
  bool avx_ = false;
};

}  // namespace ombrix
