#pragma once
// Test signals for the loudness and true-peak meters: sines, level steps and
// pink noise, deterministic and independent of the platform.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrix::test {

using Samples = std::vector<double>;

// One or two channels of equal length at a sample rate.
struct Signal {
  double sampleRate = 48000.0;
  std::vector<Samples> channels;

  std::size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
  int NumChannels() const { return static_cast<int>(channels.size()); }
  // Channel pointers for a meter's Process, starting at frame `offset`.
  std::vector<const double*> Pointers(std::size_t offset = 0) const;
  // The frames interleaved, as libebur128 takes them.
  std::vector<double> Interleaved() const;
};

std::size_t FramesFor(double sampleRate, double seconds);

// amplitude * sin(2 pi f n / rate + phase), n = 0 .. frames-1.
Samples Sine(double sampleRate, double frequency, double amplitude, std::size_t frames, double phase = 0.0);

// Pink noise (-3 dB per octave, white noise through Paul Kellet's filter) with
// the given RMS level, from a fixed-seed generator.
Samples PinkNoise(std::size_t frames, double rms, std::uint32_t seed);

// Raised-cosine fade-in over the first `frames` samples, so that a signal does
// not start with a step (a step rings in any interpolator).
void FadeIn(Samples& samples, std::size_t frames);

// A sine whose amplitude changes in steps: each step is {seconds, amplitude};
// the phase runs on across the steps.
struct LevelStep {
  double seconds;
  double amplitude;
};
Samples SineSteps(double sampleRate, double frequency, const std::vector<LevelStep>& steps);

// Amplitude factor of a level change in dB.
double DbToGain(double db);

Signal Mono(double sampleRate, Samples samples);
Signal Stereo(double sampleRate, Samples left, Samples right);

}  // namespace ombrix::test
