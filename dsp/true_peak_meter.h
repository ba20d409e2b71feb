#pragma once
// True-peak meter: 4x polyphase oversampling of up to two channels, the
// maximum over the last 3 s (thirty 100 ms blocks) and since the last reset.
//
// Real-time safe: all state is held in the object (no allocation after
// construction), Process takes no lock and never waits.
//
// Non-finite input: a NaN or infinite sample (or one beyond the single-precision
// range) is read as 0, silence; finite samples beyond +-1e30 are clamped there.
// Nothing non-finite can therefore enter the history, the block peaks or the
// since-reset peak, and a stray NaN costs at most the reading of that sample.
//
// Precision: the interpolator runs in single precision (so that four outputs
// fit one SSE register); readings are within 1e-6 dB of a double-precision
// evaluation of the same filter.
#include <array>
#include <cmath>
#include <cstddef>

#include "dsp/loudness_reading.h"

namespace ombrix::dsp {

// 20*log10(linear), floored at -150 dB; -150 for 0, negative or NaN input.
inline double LinearPeakToDb(double linear) {
  if (!(linear > 0.0)) return kNothingMeasured;
  const double db = 20.0 * std::log10(linear);
  return db > kNothingMeasured ? db : kNothingMeasured;
}

class TruePeakMeter {
 public:
  static constexpr int kPhases = 4;
  static constexpr int kTapsPerPhase = 16;
  static constexpr int kPrototypeTaps = kPhases * kTapsPerPhase;  // 64
  static constexpr int kMaxChannels = 2;
  static constexpr int kRingBlocks = 30;  // 30 x 100 ms = 3 s
  static constexpr int kWarmUpSamples = 16;
  static constexpr int kHoldOffSamples = 16;

  using Coefficients = std::array<std::array<double, kTapsPerPhase>, kPhases>;

  // Designs the interpolator and configures for 48 kHz.
  TruePeakMeter();

  // Block length for the rate, clears the whole stream state (history, warm-up,
  // block ring, all peaks, hold-off). Rates that are not a positive finite
  // number are taken as 48 kHz.
  void Configure(double sampleRate);
  void Prepare(double sampleRate) { Configure(sampleRate); }

  // The meter reset: since-reset peak = 0 and a 16-sample hold-off during which
  // only sample peaks (not interpolated ones) may raise it again, so audio that
  // preceded the reset and still sits in the history cannot leak in. The recent
  // peak and everything else are kept.
  void Reset();

  // Measures the first two channels (a single channel alone). Does nothing for
  // a null array, a null channel pointer, no channels or numFrames <= 0.
  void Process(const double* const* channels, int numChannels, int numFrames);
  void Process(const float* const* channels, int numChannels, int numFrames);

  // Whether the interpolator's history of the first numChannels (at most two)
  // channels is all zero: zeros in then measure as zero.
  bool AtRest(int numChannels) const;
  // What Process does with numFrames of zeros on numChannels while AtRest,
  // without interpolating.
  void ProcessSilence(int numChannels, int numFrames);

  // Linear peaks: the maximum over the last 30 completed 100 ms blocks (the
  // block in progress is not included), and the maximum since Reset/Configure.
  double RecentPeak() const { return recentPeak_; }
  double SinceResetPeak() const { return sinceResetPeak_; }
  double RecentPeakDb() const { return LinearPeakToDb(recentPeak_); }
  double SinceResetPeakDb() const { return LinearPeakToDb(sinceResetPeak_); }

  int BlockLength() const { return blockLength_; }

  // Tap t of phase k is prototype tap 4t + k; each phase sums to exactly 1.
  // Phase k interpolates the signal 7.75 - k/4 samples back; phase 3 is the
  // pure delay of 7 samples.
  const Coefficients& PhaseCoefficients() const { return coefficients_; }
  static Coefficients DesignCoefficients();

 private:
  // Frames handled in one pass of the interpolator; the history buffers hold
  // the 15 previous samples in front of them, so no index ever wraps.
  static constexpr int kChunk = 256;
  static constexpr int kHistory = kTapsPerPhase - 1;  // 15

  template <typename Sample>
  void ProcessImpl(const Sample* const* channels, int numChannels, int numFrames);
  void ForgetChannelsFrom(int measured);
  template <typename Sample>
  void ProcessChunk(const Sample* const* channels, int measured, int offset, int length);
  void FinishBlock();

  Coefficients coefficients_{};
  // The interpolator's taps in the folded form that exploits the symmetry of
  // the prototype (phase 2 is phase 0 reversed, phase 1 is symmetric):
  // even_[t] = (c0[t] + c0[15-t]) / 2, odd_[t] = (c0[t] - c0[15-t]) / 2,
  // mid_[t] = c1[t], t = 0..7, applied to x[n-t] +- x[n-15+t].
  alignas(16) std::array<float, 8> even_{};
  alignas(16) std::array<float, 8> odd_{};
  alignas(16) std::array<float, 8> mid_{};

  // Per channel: 15 samples of history followed by the chunk being measured.
  alignas(16) float history_[kMaxChannels][kHistory + kChunk]{};
  bool historyLive_[kMaxChannels]{};
  bool avx_ = false;  // the AVX build of the interpolator may run here

  int warmUp_ = kWarmUpSamples;
  std::array<double, kRingBlocks> blockRing_{};
  int ringIndex_ = 0;
  int blockLength_ = 4800;
  int samplesInBlock_ = 0;
  double blockPeak_ = 0.0;
  double recentPeak_ = 0.0;
  double sinceResetPeak_ = 0.0;
  int holdOff_ = 0;
};

}  // namespace ombrix::dsp
