#include "cli/tilted_noise.h"

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "support/analysis_signals.h"

namespace ombrix::test_support {

std::vector<float> TiltedNoise(std::uint64_t seed, double seconds, double sampleRate, double dbPerOctave,
                               double rms) {
  constexpr int kPeriod = 1 << 20;
  constexpr int kBins = kPeriod / 2 + 1;
  auto* spectrum = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kBins));
  auto* period = static_cast<float*>(fftwf_malloc(sizeof(float) * kPeriod));
  WhiteNoise phases(seed);
  for (int k = 0; k < kBins; ++k) {
    const double f = k * sampleRate / kPeriod;
    const double phase = std::numbers::pi * phases.Next();
    // Power per bin falls as 1/f for pink, then the tilt in dB per octave on top.
    const double magnitude =
        f < 20.0 ? 0.0 : std::pow(f, -0.5) * std::pow(10.0, dbPerOctave * std::log2(f / 1000.0) / 20.0);
    spectrum[k][0] = static_cast<float>(magnitude * std::cos(phase));
    spectrum[k][1] = static_cast<float>(magnitude * std::sin(phase));
  }
  fftwf_plan plan = fftwf_plan_dft_c2r_1d(kPeriod, spectrum, period, FFTW_ESTIMATE);
  fftwf_execute(plan);
  fftwf_destroy_plan(plan);

  double sum = 0.0;
  for (int n = 0; n < kPeriod; ++n) sum += static_cast<double>(period[n]) * period[n];
  const double scale = sum > 0.0 ? rms / std::sqrt(sum / kPeriod) : 0.0;
  std::vector<float> out(static_cast<std::size_t>(std::llround(seconds * sampleRate)));
  for (std::size_t n = 0; n < out.size(); ++n) out[n] = static_cast<float>(period[n % kPeriod] * scale);
  fftwf_free(period);
  fftwf_free(spectrum);
  return out;
}

}  // namespace ombrix::test_support
