#pragma once
// Turns white noise into pink noise (about -3 dB per octave) with a sum of
// one-pole filters. The raw output has an RMS of about twice the input's.
// Used for test programme material and the demo.
#include <array>

namespace ombrix::dsp {

class PinkingFilter {
 public:
  double Next(double white) {
    b_[0] = 0.99886 * b_[0] + white * 0.0555179;
    b_[1] = 0.99332 * b_[1] + white * 0.0750759;
    b_[2] = 0.96900 * b_[2] + white * 0.1538520;
    b_[3] = 0.86650 * b_[3] + white * 0.3104856;
    b_[4] = 0.55000 * b_[4] + white * 0.5329522;
    b_[5] = -0.7616 * b_[5] - white * 0.0168980;
    const double out = b_[0] + b_[1] + b_[2] + b_[3] + b_[4] + b_[5] + b_[6] + white * 0.5362;
    b_[6] = white * 0.115926;
    return out;
  }

 private:
  std::array<double, 7> b_{};
};

}  // namespace ombrix::dsp
