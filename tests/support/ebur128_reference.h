#pragma once
// libebur128's loudness range of a programme with its short-term loudness
// sampled every 100 ms, as our meter samples it. libebur128 itself samples
// once a second (3 s windows overlapping by 2 s); ten of its meters fed the
// programme from 0, 100, ..., 900 ms on sample it at every 100 ms between
// them, and libebur128 takes the range over all their values together.
#include <cstddef>

namespace ombrix::test_support {

// Interleaved frames; the range in LU, or NaN when libebur128 failed.
double Ebur128RangeEvery100ms(const float* interleaved, std::size_t frames, unsigned channels, unsigned long rate);
double Ebur128RangeEvery100ms(const double* interleaved, std::size_t frames, unsigned channels, unsigned long rate);

}  // namespace ombrix::test_support
