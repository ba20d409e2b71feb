#pragma once
// The correction amounts, speed and crossovers as the parameters set them.
#include <array>

namespace ombrix {

struct CorrectionSettings {
  // tilt, Low, Lo-Mid, Hi-Mid, High; each 0..1
  std::array<double, 5> amount{0.5, 0.5, 0.5, 0.5, 0.5};
  double speedSeconds = 15.0;
  double lowCrossover = 200.0;
  double midCrossover = 2000.0;
  double highCrossover = 6000.0;
};

}  // namespace ombrix
