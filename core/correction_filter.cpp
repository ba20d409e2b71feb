#include "core/correction_filter.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "core/simd_support.h"

namespace ombrix {
namespace {

// Two channels share one register lane pair, so the stereo cascade runs on
// packed doubles (SSE2 on x86-64, NEON on arm64) with the same arithmetic, in
// the same order, as the scalar path.
#if defined(__GNUC__) || defined(__clang__)
#define OMBRIX_STEREO_LANES 1
typedef double StereoLane __attribute__((vector_size(16)));
#endif

template <typename Lane>
inline Lane Splat(double value) {
  if constexpr (std::is_same_v<Lane, double>) {
    return value;
  } else {
    return Lane{value, value};
  }
}

template <typename Lane>
struct SectionLanes {
  Lane b0, b1, b2, a1, a2;
};

// Six transposed-direct-form-II sections in series over `count` samples.
// y = b0 x + z1; z1 = b1 x - a1 y + z2; z2 = b2 x - a2 y.
template <typename Lane, typename Load, typename Store>
inline void RunCascade(const EqDesign& design, Lane (&z1)[kEqSections], Lane (&z2)[kEqSections], int count,
                       Load load, Store store) {
  SectionLanes<Lane> c[kEqSections];
  for (std::size_t s = 0; s < kEqSections; ++s) {
    c[s] = {Splat<Lane>(design[s].b0), Splat<Lane>(design[s].b1), Splat<Lane>(design[s].b2),
            Splat<Lane>(design[s].a1), Splat<Lane>(design[s].a2)};
  }
  for (int i = 0; i < count; ++i) {
    Lane x = load(i);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 6
#endif
    for (std::size_t s = 0; s < kEqSections; ++s) {
      const Lane y = c[s].b0 * x + z1[s];
      z1[s] = c[s].b1 * x - c[s].a1 * y + z2[s];
      z2[s] = c[s].b2 * x - c[s].a2 * y;
      x = y;
    }
    store(i, x);
  }
}

#ifdef OMBRIX_SIMD_AVX
// The stereo cascade as a pipeline over three AVX registers of two sections
// each (lanes: section 2k left, right, section 2k+1 left, right). At step n
// section s works on frame n - s, taking what section s - 1 put out one step
// before, so all twelve lanes are independent within a step and the
// cascade's 54 operations per frame become 27. Each lane performs the same
// operations in the same order as RunCascade, so the output is identical.
// In the first and last five steps the sections that have no frame keep
// their state.
OMBRIX_TARGET_AVX inline __m256d PackSections(double low, double high) {
  return _mm256_set_pd(high, high, low, low);
}

template <typename Sample>
OMBRIX_TARGET_AVX inline __m128d StereoFrame(const Sample* left, const Sample* right, int n) {
  return _mm_set_pd(static_cast<double>(right[n]), static_cast<double>(left[n]));
}

template <typename Sample>
OMBRIX_TARGET_AVX void RunStereoCascadeAvx(const EqDesign& design, double (&z1)[2][kEqSections],
                                           double (&z2)[2][kEqSections], Sample* left, Sample* right, int count) {
  if (count <= 0) return;
  constexpr int kRegisters = static_cast<int>(kEqSections) / 2;
  constexpr int kLag = static_cast<int>(kEqSections) - 1;  // steps from input to output
  __m256d b0[kRegisters], b1[kRegisters], b2[kRegisters], a1[kRegisters], a2[kRegisters];
  __m256d state1[kRegisters], state2[kRegisters], section[kRegisters];
  for (int k = 0; k < kRegisters; ++k) {
    const BiquadCoefficients& low = design[2 * k];
    const BiquadCoefficients& high = design[2 * k + 1];
    b0[k] = PackSections(low.b0, high.b0);
    b1[k] = PackSections(low.b1, high.b1);
    b2[k] = PackSections(low.b2, high.b2);
    a1[k] = PackSections(low.a1, high.a1);
    a2[k] = PackSections(low.a2, high.a2);
    state1[k] = _mm256_set_pd(z1[1][2 * k + 1], z1[0][2 * k + 1], z1[1][2 * k], z1[0][2 * k]);
    state2[k] = _mm256_set_pd(z2[1][2 * k + 1], z2[0][2 * k + 1], z2[1][2 * k], z2[0][2 * k]);
    section[k] = PackSections(2 * k, 2 * k + 1);
  }
  __m256d x[kRegisters] = {_mm256_castpd128_pd256(StereoFrame(left, right, 0)), _mm256_setzero_pd(),
                           _mm256_setzero_pd()};
  const int steps = count + kLag;
  for (int n = 0; n < steps; ++n) {
    __m256d y[kRegisters];
    const bool edge = n < kLag || n >= count;
    // Lanes whose section has a frame at this step: 0 <= n - s < count.
    const __m256d step = _mm256_set1_pd(n);
    const __m256d firstOut = _mm256_set1_pd(n - count);
    for (int k = 0; k < kRegisters; ++k) {
      y[k] = _mm256_add_pd(_mm256_mul_pd(b0[k], x[k]), state1[k]);
      const __m256d next1 =
          _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(b1[k], x[k]), _mm256_mul_pd(a1[k], y[k])), state2[k]);
      const __m256d next2 = _mm256_sub_pd(_mm256_mul_pd(b2[k], x[k]), _mm256_mul_pd(a2[k], y[k]));
      if (edge) {
        const __m256d active = _mm256_and_pd(_mm256_cmp_pd(section[k], step, _CMP_LE_OQ),
                                             _mm256_cmp_pd(section[k], firstOut, _CMP_GT_OQ));
        state1[k] = _mm256_blendv_pd(state1[k], next1, active);
        state2[k] = _mm256_blendv_pd(state2[k], next2, active);
      } else {
        state1[k] = next1;
        state2[k] = next2;
      }
    }
    if (n >= kLag) {
      const __m128d out = _mm256_extractf128_pd(y[kRegisters - 1], 1);
      left[n - kLag] = static_cast<Sample>(_mm_cvtsd_f64(out));
      right[n - kLag] = static_cast<Sample>(_mm_cvtsd_f64(_mm_unpackhi_pd(out, out)));
    }
    const __m128d in = n + 1 < count ? StereoFrame(left, right, n + 1) : _mm_setzero_pd();
    x[0] = _mm256_insertf128_pd(_mm256_castpd128_pd256(in), _mm256_castpd256_pd128(y[0]), 1);
    for (int k = 1; k < kRegisters; ++k) x[k] = _mm256_permute2f128_pd(y[k - 1], y[k], 0x21);
  }
  for (int k = 0; k < kRegisters; ++k) {
    alignas(32) double first[4], second[4];
    _mm256_store_pd(first, state1[k]);
    _mm256_store_pd(second, state2[k]);
    for (int c = 0; c < 2; ++c) {
      z1[c][2 * k] = first[c];
      z1[c][2 * k + 1] = first[2 + c];
      z2[c][2 * k] = second[c];
      z2[c][2 * k + 1] = second[2 + c];
    }
  }
}
#endif

}  // namespace

CorrectionFilter::CorrectionFilter() {
  AllowAvx(true);
  Prepare(48000.0);
}

void CorrectionFilter::AllowAvx(bool allowed) { avx_ = allowed && CpuHasAvx(); }

void CorrectionFilter::Prepare(double sampleRate) {
  sampleRate_ = (std::isfinite(sampleRate) && sampleRate > 0.0) ? sampleRate : 48000.0;
  appliedGains_ = CorrectionGains{};
  targetGains_ = CorrectionGains{};
  appliedCrossovers_ = dsp::Crossovers{};
  targetCrossovers_ = dsp::Crossovers{};
  design_ = DesignEq(appliedGains_, appliedCrossovers_, sampleRate_);
  ClearState();
}

void CorrectionFilter::SetTarget(const CorrectionGains& gains, double lowCrossover, double midCrossover,
                                 double highCrossover) {
  targetGains_ = gains;
  targetCrossovers_ = dsp::Crossovers{lowCrossover, midCrossover, highCrossover};
}

void CorrectionFilter::ClearState() {
  for (ChannelState& channel : state_) channel.fill(SectionState{});
  countdown_ = 0;
}

void CorrectionFilter::RedesignIfMoved() {
  const auto moved = [](double target, double applied) { return std::fabs(target - applied) > kRedesignThreshold; };
  bool changed = moved(targetCrossovers_.low, appliedCrossovers_.low) ||
                 moved(targetCrossovers_.mid, appliedCrossovers_.mid) ||
                 moved(targetCrossovers_.high, appliedCrossovers_.high);
  for (std::size_t k = 0; k < kGainCount; ++k) changed = changed || moved(targetGains_[k], appliedGains_[k]);
  if (!changed) return;
  appliedGains_ = targetGains_;
  appliedCrossovers_ = targetCrossovers_;
  design_ = DesignEq(appliedGains_, appliedCrossovers_, sampleRate_);  // section state is kept
}

template <typename Sample>
void CorrectionFilter::RunChannel(ChannelState& state, Sample* samples, int count) {
  double z1[kEqSections], z2[kEqSections];
  for (std::size_t s = 0; s < kEqSections; ++s) {
    z1[s] = state[s].z1;
    z2[s] = state[s].z2;
  }
  RunCascade<double>(
      design_, z1, z2, count, [samples](int i) { return static_cast<double>(samples[i]); },
      [samples](int i, double y) { samples[i] = static_cast<Sample>(y); });
  for (std::size_t s = 0; s < kEqSections; ++s) state[s] = {z1[s], z2[s]};
}

template <typename Sample>
void CorrectionFilter::Run(Sample* const* channels, int channelCount, int offset, int count) {
  if (channelCount < 2) {
    RunChannel(state_[0], channels[0] + offset, count);
    return;
  }
  Sample* l = channels[0] + offset;
  Sample* r = channels[1] + offset;
#ifdef OMBRIX_SIMD_AVX
  if (avx_) {
    double z1[2][kEqSections], z2[2][kEqSections];
    for (int c = 0; c < 2; ++c) {
      for (std::size_t s = 0; s < kEqSections; ++s) {
        z1[c][s] = state_[c][s].z1;
        z2[c][s] = state_[c][s].z2;
      }
    }
    RunStereoCascadeAvx(design_, z1, z2, l, r, count);
    for (int c = 0; c < 2; ++c) {
      for (std::size_t s = 0; s < kEqSections; ++s) state_[c][s] = {z1[c][s], z2[c][s]};
    }
    return;
  }
#endif
#ifdef OMBRIX_STEREO_LANES
  ChannelState& left = state_[0];
  ChannelState& right = state_[1];
  StereoLane z1[kEqSections], z2[kEqSections];
  for (std::size_t s = 0; s < kEqSections; ++s) {
    z1[s] = StereoLane{left[s].z1, right[s].z1};
    z2[s] = StereoLane{left[s].z2, right[s].z2};
  }
  RunCascade<StereoLane>(
      design_, z1, z2, count,
      [l, r](int i) { return StereoLane{static_cast<double>(l[i]), static_cast<double>(r[i])}; },
      [l, r](int i, StereoLane y) {
        l[i] = static_cast<Sample>(y[0]);
        r[i] = static_cast<Sample>(y[1]);
      });
  for (std::size_t s = 0; s < kEqSections; ++s) {
    left[s] = {z1[s][0], z2[s][0]};
    right[s] = {z1[s][1], z2[s][1]};
  }
#else
  RunChannel(state_[0], l, count);
  RunChannel(state_[1], r, count);
#endif
}

// Keeps decaying state out of the subnormal range, where x86 arithmetic gets
// very slow; values this small are far below anything audible.
void CorrectionFilter::FlushTinyState() {
  constexpr double kTiny = 1e-250;
  for (ChannelState& channel : state_) {
    for (SectionState& s : channel) {
      if (std::fabs(s.z1) < kTiny) s.z1 = 0.0;
      if (std::fabs(s.z2) < kTiny) s.z2 = 0.0;
    }
  }
}

template <typename RunFunction>
void CorrectionFilter::RunBetweenChecks(int frames, RunFunction run) {
  int done = 0;
  while (done < frames) {
    int length;
    if (countdown_ == 0) {
      RedesignIfMoved();
      // The targets only change between calls, so every later check of this
      // call would find nothing to do: run to the end of the block and keep
      // the 32-sample rhythm for the next call.
      length = frames - done;
      countdown_ = (kCheckInterval - length % kCheckInterval) % kCheckInterval;
    } else {
      length = std::min(countdown_, frames - done);
      countdown_ -= length;
    }
    run(done, length);
    done += length;
  }
}

template <typename Sample>
void CorrectionFilter::ProcessBlock(Sample* const* channels, int channelCount, int frames) {
  if (channels == nullptr || channelCount <= 0 || frames <= 0) return;
  const int used = std::min(channelCount, kMaxChannels);
  RunBetweenChecks(frames, [&](int start, int length) { Run(channels, used, start, length); });
  FlushTinyState();
}

bool CorrectionFilter::AtRest() const {
  for (const ChannelState& channel : state_) {
    for (const SectionState& s : channel) {
      if (s.z1 != 0.0 || s.z2 != 0.0) return false;
    }
  }
  return true;
}

void CorrectionFilter::AdvanceThroughSilence(int frames) {
  RunBetweenChecks(frames, [](int, int) {});  // the same checks, nothing to filter
}

void CorrectionFilter::Process(double* const* channels, int channelCount, int frames) {
  ProcessBlock(channels, channelCount, frames);
}

void CorrectionFilter::Process(float* const* channels, int channelCount, int frames) {
  ProcessBlock(channels, channelCount, frames);
}

}  // namespace ombrix
