#pragma once
// Loudness values (mean squares of K-weighted audio) kept as a histogram
// instead of a list: 1600 bins of 0.05 LU from the absolute gate, -70 LUFS,
// up to +10 LUFS (the last bin also takes everything louder), each with the
// summed mean squares and the number of values that fell into it. Memory
// (1600 x 12 + 16 = 19,216 bytes) and the time to add a value stay constant however
// long a measurement runs; gates and percentiles are taken per bin.
//
// Histograms add up, so several files can be measured as one programme.
// Real-time safe: no allocation, no lock.
#include <array>
#include <cstdint>

namespace ombrix::dsp {

class LoudnessHistogram {
 public:
  static constexpr int kBins = 1600;
  static constexpr double kAbsoluteGate = -70.0;  // LUFS
  static constexpr double kBinWidth = 0.05;       // LU
  static constexpr double kOffset = -0.691;       // dB, so that K-weighted 997 Hz reads its RMS

  void Clear();

  // Counts a mean square whose loudness reaches the absolute gate and returns
  // whether it was counted (not for silence, quieter or non-finite values).
  bool Add(double meanSquare);
  void Merge(const LoudnessHistogram& other);

  bool Empty() const;

  // The loudness of the counted values in the bins whose own loudness lies
  // at most `relativeGateLu` below that of all of them (integrated loudness
  // for 400 ms blocks and a gate of 10 LU). kNothingMeasured when empty.
  double GatedLoudness(double relativeGateLu) const;

  // The loudness range after EBU Tech 3342 for 3 s short-term values: of the
  // values in the bins passing a relative gate of `relativeGateLu` (20 LU),
  // the spread from the `low` to the `high` percentile (0.10 and 0.95), each
  // the loudness of the bin holding it. kNothingMeasured when empty.
  double Range(double relativeGateLu, double low, double high) const;

 private:
  // The mean square that a bin's own mean square must reach to pass the
  // relative gate; 0 when the histogram is empty.
  double RelativeGate(double relativeGateLu) const;
  bool Passes(int bin, double gate) const { return count_[bin] > 0 && energy_[bin] >= gate * count_[bin]; }

  std::array<double, kBins> energy_{};
  std::array<std::uint32_t, kBins> count_{};
  // Sums over all bins, kept as values are added.
  double totalEnergy_ = 0.0;
  std::uint64_t totalCount_ = 0;
};

// Loudness in LUFS of a K-weighted mean square; kNothingMeasured for none.
double MeanSquareToLufs(double meanSquare);

}  // namespace ombrix::dsp
