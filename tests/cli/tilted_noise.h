#pragma once
// Noise whose spectrum is a straight line in dB per octave relative to pink
// noise (0 dB per octave is pink: equal power in every octave), made in the
// frequency domain, so the slope is exact rather than approximated by filters.
#include <cstdint>
#include <vector>

namespace ombrix::test_support {

// One channel of `seconds` at the rate, RMS `rms`. The noise repeats every
// 2^20 samples; nothing below 20 Hz.
std::vector<float> TiltedNoise(std::uint64_t seed, double seconds, double sampleRate, double dbPerOctave,
                               double rms = 0.1);

}  // namespace ombrix::test_support
