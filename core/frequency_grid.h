#pragma once
// The fixed grid of 180 log-spaced points (20 Hz .. 20 kHz) that every
// tonal-balance measurement, target and fit is expressed on.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace ombrix::dsp {

inline constexpr std::size_t kGridPoints = 180;
inline constexpr double kAnalysisLowHz = 40.0;
inline constexpr double kAnalysisHighHz = 16000.0;
inline constexpr double kEmptyLevelDb = -300.0;
// Lower end of the range the straight-line fits use (upper end: kAnalysisHighHz).
inline constexpr double kFitLowHz = 50.0;
// Low, Lo-Mid, Hi-Mid, High.
inline constexpr std::size_t kBandCount = 4;

using GridCurve = std::array<double, kGridPoints>;
// Per grid point: does its band lie wholly below Nyquist at the analysed rate.
using ValidFlags = std::array<bool, kGridPoints>;
using BandValues = std::array<double, kBandCount>;

// f(i) = 20 * 1000^(i/179); recomputed by every consumer, there is no table.
inline double GridFrequency(std::size_t i) { return 20.0 * std::pow(1000.0, static_cast<double>(i) / 179.0); }

// Position in octaves relative to 1 kHz, used by the straight-line fits.
inline double OctavePosition(std::size_t i) { return std::log2(GridFrequency(i) / 1000.0); }

inline double BandLowerEdge(std::size_t i) { return GridFrequency(i) * std::pow(2.0, -1.0 / 12.0); }
inline double BandUpperEdge(std::size_t i) { return GridFrequency(i) * std::pow(2.0, 1.0 / 12.0); }

// A point is valid at a rate when its sixth-octave band lies wholly below Nyquist.
inline bool PointValidAt(std::size_t i, double sampleRate) { return BandUpperEdge(i) < sampleRate / 2.0; }

inline bool InAnalysisRange(double frequency) { return frequency >= kAnalysisLowHz && frequency <= kAnalysisHighHz; }
inline bool InFitRange(double frequency) { return frequency >= kFitLowHz && frequency <= kAnalysisHighHz; }

// All points that are valid at a rate.
inline ValidFlags ValidPointsAt(double sampleRate) {
  ValidFlags valid{};
  for (std::size_t i = 0; i < kGridPoints; ++i) valid[i] = PointValidAt(i, sampleRate);
  return valid;
}

struct Crossovers {
  double low = 200.0;
  double mid = 2000.0;
  double high = 6000.0;
  bool operator==(const Crossovers&) const = default;
};

// The three bands are kept at least an octave apart, whatever the user set.
inline Crossovers SanitizeCrossovers(double low, double mid, double high) {
  Crossovers c;
  c.low = low;
  c.mid = std::max(2.0 * low, mid);
  c.high = std::max(2.0 * c.mid, high);
  return c;
}

// Band 0 Low, 1 Lo-Mid, 2 Hi-Mid, 3 High, for sanitised crossovers.
inline int BandOf(double frequency, const Crossovers& c) {
  if (frequency < c.low) return 0;
  if (frequency < c.mid) return 1;
  if (frequency < c.high) return 2;
  return 3;
}

}  // namespace ombrix::dsp
