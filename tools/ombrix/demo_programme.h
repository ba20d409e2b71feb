#pragma once
// The programme the demo corrects: stereo pink noise with a slow swell, a
// pulsing bass note and a soft chord, with far too much low end and dull
// highs. The same samples on every run.
#include <vector>

namespace ombrix::cli {

inline constexpr double kDemoSampleRate = 48000.0;
inline constexpr double kDemoSeconds = 30.0;

// Interleaved stereo, RMS about -20 dBFS, peaks below -3 dBFS.
std::vector<float> SynthesiseDemoProgramme(double sampleRate = kDemoSampleRate, double seconds = kDemoSeconds);

}  // namespace ombrix::cli
