#include "tools/ombrix/demo_programme.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "dsp/pinking_filter.h"

namespace ombrix::cli {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  std::uint64_t state_;
};

// White noise through a sum of one-pole filters: about -3 dB per octave.
class PinkNoise {
 public:
  explicit PinkNoise(std::uint64_t seed) : white_(seed) {}
  double Next() {
    return pinking_.Next(white_.Next()) * 0.11;
  }

 private:
  Random white_;
  dsp::PinkingFilter pinking_;
};

// A shelving filter after the well-known audio-EQ cookbook (slope 1).
class Shelf {
 public:
  Shelf(bool high, double frequency, double gainDb, double sampleRate) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = kTwoPi * frequency / sampleRate;
    const double cosw = std::cos(w);
    const double alpha = std::sin(w) / 2.0 * std::sqrt(2.0);
    const double root = 2.0 * std::sqrt(a) * alpha;
    const double sign = high ? -1.0 : 1.0;  // the high shelf mirrors the low one
    const double b0 = a * ((a + 1) - sign * (a - 1) * cosw + root);
    const double b1 = 2 * sign * a * ((a - 1) - sign * (a + 1) * cosw);
    const double b2 = a * ((a + 1) - sign * (a - 1) * cosw - root);
    const double a0 = (a + 1) + sign * (a - 1) * cosw + root;
    const double a1 = -2 * sign * ((a - 1) + sign * (a + 1) * cosw);
    const double a2 = (a + 1) + sign * (a - 1) * cosw - root;
    b0_ = b0 / a0, b1_ = b1 / a0, b2_ = b2 / a0, a1_ = a1 / a0, a2_ = a2 / a0;
  }
  double Process(double x) {
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

 private:
  double b0_, b1_, b2_, a1_, a2_;
  double z1_ = 0.0, z2_ = 0.0;
};

struct Channel {
  Shelf lowBoost;
  Shelf highCut;
};

}  // namespace

std::vector<float> SynthesiseDemoProgramme(double sampleRate, double seconds) {
  const auto frames = static_cast<std::size_t>(std::llround(seconds * sampleRate));
  PinkNoise mid(7), side(8);
  std::array<Channel, 2> channels{{{Shelf(false, 100.0, 6.0, sampleRate), Shelf(true, 6000.0, -6.0, sampleRate)},
                                   {Shelf(false, 100.0, 6.0, sampleRate), Shelf(true, 6000.0, -6.0, sampleRate)}}};
  const std::array<double, 3> chord{220.0, 277.18, 329.63};

  std::vector<double> mixed(frames * 2);
  double sumSquares = 0.0;
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / sampleRate;
    const double swell = 1.0 + 0.3 * std::sin(kTwoPi * 0.1 * t);
    const double m = mid.Next() * swell, s = side.Next() * swell;
    // A bass note that pulses twice a second, and a chord that breathes slowly.
    const double beat = std::fmod(t, 0.5);
    const double bass = 0.25 * std::exp(-6.0 * beat) * std::sin(kTwoPi * 55.0 * t);
    double pad = 0.0;
    for (std::size_t k = 0; k < chord.size(); ++k)
      pad += 0.03 * (1.0 + 0.5 * std::sin(kTwoPi * 0.25 * t + static_cast<double>(k))) *
             std::sin(kTwoPi * chord[k] * t + static_cast<double>(k));
    const std::array<double, 2> dry{m + 0.4 * s + bass + pad, m - 0.4 * s + bass + pad};
    for (std::size_t ch = 0; ch < 2; ++ch) {
      const double y = channels[ch].highCut.Process(channels[ch].lowBoost.Process(dry[ch]));
      mixed[2 * n + ch] = y;
      sumSquares += y * y;
    }
  }

  const double rms = frames > 0 ? std::sqrt(sumSquares / static_cast<double>(2 * frames)) : 0.0;
  double scale = rms > 0.0 ? 0.1 / rms : 0.0;
  double peak = 0.0;
  for (double v : mixed) peak = std::max(peak, std::abs(v));
  if (peak * scale > 0.7) scale = 0.7 / peak;
  std::vector<float> out(mixed.size());
  for (std::size_t i = 0; i < mixed.size(); ++i) out[i] = static_cast<float>(mixed[i] * scale);
  return out;
}

}  // namespace ombrix::cli
