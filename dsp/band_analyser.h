#pragma once
// The spectrum analyser: turns a stereo stream into 180 band powers on the
// frequency grid every 2048 samples (8192-sample Hann windows, 75 % overlap),
// keeps four time averages of them, four band levels with held peaks and a
// silence timer, and hands every non-silent frame to an observer.
//
// Not thread-safe: one owner thread at a time. Configure allocates on its
// first call only; Feed never allocates, locks or waits (the frame observer,
// which runs inside Feed, must behave likewise where that matters).
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "dsp/fft_real.h"
#include "core/frequency_grid.h"

namespace ombrix::dsp {

// How one grid point's band power is taken from the power spectrum.
struct GridBand {
  std::int64_t firstBin = 0;   // sum mode: bins first..last
  std::int64_t lastBin = 0;
  double scale = 1.0;          // bandwidth over the width of the bins used
  bool interpolate = false;    // narrow (low) bands: linear interpolation at the centre
  double fractionalBin = 0.0;  // interpolate mode: centre frequency in bins
};

// Called for every non-silent analysis frame with the frame's band powers
// (zero at invalid points), its mean square over both channels and the hop
// duration 2048 / sampleRate in seconds. It runs inside Feed on the owner's
// thread and must not call back into the analyser that calls it.
using FrameObserver = std::function<void(const GridCurve& bandPowers, double meanSquare, double hopSeconds)>;

class SpectrumAnalysis {
 public:
  static constexpr std::size_t kFftSize = RealFft8192::kSize;  // 8192
  static constexpr std::size_t kBins = RealFft8192::kBins;     // 4097
  static constexpr std::size_t kHopSize = 2048;
  // Frames whose mean square is at most this are silence.
  static constexpr double kSilenceMeanSquare = 1e-10;

  // The K-weighted mean square (the mean over both channels, like a frame's
  // mean square) that a frame's band powers stand for: each point's power
  // weighted by the power gain of the K-weighting of ITU-R BS.1770 at its
  // frequency, scaled back from the transform's units and the bands'
  // threefold overlap to the signal's. Power outside the grid (below 18 Hz,
  // which the K-weighting removes anyway, and above 21 kHz) is not counted.
  static double KWeightedMeanSquare(const GridCurve& bandPowers);

  SpectrumAnalysis();
  ~SpectrumAnalysis();
  SpectrumAnalysis(const SpectrumAnalysis&) = delete;
  SpectrumAnalysis& operator=(const SpectrumAnalysis&) = delete;
  SpectrumAnalysis(SpectrumAnalysis&&) noexcept;
  SpectrumAnalysis& operator=(SpectrumAnalysis&&) noexcept;

  // Prepares everything for the rate, then Reset. The first call allocates
  // and plans the transform; later calls neither allocate nor lock. A rate
  // that is not a positive finite number is ignored.
  void Configure(double sampleRate);
  // Clears rings, hop position, averages, band levels; silence seconds 1,
  // not primed. Keeps the band table, crossovers, time constant and observer.
  void Reset();
  // Appends count samples per channel (right may be null: mono, left is used
  // twice) and analyses a frame at every hop once 8192 samples are in.
  // Ignored before the first Configure or for count <= 0.
  void Feed(const float* left, const float* right, int count);
  // Feed of `count` frames of zeros on both channels, with the same results;
  // once zeros fill the analysis window it only counts them.
  void FeedSilence(int count);

  // Sanitised crossovers expected (SanitizeCrossovers). Moving any of them by
  // more than 1e-6 Hz empties the band levels and held band levels.
  void SetCrossovers(double low, double mid, double high);
  void SetSlowTimeConstant(double seconds);
  // An empty observer removes it. Setting one may allocate; calling it does not.
  void SetFrameObserver(FrameObserver observer);

  bool Configured() const { return configured_; }
  double SampleRate() const { return sampleRate_; }
  const ValidFlags& Valid() const { return valid_; }
  const std::array<GridBand, kGridPoints>& BandTable() const { return bands_; }

  // The four averages of the band powers (linear, unnormalised).
  const GridCurve& SlowAverage() const { return slowAverage_; }          // time constant SlowTimeConstant()
  const GridCurve& TenSecondAverage() const { return tenSecondAverage_; }  // 10 s
  const GridCurve& FastAverage() const { return fastAverage_; }          // 0.3 s
  const GridCurve& BandLevelAverage() const { return bandLevelAverage_; }  // 0.15 s, behind the band levels

  // dB per band (Low, Lo-Mid, Hi-Mid, High); -300 when there is no value.
  const BandValues& BandLevels() const { return bandLevels_; }
  const BandValues& HeldBandLevels() const { return heldBandLevels_; }
  Crossovers CurrentCrossovers() const { return crossovers_; }

  double SilenceSeconds() const { return silenceSeconds_; }
  bool Primed() const { return primed_; }
  double SlowTimeConstant() const { return slowTimeConstant_; }
  double HopSeconds() const { return static_cast<double>(kHopSize) / sampleRate_; }

  // Diagnostics: frames analysed (silent or not) since the last reset; the
  // power spectrum of the last non-silent frame (4097 bins, both channels
  // summed; null before the first Configure; silent frames are not
  // transformed); the band powers of the last non-silent frame.
  std::uint64_t FramesAnalysed() const { return framesAnalysed_; }
  const double* PowerSpectrum() const;
  const GridCurve& LastBandPowers() const { return bandPowers_; }

  // Which vector code the hot loops use (chosen by the first Configure; the
  // results are the same on every path). Tests may force the portable path.
  RealFft8192::VectorPath VectorPathInUse() const { return fft_.Path(); }
  void SetVectorPathForTesting(RealFft8192::VectorPath path) { fft_.SetPath(path); }

 private:
  struct Buffers;

  void BuildBandTable();
  void AssignLevelBands();
  void UpdateCoefficients();
  void AnalyseFrame();
  // Moves through `count` frames hop by hop, write(ring position, run)
  // putting each run into the rings first.
  template <typename WriteRun>
  void FeedRuns(std::size_t count, WriteRun write);
  void FinishBlockSums();

  double sampleRate_ = 48000.0;
  std::unique_ptr<Buffers> buffers_;  // rings and power spectrum; made by the first Configure
  RealFft8192 fft_;                   // its input is the windowed scratch
  std::uint64_t ringPosition_ = 0;    // 0..8191
  std::uint64_t hopCounter_ = 0;      // 0..2047
  std::uint64_t fillCount_ = 0;       // 0..8192
  std::uint64_t zeroFrames_ = 0;      // 0..8192: the ring's newest frames known to be zeros
  std::array<GridBand, kGridPoints> bands_{};
  ValidFlags valid_{};
  GridCurve slowAverage_{};
  GridCurve tenSecondAverage_{};
  GridCurve fastAverage_{};
  GridCurve bandLevelAverage_{};
  BandValues bandLevels_{};
  BandValues heldBandLevels_{};
  Crossovers crossovers_{};
  double silenceSeconds_ = 1.0;
  bool primed_ = false;
  double slowTimeConstant_ = 3.0;
  FrameObserver observer_;

  bool configured_ = false;
  std::uint64_t framesAnalysed_ = 0;
  GridCurve bandPowers_{};
  // Sum of squares (double) of each channel's four 2048-sample quarters of the ring.
  std::array<std::array<double, 4>, 2> quarterSquares_{};
  // a(T) = 1 - exp(-hop/T) for the slow, 10 s, 0.3 s and 0.15 s averages.
  double slowCoefficient_ = 1.0;
  double tenSecondCoefficient_ = 1.0;
  double fastCoefficient_ = 1.0;
  double bandLevelCoefficient_ = 1.0;
  // Band (0..3) of every point that counts for the band levels, -1 otherwise.
  std::array<std::int8_t, kGridPoints> levelBand_{};
};

}  // namespace ombrix::dsp
