#include "tools/ombrix/tonal_balance.h"

#include <cmath>

#include "dsp/grid_curves.h"

namespace ombrix::cli {

dsp::DeviationFit BalanceAgainstTarget(const dsp::GridCurve& learnedLevels, double sampleRate,
                                       const dsp::GridCurve& target, const dsp::Crossovers& sanitisedCrossovers) {
  const dsp::ValidFlags valid = dsp::ValidPointsAt(sampleRate);
  dsp::GridCurve powers{};
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) powers[i] = std::pow(10.0, learnedLevels[i] / 10.0);
  const dsp::GridCurve matched = dsp::LevelMatch(valid, powers, target);
  dsp::GridCurve deviation{};
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) deviation[i] = matched[i] - target[i];
  return dsp::FitDeviation(valid, deviation, sanitisedCrossovers, {1.0, 1.0, 1.0, 1.0});
}

}  // namespace ombrix::cli
