#include "dsp/grid_curves.h"

#include <algorithm>
#include <cmath>

#include "dsp/band_analyser.h"

namespace ombrix::dsp {

GridCurve LevelMatch(const ValidFlags& valid, const GridCurve& powers, const GridCurve& reference) {
  GridCurve out{};
  double referenceSum = 0.0;
  double powerSum = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    out[i] = 10.0 * std::log10(std::max(powers[i], 1e-30));
    if (valid[i] && InAnalysisRange(GridFrequency(i))) {
      referenceSum += std::pow(10.0, reference[i] / 10.0);
      powerSum += powers[i];
    }
  }
  if (referenceSum > 0.0 && powerSum > 0.0) {
    const double offset = 10.0 * std::log10(referenceSum / powerSum);
    for (double& value : out) value += offset;
  }
  return out;
}

GridCurve LevelMatch(const SpectrumAnalysis& analysis, const GridCurve& powers, const GridCurve& reference) {
  return LevelMatch(analysis.Valid(), powers, reference);
}

GridCurve SmoothAcrossFrequency(const GridCurve& curve, const ValidFlags& valid, int halfWidth, SmoothingMode mode) {
  GridCurve out = curve;
  if (halfWidth <= 0) return out;
  const bool power = mode == SmoothingMode::kPowerAverage;
  GridCurve terms{};
  for (std::size_t j = 0; j < kGridPoints; ++j) {
    if (valid[j]) terms[j] = power ? std::pow(10.0, curve[j] / 10.0) : curve[j];
  }
  const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(kGridPoints) - 1;
  for (std::ptrdiff_t i = 0; i <= last; ++i) {
    if (!valid[static_cast<std::size_t>(i)]) continue;
    const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(0, i - halfWidth);
    const std::ptrdiff_t hi = std::min<std::ptrdiff_t>(last, i + halfWidth);
    double sum = 0.0;
    int count = 0;
    for (std::ptrdiff_t j = lo; j <= hi; ++j) {
      if (!valid[static_cast<std::size_t>(j)]) continue;
      sum += terms[static_cast<std::size_t>(j)];
      ++count;
    }
    const double mean = sum / count;  // count >= 1: i itself is valid
    out[static_cast<std::size_t>(i)] = power ? 10.0 * std::log10(mean) : mean;
  }
  return out;
}

int ResolutionHalfWidth(int resolutionIndex) {
  static constexpr double kOctaves[3] = {1.0 / 3.0, 0.5, 1.0};
  const int index = std::clamp(resolutionIndex, 0, 2);
  // Grid points per octave: 179 / log2(1000).
  return static_cast<int>(std::lround(kOctaves[index] * 0.5 * 179.0 / std::log2(1000.0)));
}

}  // namespace ombrix::dsp
