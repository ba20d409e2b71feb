#include "dsp/band_analyser.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>

#include "core/simd_support.h"
#include "dsp/loudness_meter.h"

namespace ombrix::dsp {

namespace {

constexpr std::size_t kRingMask = SpectrumAnalysis::kFftSize - 1;
constexpr std::size_t kLastBin = SpectrumAnalysis::kBins - 1;  // 4096
constexpr std::size_t kQuarters = SpectrumAnalysis::kFftSize / SpectrumAnalysis::kHopSize;
static_assert(kQuarters == 4, "the ring holds four hops");
constexpr double kNoLevel = kEmptyLevelDb;  // -300
constexpr double kLevelFloor = -299.0;      // "has a value" means above this
constexpr double kHeldFallPerSecond = 0.25;
constexpr double kCrossoverTolerance = 1e-6;

double Coefficient(double hopSeconds, double timeConstant) {
  if (!(timeConstant > 0.0)) return 1.0;
  return 1.0 - std::exp(-hopSeconds / timeConstant);
}

// Sum of squares in double with independent partial sums, so the additions
// need not wait for one another.
template <std::size_t N>
double SumOfSquares(const float* x) {
  static_assert(N % 8 == 0);
  double acc[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < N; i += 8) {
    for (std::size_t j = 0; j < 8; ++j) {
      const double v = x[i + j];
      acc[j] += v * v;
    }
  }
  return ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
}

// Sum of x[first..last] with eight partial sums (lane j takes the elements
// first + 8m + j), combined in a fixed order. The vector versions below keep
// exactly these lanes, so every path gives the same result.
inline double CombineLanes(const double* lane) {
  return ((lane[0] + lane[1]) + (lane[2] + lane[3])) + ((lane[4] + lane[5]) + (lane[6] + lane[7]));
}

double SumRangePortable(const double* x, std::size_t first, std::size_t last) {
  double lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const std::size_t count = last + 1 - first;
  const double* p = x + first;
  std::size_t i = 0;
#ifdef OMBRIX_SIMD_SSE2
  __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd(), s2 = _mm_setzero_pd(), s3 = _mm_setzero_pd();
  for (; i + 8 <= count; i += 8) {
    s0 = _mm_add_pd(s0, _mm_loadu_pd(p + i));
    s1 = _mm_add_pd(s1, _mm_loadu_pd(p + i + 2));
    s2 = _mm_add_pd(s2, _mm_loadu_pd(p + i + 4));
    s3 = _mm_add_pd(s3, _mm_loadu_pd(p + i + 6));
  }
  _mm_storeu_pd(lane, s0);
  _mm_storeu_pd(lane + 2, s1);
  _mm_storeu_pd(lane + 4, s2);
  _mm_storeu_pd(lane + 6, s3);
#endif
  for (; i < count; ++i) lane[i % 8] += p[i];
  return CombineLanes(lane);
}

// scratch[n] = ring[(start + n) mod 8192] * window[n]: the ring oldest first.
void WindowPortable(const float* __restrict ring, const float* __restrict window, std::size_t start,
                    float* __restrict scratch) {
  const std::size_t firstRun = SpectrumAnalysis::kFftSize - start;
  for (std::size_t n = 0; n < firstRun; ++n) scratch[n] = ring[start + n] * window[n];
  for (std::size_t n = firstRun; n < SpectrumAnalysis::kFftSize; ++n) scratch[n] = ring[n - firstRun] * window[n];
}

#ifdef OMBRIX_SIMD_AVX
OMBRIX_TARGET_AVX double SumRangeAvx(const double* x, std::size_t first, std::size_t last) {
  alignas(32) double lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const std::size_t count = last + 1 - first;
  const double* p = x + first;
  std::size_t i = 0;
  __m256d s0 = _mm256_setzero_pd(), s1 = _mm256_setzero_pd();
  for (; i + 8 <= count; i += 8) {
    s0 = _mm256_add_pd(s0, _mm256_loadu_pd(p + i));
    s1 = _mm256_add_pd(s1, _mm256_loadu_pd(p + i + 4));
  }
  _mm256_store_pd(lane, s0);
  _mm256_store_pd(lane + 4, s1);
  for (; i < count; ++i) lane[i % 8] += p[i];
  return CombineLanes(lane);
}

OMBRIX_TARGET_AVX void WindowAvx(const float* __restrict ring, const float* __restrict window, std::size_t start,
                                 float* __restrict scratch) {
  // start is a multiple of the hop, so both runs are whole multiples of 8.
  const std::size_t firstRun = SpectrumAnalysis::kFftSize - start;
  for (std::size_t n = 0; n < firstRun; n += 8) {
    _mm256_storeu_ps(scratch + n, _mm256_mul_ps(_mm256_loadu_ps(ring + start + n), _mm256_loadu_ps(window + n)));
  }
  for (std::size_t n = firstRun; n < SpectrumAnalysis::kFftSize; n += 8) {
    _mm256_storeu_ps(scratch + n, _mm256_mul_ps(_mm256_loadu_ps(ring + n - firstRun), _mm256_loadu_ps(window + n)));
  }
}
#endif

// The power gain of the K-weighting at each grid point (the filters as
// designed for 48 kHz, the rate their standard coefficients are given for),
// divided by what a band power holds per unit of mean square: a band power
// is the sum of the Hann-windowed bins' |X|^2 over a sixth of an octave, and
// a bin holds sum(w^2) = 3N/8 times half the channel's power per bin width
// (the other half lies in the mirrored bin), so a band of width B holds
// N sum(w^2) / 2 times the power in it. The bands are B wide but lie only a
// point's spacing S apart, so each frequency is counted B/S times.
const GridCurve kKWeightedPowerPerBandPower = [] {
  const auto gain = [](const LoudnessMeter::Biquad& f, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::norm((f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2));
  };
  constexpr double kRate = 48000.0;
  const LoudnessMeter::Biquad shelf = LoudnessMeter::DesignPreFilter(kRate);
  const LoudnessMeter::Biquad highPass = LoudnessMeter::DesignHighPass(kRate);
  const double n = static_cast<double>(SpectrumAnalysis::kFftSize);
  const double windowPower = 3.0 * n / 8.0;
  const double bandWidth = std::pow(2.0, 1.0 / 12.0) - std::pow(2.0, -1.0 / 12.0);  // times the frequency
  const double step = std::pow(1000.0, 1.0 / static_cast<double>(kGridPoints - 1));
  const double spacing = std::sqrt(step) - 1.0 / std::sqrt(step);  // times the frequency
  GridCurve table{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double w = 2.0 * std::numbers::pi * GridFrequency(i) / kRate;
    table[i] = gain(shelf, w) * gain(highPass, w) / (n * windowPower / 2.0 * bandWidth / spacing);
  }
  return table;
}();

}  // namespace

double SpectrumAnalysis::KWeightedMeanSquare(const GridCurve& bandPowers) {
  double sum = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) sum += bandPowers[i] * kKWeightedPowerPerBandPower[i];
  // Band powers sum both channels; the mean square is their mean.
  return sum / 2.0;
}

struct SpectrumAnalysis::Buffers {
  alignas(64) float ring[2][kFftSize];  // left, right: the most recent samples
  alignas(64) double power[kBins];      // both channels, unnormalised
};

namespace {

// The periodic Hann window: one table for every analyser of the process, so
// that many instances keep one copy in the cache rather than one each.
const float* HannWindow() {
  constexpr std::size_t kSize = SpectrumAnalysis::kFftSize;
  struct Table {
    alignas(64) float values[kSize];
  };
  static const Table table = [] {
    Table t;
    for (std::size_t n = 0; n < kSize; ++n) {
      t.values[n] = static_cast<float>(
          0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(kSize)));
    }
    return t;
  }();
  return table.values;
}

}  // namespace

SpectrumAnalysis::SpectrumAnalysis() {
  bandLevels_.fill(kNoLevel);
  heldBandLevels_.fill(kNoLevel);
  levelBand_.fill(-1);
}

SpectrumAnalysis::~SpectrumAnalysis() = default;
SpectrumAnalysis::SpectrumAnalysis(SpectrumAnalysis&&) noexcept = default;
SpectrumAnalysis& SpectrumAnalysis::operator=(SpectrumAnalysis&&) noexcept = default;

void SpectrumAnalysis::Configure(double sampleRate) {
  if (!std::isfinite(sampleRate) || !(sampleRate > 0.0)) return;
  sampleRate_ = sampleRate;
  if (!buffers_) {
    buffers_ = std::make_unique<Buffers>();
    HannWindow();  // made here, off the worker's path
  }
  configured_ = fft_.Prepare();
  BuildBandTable();
  UpdateCoefficients();
  Reset();
}

void SpectrumAnalysis::BuildBandTable() {
  const double binWidth = sampleRate_ / static_cast<double>(kFftSize);
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    const double lo = f * std::pow(2.0, -1.0 / 12.0);
    const double hi = f * std::pow(2.0, 1.0 / 12.0);
    const double bandwidth = hi - lo;
    GridBand band;
    valid_[i] = hi < sampleRate_ / 2.0;
    if (bandwidth >= 2.0 * binWidth) {
      band.interpolate = false;
      band.firstBin = static_cast<std::int64_t>(std::ceil(lo / binWidth));
      band.lastBin = std::min(static_cast<std::int64_t>(std::floor(hi / binWidth)), static_cast<std::int64_t>(kLastBin));
      const std::int64_t count = band.lastBin - band.firstBin + 1;
      // Only points past Nyquist (invalid, never summed) can have no bins.
      band.scale = count > 0 ? bandwidth / (static_cast<double>(count) * binWidth) : 0.0;
    } else {
      band.interpolate = true;
      band.fractionalBin = f / binWidth;
      band.scale = bandwidth / binWidth;
    }
    bands_[i] = band;
  }
  AssignLevelBands();
}

void SpectrumAnalysis::AssignLevelBands() {
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    levelBand_[i] = valid_[i] && InAnalysisRange(f) ? static_cast<std::int8_t>(BandOf(f, crossovers_)) : std::int8_t{-1};
  }
}

void SpectrumAnalysis::UpdateCoefficients() {
  const double h = HopSeconds();
  slowCoefficient_ = Coefficient(h, slowTimeConstant_);
  tenSecondCoefficient_ = Coefficient(h, 10.0);
  fastCoefficient_ = Coefficient(h, 0.3);
  bandLevelCoefficient_ = Coefficient(h, 0.15);
}

void SpectrumAnalysis::Reset() {
  if (buffers_) {
    std::memset(buffers_->ring, 0, sizeof(buffers_->ring));
    std::memset(buffers_->power, 0, sizeof(buffers_->power));
  }
  ringPosition_ = 0;
  hopCounter_ = 0;
  fillCount_ = 0;
  zeroFrames_ = buffers_ ? kFftSize : 0;
  for (auto& channel : quarterSquares_) channel.fill(0.0);
  slowAverage_.fill(0.0);
  tenSecondAverage_.fill(0.0);
  fastAverage_.fill(0.0);
  bandLevelAverage_.fill(0.0);
  bandPowers_.fill(0.0);
  silenceSeconds_ = 1.0;
  primed_ = false;
  bandLevels_.fill(kNoLevel);
  heldBandLevels_.fill(kNoLevel);
  framesAnalysed_ = 0;
}

void SpectrumAnalysis::SetCrossovers(double low, double mid, double high) {
  if (std::abs(low - crossovers_.low) > kCrossoverTolerance || std::abs(mid - crossovers_.mid) > kCrossoverTolerance ||
      std::abs(high - crossovers_.high) > kCrossoverTolerance) {
    bandLevels_.fill(kNoLevel);
    heldBandLevels_.fill(kNoLevel);
  }
  crossovers_.low = low;
  crossovers_.mid = mid;
  crossovers_.high = high;
  AssignLevelBands();
}

void SpectrumAnalysis::SetSlowTimeConstant(double seconds) {
  slowTimeConstant_ = seconds;
  UpdateCoefficients();
}

void SpectrumAnalysis::SetFrameObserver(FrameObserver observer) { observer_ = std::move(observer); }

const double* SpectrumAnalysis::PowerSpectrum() const { return buffers_ ? buffers_->power : nullptr; }

void SpectrumAnalysis::Feed(const float* left, const float* right, int count) {
  if (!configured_ || !buffers_ || left == nullptr || count <= 0) return;
  if (right == nullptr) right = left;
  zeroFrames_ = 0;
  FeedRuns(static_cast<std::size_t>(count), [&](std::size_t position, std::size_t run) {
    std::memcpy(buffers_->ring[0] + position, left, run * sizeof(float));
    std::memcpy(buffers_->ring[1] + position, right, run * sizeof(float));
    left += run;
    right += run;
  });
}

void SpectrumAnalysis::FeedSilence(int count) {
  if (!configured_ || !buffers_ || count <= 0) return;
  FeedRuns(static_cast<std::size_t>(count), [this](std::size_t position, std::size_t run) {
    if (zeroFrames_ < kFftSize) {  // the ring may still hold sound where the zeros go
      std::memset(buffers_->ring[0] + position, 0, run * sizeof(float));
      std::memset(buffers_->ring[1] + position, 0, run * sizeof(float));
    }
    zeroFrames_ = std::min<std::uint64_t>(zeroFrames_ + run, kFftSize);
  });
}

template <typename WriteRun>
void SpectrumAnalysis::FeedRuns(std::size_t count, WriteRun write) {
  // The ring position stays a multiple of the hop at every hop boundary, so
  // one run up to the next boundary never wraps around the ring.
  while (count > 0) {
    const std::size_t run = std::min<std::size_t>(count, kHopSize - hopCounter_);
    write(static_cast<std::size_t>(ringPosition_), run);
    count -= run;
    ringPosition_ = (ringPosition_ + run) & kRingMask;
    fillCount_ = std::min<std::uint64_t>(fillCount_ + run, kFftSize);
    hopCounter_ += run;
    if (hopCounter_ == kHopSize) {
      hopCounter_ = 0;
      FinishBlockSums();
      if (fillCount_ == kFftSize) AnalyseFrame();
    }
  }
}

// The hop just completed fills one quarter of each ring; its sum of squares
// is taken once here rather than in each of the four frames that see it.
void SpectrumAnalysis::FinishBlockSums() {
  const std::size_t start = static_cast<std::size_t>((ringPosition_ - kHopSize) & kRingMask);
  const std::size_t quarter = start / kHopSize;
  for (std::size_t c = 0; c < 2; ++c) {
    quarterSquares_[c][quarter] = zeroFrames_ >= kHopSize ? 0.0 : SumOfSquares<kHopSize>(buffers_->ring[c] + start);
  }
}

void SpectrumAnalysis::AnalyseFrame() {
  ++framesAnalysed_;
  // Silence is told from the hops' sums of squares alone: a silent frame
  // (hosts keep sending them while their transport stands still) costs no
  // transform.
  double sumOfSquares = 0.0;
  for (const auto& channel : quarterSquares_) {
    for (double q : channel) sumOfSquares += q;
  }
  const double meanSquare = sumOfSquares / static_cast<double>(2 * kFftSize);
  const double h = HopSeconds();
  if (!(meanSquare > kSilenceMeanSquare) || !std::isfinite(meanSquare)) {
    silenceSeconds_ += h;
    return;
  }

  Buffers& b = *buffers_;
  const std::size_t start = static_cast<std::size_t>(ringPosition_);
  const bool avx = fft_.Path() == RealFft8192::VectorPath::kAvx;
  const float* window = HannWindow();
  for (std::size_t c = 0; c < 2; ++c) {
#ifdef OMBRIX_SIMD_AVX
    if (avx) {
      WindowAvx(b.ring[c], window, start, fft_.Input());
    } else {
      WindowPortable(b.ring[c], window, start, fft_.Input());
    }
#else
    WindowPortable(b.ring[c], window, start, fft_.Input());
#endif
    fft_.ForwardPower(b.power, c > 0);  // the first channel stores, the second adds
  }

  silenceSeconds_ = 0.0;

  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const GridBand& band = bands_[i];
    double p = 0.0;
    if (!valid_[i]) {
      p = 0.0;
    } else if (!band.interpolate) {
      const auto first = static_cast<std::size_t>(band.firstBin);
      const auto last = static_cast<std::size_t>(band.lastBin);
#ifdef OMBRIX_SIMD_AVX
      p = (avx ? SumRangeAvx(b.power, first, last) : SumRangePortable(b.power, first, last)) * band.scale;
#else
      p = SumRangePortable(b.power, first, last) * band.scale;
#endif
    } else {
      const double whole = std::floor(band.fractionalBin);
      const double t = band.fractionalBin - whole;
      const std::size_t k = static_cast<std::size_t>(whole);
      const std::size_t next = std::min(k + 1, kLastBin);
      p = ((1.0 - t) * b.power[k] + t * b.power[next]) * band.scale;
    }
    bandPowers_[i] = p;
  }

  // A coefficient of 1 takes the frame's values as they are (avg + (p - avg)
  // need not round to exactly p).
  if (primed_) {
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double p = bandPowers_[i];
      slowAverage_[i] += (p - slowAverage_[i]) * slowCoefficient_;
      tenSecondAverage_[i] += (p - tenSecondAverage_[i]) * tenSecondCoefficient_;
      fastAverage_[i] += (p - fastAverage_[i]) * fastCoefficient_;
    }
  } else {
    slowAverage_ = bandPowers_;
    tenSecondAverage_ = bandPowers_;
    fastAverage_ = bandPowers_;
  }
  primed_ = true;
  if (heldBandLevels_[0] > kLevelFloor) {
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      bandLevelAverage_[i] += (bandPowers_[i] - bandLevelAverage_[i]) * bandLevelCoefficient_;
    }
  } else {
    bandLevelAverage_ = bandPowers_;
  }

  BandValues sums{};
  std::array<int, kBandCount> counts{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const int band = levelBand_[i];
    if (band < 0) continue;
    sums[static_cast<std::size_t>(band)] += 10.0 * std::log10(std::max(bandLevelAverage_[i], 1e-30));
    ++counts[static_cast<std::size_t>(band)];
  }
  for (std::size_t band = 0; band < kBandCount; ++band) {
    const double level = counts[band] > 0 ? sums[band] / counts[band] : kNoLevel;
    bandLevels_[band] = level;
    double& held = heldBandLevels_[band];
    held = held > kLevelFloor ? std::max(level, held - kHeldFallPerSecond * h) : level;
  }

  if (observer_) observer_(bandPowers_, meanSquare, h);
}

}  // namespace ombrix::dsp
