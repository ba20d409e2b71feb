#include "support/analysis_signals.h"

#include <cmath>
#include <numbers>

#include "dsp/pinking_filter.h"

namespace ombrix::test_support {

double WhiteNoise::Next() {
  // SplitMix64.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

std::vector<float> PinkNoise(std::uint64_t seed, std::size_t count, double rms) {
  WhiteNoise white(seed);
  std::vector<double> raw(count);
  dsp::PinkingFilter pinking;
  double sum = 0.0;
  for (double& sample : raw) {
    sample = pinking.Next(white.Next());
    sum += sample * sample;
  }
  const double scale = count > 0 && sum > 0.0 ? rms / std::sqrt(sum / static_cast<double>(count)) : 0.0;
  std::vector<float> out(count);
  for (std::size_t n = 0; n < count; ++n) out[n] = static_cast<float>(raw[n] * scale);
  return out;
}

std::vector<float> WhiteNoiseSamples(std::uint64_t seed, std::size_t count, double amplitude) {
  WhiteNoise white(seed);
  std::vector<float> out(count);
  for (float& sample : out) sample = static_cast<float>(amplitude * white.Next());
  return out;
}

std::vector<float> Sine(double frequency, double sampleRate, std::size_t count, double amplitude, double phase) {
  std::vector<float> out(count);
  for (std::size_t n = 0; n < count; ++n) {
    out[n] = static_cast<float>(
        amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(n) / sampleRate + phase));
  }
  return out;
}

double MeanSquare(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}

}  // namespace ombrix::test_support
