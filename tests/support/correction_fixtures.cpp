#include "support/correction_fixtures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ombrix::test_support {

namespace {

// The SplitMix64 output function.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

// The seed is hashed: SplitMix64 steps its state by a constant, so seeds a
// multiple of that constant apart would give time-shifted copies of one stream.
PinkNoiseStream::PinkNoiseStream(std::uint64_t seed) : state_(Mix(seed + 0x632BE59BD9B4E019ULL)) {}

double PinkNoiseStream::White() {
  // SplitMix64 to a double in [-1, 1).
  const std::uint64_t z = Mix(state_ += 0x9E3779B97F4A7C15ULL);
  return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

double PinkNoiseStream::Next() {
  return pinking_.Next(White()) * 0.05;  // the raw filter output has an RMS of about 2
}

double ShapedNoise::Section::Run(int channel, double x) {
  const double y = b0 * x + z1[channel];
  z1[channel] = b1 * x - a1 * y + z2[channel];
  z2[channel] = b2 * x - a2 * y;
  return y;
}

namespace {

// Butterworth-Q second-order pass sections of the Audio EQ Cookbook.
template <typename Section>
void DesignPass(Section& s, bool highPass, double frequency, double sampleRate) {
  const double w0 = 2.0 * std::numbers::pi * frequency / sampleRate;
  const double q = 1.0 / std::numbers::sqrt2;
  const double alpha = std::sin(w0) / (2.0 * q);
  const double c = std::cos(w0);
  const double a0 = 1.0 + alpha;
  const double b1 = highPass ? -(1.0 + c) : (1.0 - c);
  const double b0 = highPass ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
  s.b0 = b0 / a0;
  s.b1 = b1 / a0;
  s.b2 = b0 / a0;
  s.a1 = -2.0 * c / a0;
  s.a2 = (1.0 - alpha) / a0;
}

}  // namespace

ShapedNoise::ShapedNoise(double sampleRate, std::uint64_t seed)
    : sampleRate_(sampleRate), noise_{PinkNoiseStream(2 * seed), PinkNoiseStream(2 * seed + 1)} {
  eq_.Prepare(sampleRate);
}

void ShapedNoise::SetShape(const SignalShape& shape) {
  eq_.SetTarget(shape.eq, 200.0, 2000.0, 6000.0);
  useHighPass_ = shape.highPassHz > 0.0;
  useLowPass_ = shape.lowPassHz > 0.0;
  for (Section& s : highPass_) {
    if (useHighPass_) DesignPass(s, true, shape.highPassHz, sampleRate_);
  }
  for (Section& s : lowPass_) {
    if (useLowPass_) DesignPass(s, false, shape.lowPassHz, sampleRate_);
  }
  gain_ = std::pow(10.0, shape.levelDb / 20.0);
}

void ShapedNoise::Generate(float* left, float* right, int frames) {
  std::vector<double> l(static_cast<std::size_t>(frames)), r(static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    l[static_cast<std::size_t>(n)] = noise_[0].Next();
    r[static_cast<std::size_t>(n)] = noise_[1].Next();
  }
  double* channels[2] = {l.data(), r.data()};
  eq_.Process(channels, 2, frames);
  for (int n = 0; n < frames; ++n) {
    for (int ch = 0; ch < 2; ++ch) {
      double x = channels[ch][n];
      if (useHighPass_) {
        for (Section& s : highPass_) x = s.Run(ch, x);
      }
      if (useLowPass_) {
        for (Section& s : lowPass_) x = s.Run(ch, x);
      }
      channels[ch][n] = x * gain_;
    }
    left[n] = static_cast<float>(l[static_cast<std::size_t>(n)]);
    right[n] = static_cast<float>(r[static_cast<std::size_t>(n)]);
  }
}

CorrectionLoop::CorrectionLoop(double sampleRate)
    : sampleRate_(sampleRate), left_(kBlock), right_(kBlock) {
  engine_.Configure(sampleRate);
  filter_.Prepare(sampleRate);
  for (dsp::SpectrumAnalysis* analysis : {&input_, &output_}) {
    analysis->Configure(sampleRate);
    analysis->SetSlowTimeConstant(3.0);
  }
  SetSettings(settings_);
  SetTarget(target_);
}

void CorrectionLoop::SetSettings(const CorrectionSettings& settings) {
  settings_ = settings;
  engine_.SetSettings(settings);
  const dsp::Crossovers c =
      dsp::SanitizeCrossovers(settings.lowCrossover, settings.midCrossover, settings.highCrossover);
  input_.SetCrossovers(c.low, c.mid, c.high);
  output_.SetCrossovers(c.low, c.mid, c.high);
}

void CorrectionLoop::SetTarget(const dsp::GridCurve& target) {
  target_ = target;
  engine_.SetTargetLevels(target);
}

void CorrectionLoop::Run(ShapedNoise& source, double seconds) {
  const auto total = static_cast<long long>(std::llround(seconds * sampleRate_));
  for (long long done = 0; done < total; done += kBlock) {
    const int frames = static_cast<int>(std::min<long long>(kBlock, total - done));
    source.Generate(left_.data(), right_.data(), frames);
    engine_.Feed(left_.data(), right_.data(), frames);
    input_.Feed(left_.data(), right_.data(), frames);
    filter_.SetTarget(engine_.CurrentGains(), settings_.lowCrossover, settings_.midCrossover,
                      settings_.highCrossover);
    float* channels[2] = {left_.data(), right_.data()};
    filter_.Process(channels, 2, frames);
    output_.Feed(left_.data(), right_.data(), frames);
  }
}

namespace {

dsp::Readouts ReadoutsOf(const dsp::SpectrumAnalysis& analysis, const dsp::GridCurve& target,
                         const CorrectionSettings& s) {
  const dsp::Crossovers c = dsp::SanitizeCrossovers(s.lowCrossover, s.midCrossover, s.highCrossover);
  return dsp::ComputeReadouts(analysis, target, c, dsp::BandActivity(analysis));
}

}  // namespace

dsp::Readouts CorrectionLoop::OutputReadouts() const { return ReadoutsOf(output_, target_, settings_); }
dsp::Readouts CorrectionLoop::InputReadouts() const { return ReadoutsOf(input_, target_, settings_); }

dsp::GridCurve TiltedTarget(double tiltDbPerOctave, const dsp::BandValues& bandOffsets,
                            const dsp::Crossovers& crossovers) {
  dsp::GridCurve curve{};
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) {
    const double f = dsp::GridFrequency(i);
    curve[i] = tiltDbPerOctave * dsp::OctavePosition(i) +
               bandOffsets[static_cast<std::size_t>(dsp::BandOf(f, crossovers))];
  }
  return curve;
}

}  // namespace ombrix::test_support
