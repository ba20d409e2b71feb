#include "dsp/true_peak_meter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/simd_support.h"

namespace ombrix::dsp {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kKaiserBeta = 7.0;
constexpr float kMaxMagnitude = 1e30f;

// Modified Bessel function of the first kind, order 0, by its power series
// sum ((x/2)^k / k!)^2 for k = 0..31.
double BesselI0(double x) {
  double sum = 0.0;
  double term = 1.0;  // (x/2)^k / k!
  for (int k = 0; k < 32; ++k) {
    if (k > 0) term *= (x / 2.0) / k;
    sum += term * term;
  }
  return sum;
}

// NaN, infinities and magnitudes beyond the float range read as silence;
// finite samples beyond +-1e30 are clamped, so that no sum of sixteen products
// can overflow single precision. Converted first and tested in single
// precision, which keeps the loop branch-free and vectorised.
[[gnu::always_inline]] inline float Sanitize(double x) {
  const float f = static_cast<float>(x);
  const float limited = std::min(std::max(f, -kMaxMagnitude), kMaxMagnitude);
  return std::fabs(f) <= FLT_MAX ? limited : 0.0f;
}

// The peak magnitude at one frame n over its own sample and the four
// interpolated points before it. v[0..15] holds x[n-15] .. x[n].
//   y0 = P + M, y2 = P - M   (phase 2 is phase 0 reversed)
//   max(|y0|, |y2|) = |P| + |M|
//   y1 = symmetric phase, y3 = x[n-7] (the pure-delay phase)
[[gnu::always_inline]] inline float FramePeak(const float* v, const float* even, const float* odd, const float* mid) {
  float p = 0.0f;
  float m = 0.0f;
  float r = 0.0f;
#pragma GCC unroll 8
  for (int t = 0; t < 8; ++t) {
    const float newer = v[15 - t];  // x[n-t]
    const float older = v[t];       // x[n-15+t]
    const float sum = newer + older;
    const float difference = newer - older;
    p += even[t] * sum;
    m += odd[t] * difference;
    r += mid[t] * sum;
  }
  const float outer = std::fabs(p) + std::fabs(m);
  const float middle = std::fabs(r);
  const float sample = std::fabs(v[15]);
  const float delayed = std::fabs(v[8]);
  return std::max(std::max(outer, middle), std::max(sample, delayed));
}

// The largest of non-negative, non-NaN floats. Their bit patterns order like
// their values, and an integer maximum vectorises without fast-math.
[[gnu::always_inline]] inline float LargestOf(const float* values, int count) {
  std::int32_t best = 0;
  for (int j = 0; j < count; ++j) {
    std::int32_t bits;
    std::memcpy(&bits, values + j, sizeof bits);
    best = bits > best ? bits : best;
  }
  float result;
  std::memcpy(&result, &best, sizeof result);
  return result;
}

// The largest frame peak of frames [0, count) of a history buffer (15 older
// samples in front of frame 0); `scratch` holds count floats. Written as
// element-wise loops, always inlined, so that each caller below is vectorised
// for its own target: four frames per SSE register, eight per AVX register,
// the same operations in the same order on each.
[[gnu::always_inline]] inline float ChunkPeakOf(const float* history, int count, const float* even,
                                                const float* odd, const float* mid, float* scratch) {
  for (int j = 0; j < count; ++j) scratch[j] = FramePeak(history + j, even, odd, mid);
  return LargestOf(scratch, count);
}

template <typename Sample>
[[gnu::always_inline]] inline void SanitizeRun(const Sample* in, int count, float* out) {
  for (int j = 0; j < count; ++j) out[j] = Sanitize(static_cast<double>(in[j]));
}

float ChunkPeak(const float* history, int count, const float* even, const float* odd, const float* mid,
                float* scratch) {
  return ChunkPeakOf(history, count, even, odd, mid, scratch);
}

template <typename Sample>
void SanitizeInto(const Sample* in, int count, float* out) {
  SanitizeRun(in, count, out);
}

#ifdef OMBRIX_SIMD_AVX
OMBRIX_TARGET_AVX float ChunkPeakAvx(const float* history, int count, const float* even, const float* odd,
                                     const float* mid, float* scratch) {
  return ChunkPeakOf(history, count, even, odd, mid, scratch);
}

template <typename Sample>
OMBRIX_TARGET_AVX void SanitizeIntoAvx(const Sample* in, int count, float* out) {
  SanitizeRun(in, count, out);
}
#endif

int BlockLengthFor(double sampleRate) {
  const double length = std::round(0.1 * sampleRate);  // halves away from zero
  return length < 1.0 ? 1 : static_cast<int>(length);
}

double UsableRate(double sampleRate) {
  return (sampleRate > 0.0 && sampleRate <= 1e7) ? sampleRate : 48000.0;
}

}  // namespace

TruePeakMeter::Coefficients TruePeakMeter::DesignCoefficients() {
  std::array<double, kPrototypeTaps> prototype{};
  const double windowNorm = BesselI0(kKaiserBeta);
  for (int i = 0; i < kPrototypeTaps; ++i) {
    const int a = i - 31;
    double sinc = 1.0;
    if (a != 0) {
      // Exact zeros at the multiples of the oversampling factor, which make
      // phase 3 the pure delay it is in exact arithmetic.
      sinc = (a % kPhases == 0) ? 0.0 : std::sin(kPi * a / 4.0) / (kPi * a / 4.0);
    }
    const double ratio = a / 31.0;
    const double window = std::fabs(ratio) <= 1.0 ? BesselI0(kKaiserBeta * std::sqrt(1.0 - ratio * ratio)) / windowNorm : 0.0;
    prototype[i] = sinc * window;
  }
  Coefficients phases{};
  for (int k = 0; k < kPhases; ++k) {
    double sum = 0.0;
    for (int t = 0; t < kTapsPerPhase; ++t) {
      phases[k][t] = prototype[kPhases * t + k];
      sum += phases[k][t];
    }
    for (double& tap : phases[k]) tap /= sum;
  }
  return phases;
}

TruePeakMeter::TruePeakMeter() : coefficients_(DesignCoefficients()), avx_(CpuHasAvx()) {
  const auto& c0 = coefficients_[0];
  const auto& c1 = coefficients_[1];
  for (int t = 0; t < 8; ++t) {
    even_[t] = static_cast<float>((c0[t] + c0[15 - t]) / 2.0);
    odd_[t] = static_cast<float>((c0[t] - c0[15 - t]) / 2.0);
    mid_[t] = static_cast<float>(c1[t]);
  }
  Configure(48000.0);
}

void TruePeakMeter::Configure(double sampleRate) {
  blockLength_ = BlockLengthFor(UsableRate(sampleRate));
  for (auto& channel : history_) std::fill(std::begin(channel), std::end(channel), 0.0f);
  for (bool& live : historyLive_) live = false;
  warmUp_ = kWarmUpSamples;
  blockRing_.fill(0.0);
  ringIndex_ = 0;
  samplesInBlock_ = 0;
  blockPeak_ = 0.0;
  recentPeak_ = 0.0;
  sinceResetPeak_ = 0.0;
  holdOff_ = 0;
}

void TruePeakMeter::Reset() {
  sinceResetPeak_ = 0.0;
  holdOff_ = kHoldOffSamples;
}

void TruePeakMeter::Process(const double* const* channels, int numChannels, int numFrames) {
  ProcessImpl(channels, numChannels, numFrames);
}

void TruePeakMeter::Process(const float* const* channels, int numChannels, int numFrames) {
  ProcessImpl(channels, numChannels, numFrames);
}

template <typename Sample>
void TruePeakMeter::ProcessImpl(const Sample* const* channels, int numChannels, int numFrames) {
  if (channels == nullptr || numChannels <= 0 || numFrames <= 0) return;
  const int measured = std::min(numChannels, kMaxChannels);
  for (int c = 0; c < measured; ++c) {
    if (channels[c] == nullptr) return;
  }
  ForgetChannelsFrom(measured);
  int offset = 0;
  while (offset < numFrames) {
    const int length = std::min({numFrames - offset, kChunk, blockLength_ - samplesInBlock_});
    ProcessChunk(channels, measured, offset, length);
    offset += length;
    samplesInBlock_ += length;
    if (samplesInBlock_ >= blockLength_) FinishBlock();
  }
}

template <typename Sample>
void TruePeakMeter::ProcessChunk(const Sample* const* channels, int measured, int offset, int length) {
  for (int c = 0; c < measured; ++c) {
    const Sample* in = channels[c] + offset;
    float* fresh = history_[c] + kHistory;
#ifdef OMBRIX_SIMD_AVX
    if (avx_) {
      SanitizeIntoAvx(in, length, fresh);
    } else {
      SanitizeInto(in, length, fresh);
    }
#else
    SanitizeInto(in, length, fresh);
#endif
    historyLive_[c] = true;
  }

  // The first frames after Configure (warm-up: no interpolation at all) or
  // after Reset (hold-off: the since-reset peak takes sample peaks only) are
  // done one by one; all later frames go through the vectorised pass.
  const int special = std::min(length, std::max(warmUp_, holdOff_));
  for (int j = 0; j < special; ++j) {
    float samplePeak = 0.0f;
    float peak = 0.0f;
    for (int c = 0; c < measured; ++c) {
      const float* v = history_[c] + j;
      const float magnitude = std::fabs(v[kHistory]);
      samplePeak = std::max(samplePeak, magnitude);
      peak = std::max(peak, warmUp_ > j ? magnitude : FramePeak(v, even_.data(), odd_.data(), mid_.data()));
    }
    blockPeak_ = std::max(blockPeak_, static_cast<double>(peak));
    const double candidate = holdOff_ > j ? samplePeak : peak;
    sinceResetPeak_ = std::max(sinceResetPeak_, candidate);
  }

  if (special < length) {
    alignas(16) float scratch[kChunk];
    const float* history[kMaxChannels] = {history_[0] + special, history_[1] + special};
    const int count = length - special;
    float chunkPeak = 0.0f;
    for (int c = 0; c < measured; ++c) {
#ifdef OMBRIX_SIMD_AVX
      const float peak = avx_ ? ChunkPeakAvx(history[c], count, even_.data(), odd_.data(), mid_.data(), scratch)
                              : ChunkPeak(history[c], count, even_.data(), odd_.data(), mid_.data(), scratch);
#else
      const float peak = ChunkPeak(history[c], count, even_.data(), odd_.data(), mid_.data(), scratch);
#endif
      chunkPeak = std::max(chunkPeak, peak);
    }
    blockPeak_ = std::max(blockPeak_, static_cast<double>(chunkPeak));
    sinceResetPeak_ = std::max(sinceResetPeak_, static_cast<double>(chunkPeak));
  }

  warmUp_ = std::max(warmUp_ - length, 0);
  holdOff_ = std::max(holdOff_ - length, 0);

  // Keep the last 15 samples of each channel in front for the next chunk.
  for (int c = 0; c < measured; ++c) {
    std::memmove(history_[c], history_[c] + length, kHistory * sizeof(float));
  }
}

void TruePeakMeter::ForgetChannelsFrom(int measured) {
  // A channel that is not measured now starts again from silence when it
  // comes back, rather than interpolating against audio from long ago.
  for (int c = measured; c < kMaxChannels; ++c) {
    if (historyLive_[c]) {
      std::fill(std::begin(history_[c]), std::end(history_[c]), 0.0f);
      historyLive_[c] = false;
    }
  }
}

bool TruePeakMeter::AtRest(int numChannels) const {
  const int measured = std::clamp(numChannels, 0, kMaxChannels);
  int sound = 0;
  for (int c = 0; c < measured; ++c) {
    for (int i = 0; i < kHistory; ++i) sound |= history_[c][i] != 0.0f ? 1 : 0;
  }
  return sound == 0;
}

void TruePeakMeter::ProcessSilence(int numChannels, int numFrames) {
  if (numChannels <= 0 || numFrames <= 0) return;
  const int measured = std::min(numChannels, kMaxChannels);
  ForgetChannelsFrom(measured);
  for (int c = 0; c < measured; ++c) historyLive_[c] = true;
  // Every peak of zeros is zero: only the counts and the blocks move.
  warmUp_ = std::max(warmUp_ - numFrames, 0);
  holdOff_ = std::max(holdOff_ - numFrames, 0);
  int left = numFrames;
  while (left > 0) {
    const int length = std::min(left, blockLength_ - samplesInBlock_);
    samplesInBlock_ += length;
    left -= length;
    if (samplesInBlock_ >= blockLength_) FinishBlock();
  }
}

void TruePeakMeter::FinishBlock() {
  blockRing_[ringIndex_] = blockPeak_;
  blockPeak_ = 0.0;
  samplesInBlock_ = 0;
  ringIndex_ = (ringIndex_ + 1) % kRingBlocks;
  recentPeak_ = *std::max_element(blockRing_.begin(), blockRing_.end());
}

}  // namespace ombrix::dsp
