#include "core/correction_filter.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

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

}  // namespace

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
