#include "dsp/loudness_meter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace ombrix::dsp {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxMagnitude = 1e30;
constexpr double kTinyState = 1e-30;
// Pre-warped angles beyond this (rates below about 3.5 kHz for the shelf) would
// put the analogue corner above Nyquist; they are held just below pi/2.
constexpr double kMaxWarpAngle = 1.5;

// High-shelf pre-filter of the K-weighting.
constexpr double kShelfFrequency = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandExponent = 0.4996667741545416;
// RLB high-pass.
constexpr double kHighPassFrequency = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

inline double Sanitize(double x) {
  const double magnitude = std::fabs(x);
  if (magnitude <= kMaxMagnitude) return x;
  return magnitude <= DBL_MAX ? std::copysign(kMaxMagnitude, x) : 0.0;
}

// Whether Sanitize leaves every sample of a stretch as it is (all finite and
// within +-1e30). One vectorised pass over float input spares the filter loop
// a branch per sample; 1e30f is the first float above 1e30, so "below 1e30f"
// is "at most 1e30", and a NaN fails the test. (Double input keeps the branch,
// which costs it less than a separate pass.)
bool AllOrdinary(const float* samples, int count) {
  int unusual = 0;
  for (int j = 0; j < count; ++j) unusual |= std::fabs(samples[j]) < 1e30f ? 0 : 1;
  return unusual == 0;
}

template <bool kOrdinary>
inline double Admit(double x) {
  return kOrdinary ? x : Sanitize(x);
}

inline double WarpedTan(double frequency, double sampleRate) {
  return std::tan(std::min(kPi * frequency / sampleRate, kMaxWarpAngle));
}

int BlockLengthFor(double sampleRate) {
  const double length = std::round(0.1 * sampleRate);  // halves away from zero
  return length < 1.0 ? 1 : static_cast<int>(length);
}

double UsableRate(double sampleRate) {
  return (sampleRate > 0.0 && sampleRate <= 1e7) ? sampleRate : 48000.0;
}

}  // namespace

LoudnessMeter::Biquad LoudnessMeter::DesignPreFilter(double sampleRate) {
  const double k = WarpedTan(kShelfFrequency, UsableRate(sampleRate));
  const double vh = std::pow(10.0, kShelfGainDb / 20.0);
  const double vb = std::pow(vh, kShelfBandExponent);
  const double a0 = 1.0 + k / kShelfQ + k * k;
  Biquad f;
  f.b0 = (vh + vb * k / kShelfQ + k * k) / a0;
  f.b1 = 2.0 * (k * k - vh) / a0;
  f.b2 = (vh - vb * k / kShelfQ + k * k) / a0;
  f.a1 = 2.0 * (k * k - 1.0) / a0;
  f.a2 = (1.0 - k / kShelfQ + k * k) / a0;
  return f;
}

LoudnessMeter::Biquad LoudnessMeter::DesignHighPass(double sampleRate) {
  const double k = WarpedTan(kHighPassFrequency, UsableRate(sampleRate));
  const double d = 1.0 + k / kHighPassQ + k * k;
  Biquad f;
  f.b0 = 1.0;
  f.b1 = -2.0;
  f.b2 = 1.0;
  f.a1 = 2.0 * (k * k - 1.0) / d;
  f.a2 = (1.0 - k / kHighPassQ + k * k) / d;
  return f;
}

LoudnessMeter::LoudnessMeter() { Configure(48000.0); }

void LoudnessMeter::Configure(double sampleRate) {
  const double rate = UsableRate(sampleRate);
  blockLength_ = BlockLengthFor(rate);
  stage1_ = DesignPreFilter(rate);
  stage2_ = DesignHighPass(rate);
  for (auto& channel : states_) {
    for (State& s : channel) s = State{};
  }
  blockRing_.fill(0.0);
  ringIndex_ = 0;
  shortTerm_ = kNothingMeasured;
  momentary_ = kNothingMeasured;
  samplesInBlock_ = 0;
  blockSum_ = 0.0;
  Reset();
}

void LoudnessMeter::Reset() {
  gatingHistogram_.Clear();
  shortTermHistogram_.Clear();
  integrated_ = kNothingMeasured;
  maxMomentary_ = kNothingMeasured;
  loudnessRange_ = kNothingMeasured;
  blocksSinceReset_ = 0;
  countedRun_ = 0;
  skipNextBlock_ = samplesInBlock_ > 0;
}

int LoudnessMeter::Process(const double* const* channels, int numChannels, int numFrames) {
  return ProcessImpl(channels, numChannels, numFrames);
}

int LoudnessMeter::Process(const float* const* channels, int numChannels, int numFrames) {
  return ProcessImpl(channels, numChannels, numFrames);
}

template <typename Sample>
int LoudnessMeter::ProcessImpl(const Sample* const* channels, int numChannels, int numFrames) {
  if (channels == nullptr || numChannels <= 0 || numFrames <= 0) return 0;
  const int measured = std::min(numChannels, kMaxChannels);
  for (int c = 0; c < measured; ++c) {
    if (channels[c] == nullptr) return 0;
  }
  int completed = 0;
  int offset = 0;
  while (offset < numFrames) {
    const int length = std::min(numFrames - offset, blockLength_ - samplesInBlock_);
    bool ordinary = false;
    if constexpr (std::is_same_v<Sample, float>) {
      ordinary = true;
      for (int c = 0; c < measured; ++c) ordinary = ordinary && AllOrdinary(channels[c] + offset, length);
    }
    if (ordinary) {
      FilterStretchOf<true>(channels, measured, offset, length);
    } else {
      FilterStretchOf<false>(channels, measured, offset, length);
    }
    offset += length;
    samplesInBlock_ += length;
    if (samplesInBlock_ >= blockLength_) {
      FinishBlock();
      ++completed;
    }
  }
  return completed;
}

template <bool kOrdinary, typename Sample>
void LoudnessMeter::FilterStretchOf(const Sample* const* channels, int measured, int offset, int length) {
  if (measured == 2) {
#ifdef OMBRIX_STEREO_PAIRS
    FilterStretchStereo<kOrdinary>(channels, offset, length);
#else
    FilterStretch<2, kOrdinary>(channels, offset, length);
#endif
  } else {
    FilterStretch<1, kOrdinary>(channels, offset, length);
  }
}

template <int Channels, bool kOrdinary, typename Sample>
void LoudnessMeter::FilterStretch(const Sample* const* channels, int offset, int length) {
  const Biquad s1 = stage1_;
  const Biquad s2 = stage2_;
  const Sample* in[Channels];
  double z[Channels][4];
  for (int c = 0; c < Channels; ++c) {
    in[c] = channels[c] + offset;
    z[c][0] = states_[c][0].z1;
    z[c][1] = states_[c][0].z2;
    z[c][2] = states_[c][1].z1;
    z[c][3] = states_[c][1].z2;
  }
  double sum = 0.0;
  for (int j = 0; j < length; ++j) {
    double energy = 0.0;
    for (int c = 0; c < Channels; ++c) {
      // Transposed direct form II; the feedback product is added last so the
      // loop-carried dependency is one multiply and two adds per stage.
      const double x = Admit<kOrdinary>(static_cast<double>(in[c][j]));
      const double y1 = s1.b0 * x + z[c][0];
      z[c][0] = (s1.b1 * x + z[c][1]) - s1.a1 * y1;
      z[c][1] = s1.b2 * x - s1.a2 * y1;
      const double y2 = s2.b0 * y1 + z[c][2];
      z[c][2] = (s2.b1 * y1 + z[c][3]) - s2.a1 * y2;
      z[c][3] = s2.b2 * y1 - s2.a2 * y2;
      energy += y2 * y2;
    }
    sum += energy;
  }
  for (int c = 0; c < Channels; ++c) StoreState(c, z[c]);
  AddToBlock(sum);
}

#ifdef OMBRIX_STEREO_PAIRS
// FilterStretch<2> with the two channels in the lanes of one register: the
// same operations in the same order on each, so the same results. The
// high-pass's numerator is 1, -2, 1 exactly, so its products by b0 and b2
// are the samples themselves and -2 y1 is exact.
template <bool kOrdinary, typename Sample>
void LoudnessMeter::FilterStretchStereo(const Sample* const* channels, int offset, int length) {
  const Biquad s1 = stage1_;
  const Pair b0 = {s1.b0, s1.b0}, b1 = {s1.b1, s1.b1}, b2 = {s1.b2, s1.b2};
  const Pair a1 = {s1.a1, s1.a1}, a2 = {s1.a2, s1.a2};
  const Pair c1 = {stage2_.a1, stage2_.a1}, c2 = {stage2_.a2, stage2_.a2};
  const Pair minusTwo = {-2.0, -2.0};
  const Sample* left = channels[0] + offset;
  const Sample* right = channels[1] + offset;
  Pair z0 = {states_[0][0].z1, states_[1][0].z1};
  Pair z1 = {states_[0][0].z2, states_[1][0].z2};
  Pair z2 = {states_[0][1].z1, states_[1][1].z1};
  Pair z3 = {states_[0][1].z2, states_[1][1].z2};
  double sum = 0.0;
  for (int j = 0; j < length; ++j) {
    const Pair x = {Admit<kOrdinary>(static_cast<double>(left[j])), Admit<kOrdinary>(static_cast<double>(right[j]))};
    const Pair y1 = b0 * x + z0;
    z0 = (b1 * x + z1) - a1 * y1;
    z1 = b2 * x - a2 * y1;
    const Pair y2 = y1 + z2;
    z2 = (minusTwo * y1 + z3) - c1 * y2;
    z3 = y1 - c2 * y2;
    const Pair energy = y2 * y2;
    sum += energy[0] + energy[1];
  }
  double zl[4] = {z0[0], z1[0], z2[0], z3[0]};
  double zr[4] = {z0[1], z1[1], z2[1], z3[1]};
  StoreState(0, zl);
  StoreState(1, zr);
  AddToBlock(sum);
}
#endif

void LoudnessMeter::StoreState(int channel, double (&z)[4]) {
  bool finite = true;
  for (double& v : z) {
    const double magnitude = std::fabs(v);
    if (!(magnitude <= DBL_MAX)) finite = false;
    if (magnitude < kTinyState) v = 0.0;  // keep denormals out of a decaying filter
  }
  if (!finite) {
    for (double& v : z) v = 0.0;
  }
  states_[channel][0].z1 = z[0];
  states_[channel][0].z2 = z[1];
  states_[channel][1].z1 = z[2];
  states_[channel][1].z2 = z[3];
}

void LoudnessMeter::AddToBlock(double sum) {
  blockSum_ += sum;
  if (!(std::fabs(blockSum_) <= DBL_MAX)) blockSum_ = 0.0;
}

double LoudnessMeter::RecentMean(int blocks) const {
  double sum = 0.0;
  for (int i = 1; i <= blocks; ++i) sum += blockRing_[(ringIndex_ - i + kRingBlocks) % kRingBlocks];
  return sum / blocks;
}

void LoudnessMeter::FinishBlock() {
  blockRing_[ringIndex_] = blockSum_ / blockLength_;
  ringIndex_ = (ringIndex_ + 1) % kRingBlocks;
  blockSum_ = 0.0;
  samplesInBlock_ = 0;

  double total = 0.0;
  for (double v : blockRing_) total += v;
  const double shortTermMeanSquare = total / kRingBlocks;
  shortTerm_ = MeanSquareToLufs(shortTermMeanSquare);
  const double momentaryMeanSquare = RecentMean(kGatingBlocks);
  momentary_ = MeanSquareToLufs(momentaryMeanSquare);

  if (skipNextBlock_) {
    skipNextBlock_ = false;
    return;
  }
  if (!integrating_) {
    countedRun_ = 0;
    return;
  }
  ++blocksSinceReset_;
  countedRun_ = std::min(countedRun_ + 1, kRingBlocks);
  // A window counts once it holds only blocks that began after the reset
  // and counted (the transport played all through it).
  if (countedRun_ >= kGatingBlocks) {
    maxMomentary_ = std::max(maxMomentary_, momentary_);
    if (gatingHistogram_.Add(momentaryMeanSquare)) integrated_ = IntegratedOf(gatingHistogram_);
  }
  if (countedRun_ >= kRingBlocks && shortTermHistogram_.Add(shortTermMeanSquare))
    loudnessRange_ = RangeOf(shortTermHistogram_);
}

bool LoudnessMeter::AtRest() const {
  for (const auto& channel : states_) {
    for (const State& s : channel) {
      if (s.z1 != 0.0 || s.z2 != 0.0) return false;
    }
  }
  return true;
}

int LoudnessMeter::ProcessSilence(int numFrames) {
  if (numFrames <= 0) return 0;
  // Zeros add nothing to the block under way: only its count moves.
  const int toEnd = blockLength_ - samplesInBlock_;
  if (numFrames < toEnd) {
    samplesInBlock_ += numFrames;
    return 0;
  }
  FinishBlock();
  const int rest = numFrames - toEnd;
  const int whole = rest / blockLength_;
  AdvanceSilentBlocks(whole);
  samplesInBlock_ = rest % blockLength_;
  return 1 + whole;
}

void LoudnessMeter::AdvanceSilentBlocks(std::int64_t count) {
  if (count <= 0) return;
  const std::int64_t oneByOne = std::min<std::int64_t>(count, kRingBlocks);
  for (std::int64_t i = 0; i < oneByOne; ++i) {
    blockSum_ = 0.0;
    FinishBlock();
  }
  // The ring now holds only zeros: further silent blocks change nothing but
  // the count (and where the ring starts, which only zeros fill).
  const std::int64_t rest = count - oneByOne;
  if (integrating_) blocksSinceReset_ = static_cast<int>(std::min<std::int64_t>(blocksSinceReset_ + rest, INT32_MAX));
  ringIndex_ = static_cast<int>((ringIndex_ + rest) % kRingBlocks);
}

double LoudnessMeter::IntegratedOf(const LoudnessHistogram& gating) { return gating.GatedLoudness(kRelativeGate); }

double LoudnessMeter::RangeOf(const LoudnessHistogram& shortTerm) {
  return shortTerm.Range(kRangeGate, kRangeLowPercentile, kRangeHighPercentile);
}

}  // namespace ombrix::dsp
