#pragma once
// Loudness meter after ITU-R BS.1770-4 / EBU R 128: K-weighting designed from
// its analogue prototypes at any sample rate, 100 ms blocks, 400 ms momentary
// and 3 s short-term loudness, gated integrated loudness (absolute gate
// -70 LUFS, relative gate 10 LU below the ungated level) and the loudness
// range after EBU Tech 3342 (the short-term values of every 100 ms, relative
// gate 20 LU, 10th to 95th percentile), both kept in 0.05 LU histograms
// (LoudnessHistogram), so memory and time per block stay constant however
// long the measurement runs.
//
// Over silence every finished block pushes a zero into the block ring: after
// 4 blocks the momentary and after 30 the short-term value read -150 and no
// histogram changes any more, so a run of silent blocks beyond the 30th only
// advances the block count (see AdvanceSilentBlocks).
//
// Real-time safe: all state is held in the object (no allocation after
// construction), Process takes no lock and never waits.
//
// Non-finite input: a NaN or infinite sample is read as 0 (silence) and finite
// samples beyond +-1e30 are clamped there, so the filters, the block ring and
// the histogram only ever hold finite values. As a second line of defence a
// filter state found non-finite (or denormal-small) at the end of a stretch of
// samples is cleared; a non-finite block sum is dropped.
#include <array>
#include <cstdint>

#include "dsp/loudness_histogram.h"
#include "dsp/loudness_reading.h"

// Two channels' filters share one register (SSE2 on x86-64, NEON on arm64).
#if defined(__GNUC__) || defined(__clang__)
#define OMBRIX_STEREO_PAIRS 1
#endif

namespace ombrix::dsp {

class LoudnessMeter {
 public:
  static constexpr int kMaxChannels = 2;
  static constexpr int kRingBlocks = 30;          // 30 x 100 ms = 3 s short-term window
  static constexpr int kGatingBlocks = 4;         // 400 ms gating block
  static constexpr int kHistogramBins = LoudnessHistogram::kBins;
  static constexpr double kAbsoluteGate = LoudnessHistogram::kAbsoluteGate;
  static constexpr double kRelativeGate = -10.0;  // LU below the ungated mean
  static constexpr double kBinWidth = LoudnessHistogram::kBinWidth;
  static constexpr double kRangeGate = -20.0;  // LU below the mean short-term level
  static constexpr double kRangeLowPercentile = 0.10;
  static constexpr double kRangeHighPercentile = 0.95;
  static constexpr double kOffset = LoudnessHistogram::kOffset;

  // One biquad in transposed direct form II, a0 normalised to 1.
  struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  };

  // Configures for 48 kHz.
  LoudnessMeter();

  // Filters and block length for the rate, clears the whole stream (filter
  // states, block ring, short-term value), then Reset. Rates that are not a
  // positive finite number are taken as 48 kHz.
  void Configure(double sampleRate);
  void Prepare(double sampleRate) { Configure(sampleRate); }

  // Clears the integrated measurement: histograms, integrated loudness, the
  // maximum momentary loudness and the loudness range (-150), blocks since
  // reset. When the current 100 ms block has already collected
  // samples it is still finished for the short-term value but kept out of the
  // integrated one. Filters, block ring and short-term value are kept.
  void Reset();

  // Measures the first two channels (a single channel alone, not doubled) and
  // returns the number of 100 ms blocks completed during the call. Returns 0
  // and does nothing for a null array, a null channel pointer, no channels or
  // numFrames <= 0.
  int Process(const double* const* channels, int numChannels, int numFrames);
  int Process(const float* const* channels, int numChannels, int numFrames);

  // Whether the K-weighting filters have come to rest (all state zero):
  // zeros in then leave everything but the block counts as it is.
  bool AtRest() const;
  // What Process does with numFrames of zeros while AtRest, at a fraction of
  // the cost; returns the 100 ms blocks completed.
  int ProcessSilence(int numFrames);

  double ShortTermLoudness() const { return shortTerm_; }    // LUFS, -150 for nothing
  double MomentaryLoudness() const { return momentary_; }    // LUFS, last 400 ms
  double MaxMomentaryLoudness() const { return maxMomentary_; }  // LUFS, since the reset
  double IntegratedLoudness() const { return integrated_; }  // LUFS, -150 for nothing
  double LoudnessRange() const { return loudnessRange_; }    // LU, -150 for nothing
  // The histograms behind the integrated loudness (400 ms blocks) and the
  // loudness range (3 s short-term values), to measure files as one programme.
  const LoudnessHistogram& GatingHistogram() const { return gatingHistogram_; }
  const LoudnessHistogram& ShortTermHistogram() const { return shortTermHistogram_; }
  int BlocksSinceReset() const { return blocksSinceReset_; }

  // Whether finished blocks count towards what is measured since the reset
  // (integrated loudness and its time, maximum momentary loudness, loudness
  // range). Off while the host's transport stands still: short-term and
  // momentary values go on, the rest pauses. A window counts only when all
  // its blocks counted.
  void SetIntegrating(bool on) { integrating_ = on; }
  double IntegratedSeconds() const { return blocksSinceReset_ * 0.1; }

  int BlockLength() const { return blockLength_; }
  const Biquad& PreFilter() const { return stage1_; }  // high shelf
  const Biquad& HighPass() const { return stage2_; }   // RLB high-pass

  // The two K-weighting stages for a rate (bilinear transform of the analogue
  // prototypes with frequency pre-warping).
  static Biquad DesignPreFilter(double sampleRate);
  static Biquad DesignHighPass(double sampleRate);

  // The integrated loudness and loudness range of a programme's histograms.
  static double IntegratedOf(const LoudnessHistogram& gating);
  static double RangeOf(const LoudnessHistogram& shortTerm);

  // The next `count` 100 ms block ends on digital silence (the current block,
  // if begun, ends silent), for a meter whose filters have settled to zero:
  // the same readings as processing the zeros, with at most 30 block ends
  // done one by one and nothing filtered.
  void AdvanceSilentBlocks(std::int64_t count);

 private:
  struct State {
    double z1 = 0.0, z2 = 0.0;
  };
#ifdef OMBRIX_STEREO_PAIRS
  typedef double Pair __attribute__((vector_size(16)));
#endif

  template <typename Sample>
  int ProcessImpl(const Sample* const* channels, int numChannels, int numFrames);
  // kOrdinary: every sample of the stretch is finite and within +-1e30.
  template <bool kOrdinary, typename Sample>
  void FilterStretchOf(const Sample* const* channels, int measured, int offset, int length);
  template <int Channels, bool kOrdinary, typename Sample>
  void FilterStretch(const Sample* const* channels, int offset, int length);
#ifdef OMBRIX_STEREO_PAIRS
  template <bool kOrdinary, typename Sample>
  void FilterStretchStereo(const Sample* const* channels, int offset, int length);
#endif
  // Ends a stretch: the filter state of one channel, cleared when non-finite,
  // and the stretch's energy.
  void StoreState(int channel, double (&z)[4]);
  void AddToBlock(double sum);
  void FinishBlock();
  // The mean of the `blocks` most recent ring entries.
  double RecentMean(int blocks) const;

  Biquad stage1_;
  Biquad stage2_;
  State states_[kMaxChannels][2];

  std::array<double, kRingBlocks> blockRing_{};
  int ringIndex_ = 0;
  int blockLength_ = 4800;
  int samplesInBlock_ = 0;
  double blockSum_ = 0.0;
  double shortTerm_ = kNothingMeasured;

  double momentary_ = kNothingMeasured;

  LoudnessHistogram gatingHistogram_;
  LoudnessHistogram shortTermHistogram_;
  int blocksSinceReset_ = 0;
  int countedRun_ = 0;  // blocks counted in a row, up to the last one
  bool integrating_ = true;
  bool skipNextBlock_ = false;
  double integrated_ = kNothingMeasured;
  double maxMomentary_ = kNothingMeasured;
  double loudnessRange_ = kNothingMeasured;
};

}  // namespace ombrix::dsp
