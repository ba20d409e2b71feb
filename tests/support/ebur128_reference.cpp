#include "support/ebur128_reference.h"

#include <ebur128.h>

#include <cmath>
#include <vector>

namespace ombrix::test_support {
namespace {

int AddFrames(ebur128_state* state, const float* frames, std::size_t count) {
  return ebur128_add_frames_float(state, frames, count);
}
int AddFrames(ebur128_state* state, const double* frames, std::size_t count) {
  return ebur128_add_frames_double(state, frames, count);
}

template <typename Sample>
double RangeEvery100ms(const Sample* interleaved, std::size_t frames, unsigned channels, unsigned long rate) {
  constexpr int kPhases = 10;
  const std::size_t step = (rate + 5) / 10;
  std::vector<ebur128_state*> states;
  bool ok = true;
  for (int k = 0; k < kPhases; ++k) {
    ebur128_state* state = ebur128_init(channels, rate, EBUR128_MODE_LRA);
    if (state == nullptr) {
      ok = false;
      break;
    }
    states.push_back(state);
    const std::size_t start = static_cast<std::size_t>(k) * step;
    if (start < frames) ok = ok && AddFrames(state, interleaved + start * channels, frames - start) == EBUR128_SUCCESS;
  }
  double range = NAN;
  if (ok && ebur128_loudness_range_multiple(states.data(), states.size(), &range) != EBUR128_SUCCESS) range = NAN;
  for (ebur128_state*& state : states) ebur128_destroy(&state);
  return ok ? range : NAN;
}

}  // namespace

double Ebur128RangeEvery100ms(const float* interleaved, std::size_t frames, unsigned channels, unsigned long rate) {
  return RangeEvery100ms(interleaved, frames, channels, rate);
}

double Ebur128RangeEvery100ms(const double* interleaved, std::size_t frames, unsigned channels, unsigned long rate) {
  return RangeEvery100ms(interleaved, frames, channels, rate);
}

}  // namespace ombrix::test_support
