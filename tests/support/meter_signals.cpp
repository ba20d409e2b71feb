#include "support/meter_signals.h"

#include <cmath>
#include <utility>

#include "dsp/pinking_filter.h"

namespace ombrix::test {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::vector<const double*> Signal::Pointers(std::size_t offset) const {
  std::vector<const double*> pointers;
  for (const Samples& channel : channels) pointers.push_back(channel.data() + offset);
  return pointers;
}

std::vector<double> Signal::Interleaved() const {
  std::vector<double> frames(Frames() * channels.size());
  for (std::size_t n = 0; n < Frames(); ++n) {
    for (std::size_t c = 0; c < channels.size(); ++c) frames[n * channels.size() + c] = channels[c][n];
  }
  return frames;
}

std::size_t FramesFor(double sampleRate, double seconds) {
  return static_cast<std::size_t>(std::llround(sampleRate * seconds));
}

Samples Sine(double sampleRate, double frequency, double amplitude, std::size_t frames, double phase) {
  Samples samples(frames);
  const double step = 2.0 * kPi * frequency / sampleRate;
  for (std::size_t n = 0; n < frames; ++n) samples[n] = amplitude * std::sin(step * static_cast<double>(n) + phase);
  return samples;
}

Samples PinkNoise(std::size_t frames, double rms, std::uint32_t seed) {
  // xorshift32 to uniform white noise in [-1, 1).
  std::uint32_t state = seed != 0 ? seed : 1u;
  auto white = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  };
  Samples samples(frames);
  dsp::PinkingFilter pinking;
  for (std::size_t n = 0; n < frames; ++n) samples[n] = pinking.Next(white());
  double sum = 0.0;
  for (double v : samples) sum += v * v;
  const double scale = frames > 0 && sum > 0.0 ? rms / std::sqrt(sum / static_cast<double>(frames)) : 0.0;
  for (double& v : samples) v *= scale;
  return samples;
}

void FadeIn(Samples& samples, std::size_t frames) {
  for (std::size_t n = 0; n < frames && n < samples.size(); ++n) {
    samples[n] *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(n) / static_cast<double>(frames));
  }
}

Samples SineSteps(double sampleRate, double frequency, const std::vector<LevelStep>& steps) {
  Samples samples;
  const double step = 2.0 * kPi * frequency / sampleRate;
  std::size_t n = 0;
  for (const LevelStep& s : steps) {
    const std::size_t frames = FramesFor(sampleRate, s.seconds);
    for (std::size_t i = 0; i < frames; ++i, ++n) samples.push_back(s.amplitude * std::sin(step * static_cast<double>(n)));
  }
  return samples;
}

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

Signal Mono(double sampleRate, Samples samples) {
  Signal s;
  s.sampleRate = sampleRate;
  s.channels.push_back(std::move(samples));
  return s;
}

Signal Stereo(double sampleRate, Samples left, Samples right) {
  Signal s;
  s.sampleRate = sampleRate;
  s.channels.push_back(std::move(left));
  s.channels.push_back(std::move(right));
  return s;
}

}  // namespace ombrix::test
