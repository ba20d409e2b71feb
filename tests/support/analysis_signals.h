#pragma once
// Deterministic test signals for the analysers: the same samples on every
// machine and every run.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::test_support {

// Uniform white noise in [-amplitude, amplitude).
class WhiteNoise {
 public:
  explicit WhiteNoise(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  double Next();  // in [-1, 1)

 private:
  std::uint64_t state_;
};

// Pink (1/f) noise from white noise through Paul Kellett's filter; roughly
// equal power per octave. Scaled so that its RMS is about `rms`.
std::vector<float> PinkNoise(std::uint64_t seed, std::size_t count, double rms = 0.1);
std::vector<float> WhiteNoiseSamples(std::uint64_t seed, std::size_t count, double amplitude = 0.5);

// amplitude * sin(2 pi f n / sampleRate + phase).
std::vector<float> Sine(double frequency, double sampleRate, std::size_t count, double amplitude = 0.5,
                        double phase = 0.0);

// Mean of the squares, in double.
double MeanSquare(const std::vector<float>& samples);

}  // namespace ombrix::test_support
