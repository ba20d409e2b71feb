// The spectrum analyser and its transform.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>
#include <vector>

#include "dsp/analysis_fifo.h"
#include "dsp/fft_real.h"
#include "dsp/band_analyser.h"
#include "support/analysis_signals.h"

// Counts every allocation through the global operator new, so that a test
// can show that Feed allocates nothing.
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace ombrix::dsp {
namespace {

using test_support::PinkNoise;
using test_support::Sine;
using test_support::WhiteNoiseSamples;
using Path = RealFft8192::VectorPath;

constexpr int kFft = 8192;
constexpr int kHop = 2048;

// Feeds left/right in pieces of `piece` samples.
void FeedInPieces(SpectrumAnalysis& analysis, const std::vector<float>& left, const std::vector<float>& right,
                  int piece) {
  const int total = static_cast<int>(left.size());
  for (int done = 0; done < total; done += piece) {
    analysis.Feed(left.data() + done, right.data() + done, std::min(piece, total - done));
  }
}

// Records what the frame observer receives.
struct Recorder {
  std::vector<GridCurve> powers;
  std::vector<double> meanSquares;
  std::vector<double> hops;
  FrameObserver Observer() {
    return [this](const GridCurve& p, double meanSquare, double hop) {
      powers.push_back(p);
      meanSquares.push_back(meanSquare);
      hops.push_back(hop);
    };
  }
};

// --- The transform --------------------------------------------------------

struct Dft {
  std::vector<std::complex<double>> bins;
};

Dft ReferenceDft(const std::vector<float>& x) {
  const std::size_t n = x.size();
  std::vector<double> cosine(n), sine(n);
  for (std::size_t m = 0; m < n; ++m) {
    cosine[m] = std::cos(2.0 * std::numbers::pi * static_cast<double>(m) / static_cast<double>(n));
    sine[m] = std::sin(2.0 * std::numbers::pi * static_cast<double>(m) / static_cast<double>(n));
  }
  Dft out;
  out.bins.resize(n / 2 + 1);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    double re = 0.0, im = 0.0;
    std::size_t index = 0;  // k * t mod n
    for (std::size_t t = 0; t < n; ++t) {
      re += x[t] * cosine[index];
      im -= x[t] * sine[index];
      index += k;
      if (index >= n) index -= n;
    }
    out.bins[k] = {re, im};
  }
  return out;
}

TEST(RealFft8192, MatchesADoublePrecisionDftOnRandomData) {
  const std::vector<float> x = WhiteNoiseSamples(7, kFft, 1.0);
  const Dft reference = ReferenceDft(x);
  double largest = 0.0;
  for (const auto& bin : reference.bins) largest = std::max(largest, std::abs(bin));

  for (Path path : {Path::kPortable, Path::kAvx}) {
    RealFft8192 fft;
    ASSERT_TRUE(fft.Prepare());
    fft.SetPath(path);
    std::copy(x.begin(), x.end(), fft.Input());
    std::vector<std::complex<float>> bins(RealFft8192::kBins);
    fft.Forward(bins.data());
    std::vector<double> power(RealFft8192::kBins, 1.0);
    fft.ForwardPower(power.data(), false);
    std::vector<double> doubled = power;
    fft.ForwardPower(doubled.data(), true);

    double worst = 0.0, worstPower = 0.0;
    for (std::size_t k = 0; k < RealFft8192::kBins; ++k) {
      const std::complex<double> got(bins[k].real(), bins[k].imag());
      worst = std::max(worst, std::abs(got - reference.bins[k]));
      worstPower = std::max(worstPower, std::abs(power[k] - std::norm(reference.bins[k])));
      EXPECT_EQ(doubled[k], 2.0 * power[k]);
      EXPECT_EQ(power[k], static_cast<double>(bins[k].real()) * bins[k].real() +
                              static_cast<double>(bins[k].imag()) * bins[k].imag())
          << "bin " << k;
    }
    EXPECT_EQ(bins[0].imag(), 0.0f);
    EXPECT_EQ(bins[4096].imag(), 0.0f);
    // Single precision: errors of a few 1e-7 of the largest bin.
    EXPECT_LT(worst, 2e-6 * largest) << "path " << static_cast<int>(path);
    EXPECT_LT(worstPower, 4e-6 * largest * largest);
    // The input is left as it was.
    EXPECT_TRUE(std::equal(x.begin(), x.end(), fft.Input()));
  }
}

TEST(RealFft8192, PureTonesLandInTheirBins) {
  RealFft8192 fft;
  ASSERT_TRUE(fft.Prepare());
  for (int k : {0, 1, 37, 2048, 4095, 4096}) {
    for (int n = 0; n < kFft; ++n) {
      fft.Input()[n] = static_cast<float>(std::cos(2.0 * std::numbers::pi * k * n / kFft));
    }
    std::vector<double> power(RealFft8192::kBins);
    fft.ForwardPower(power.data(), false);
    const double expected = (k == 0 || k == 4096) ? double(kFft) * kFft : double(kFft) * kFft / 4.0;
    EXPECT_NEAR(power[static_cast<std::size_t>(k)], expected, 1e-4 * expected) << k;
    double elsewhere = 0.0;
    for (std::size_t b = 0; b < power.size(); ++b) {
      if (b != static_cast<std::size_t>(k)) elsewhere = std::max(elsewhere, power[b]);
    }
    EXPECT_LT(elsewhere, 1e-8 * expected) << k;
  }
}

// --- Framing --------------------------------------------------------------

struct FramingCase {
  int samples;
  int piece;
  std::uint64_t frames;
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, AFrameEvery2048SamplesOnceTheRingIsFull) {
  const FramingCase c = GetParam();
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  Recorder recorder;
  analysis.SetFrameObserver(recorder.Observer());
  const std::vector<float> left = PinkNoise(1, static_cast<std::size_t>(c.samples));
  const std::vector<float> right = PinkNoise(2, static_cast<std::size_t>(c.samples));
  FeedInPieces(analysis, left, right, c.piece);
  EXPECT_EQ(analysis.FramesAnalysed(), c.frames);
  EXPECT_EQ(recorder.powers.size(), c.frames);
  EXPECT_EQ(analysis.Primed(), c.frames > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, Framing,
    ::testing::Values(FramingCase{8191, 8191, 0}, FramingCase{8192, 8192, 1}, FramingCase{8192, 1, 1},
                      FramingCase{8192 + 2047, 512, 1}, FramingCase{8192 + 2048, 512, 2},
                      FramingCase{8192 + 2048, 37, 2}, FramingCase{8192 + 4096, 5000, 3},
                      FramingCase{8191, 100, 0}, FramingCase{8192 + 10 * 2048, 4096, 11}));

TEST(SpectrumAnalysis, FeedBeforeConfigureIsIgnored) {
  SpectrumAnalysis analysis;
  const std::vector<float> x = PinkNoise(3, 3 * kFft);
  analysis.Feed(x.data(), x.data(), static_cast<int>(x.size()));
  EXPECT_FALSE(analysis.Configured());
  EXPECT_EQ(analysis.FramesAnalysed(), 0u);
  EXPECT_FALSE(analysis.Primed());
  EXPECT_EQ(analysis.SampleRate(), 48000.0);
  EXPECT_EQ(analysis.SilenceSeconds(), 1.0);
  for (double level : analysis.BandLevels()) EXPECT_EQ(level, -300.0);
  for (double level : analysis.HeldBandLevels()) EXPECT_EQ(level, -300.0);
  EXPECT_EQ(analysis.SlowTimeConstant(), 3.0);
  EXPECT_EQ(analysis.CurrentCrossovers().low, 200.0);
  EXPECT_EQ(analysis.CurrentCrossovers().mid, 2000.0);
  EXPECT_EQ(analysis.CurrentCrossovers().high, 6000.0);
}

TEST(SpectrumAnalysis, ResetWaitsFor8192NewSamplesAndKeepsTheSettings) {
  SpectrumAnalysis analysis;
  analysis.Configure(44100.0);
  analysis.SetCrossovers(150.0, 1500.0, 5000.0);
  analysis.SetSlowTimeConstant(1.0);
  Recorder recorder;
  analysis.SetFrameObserver(recorder.Observer());
  const std::vector<float> x = PinkNoise(4, kFft + kHop);
  FeedInPieces(analysis, x, x, 1000);
  ASSERT_EQ(recorder.powers.size(), 2u);
  EXPECT_EQ(analysis.SilenceSeconds(), 0.0);

  analysis.Reset();
  EXPECT_FALSE(analysis.Primed());
  EXPECT_EQ(analysis.SilenceSeconds(), 1.0);
  for (double v : analysis.SlowAverage()) EXPECT_EQ(v, 0.0);
  for (double v : analysis.BandLevels()) EXPECT_EQ(v, -300.0);
  EXPECT_EQ(analysis.CurrentCrossovers().low, 150.0);
  EXPECT_EQ(analysis.SlowTimeConstant(), 1.0);
  EXPECT_EQ(analysis.SampleRate(), 44100.0);
  FeedInPieces(analysis, std::vector<float>(x.begin(), x.begin() + kFft - 1),
               std::vector<float>(x.begin(), x.begin() + kFft - 1), 4096);
  EXPECT_EQ(recorder.powers.size(), 2u);
  analysis.Feed(x.data(), x.data(), 1);
  EXPECT_EQ(recorder.powers.size(), 3u);  // the observer was kept
  EXPECT_DOUBLE_EQ(recorder.hops.back(), 2048.0 / 44100.0);
}

// --- Silence --------------------------------------------------------------

// Left-channel samples of the form m * 2^-36 whose squares add up to exactly
// double(1e-10) * 16384 (plus `extra` units of 2^-72): every partial sum is an
// integer below 2^53 times 2^-72, so it is exact in any order of addition.
std::vector<float> ExactSquareSum(std::uint64_t extra) {
  const double total = 1e-10 * 16384.0;  // exact: a power-of-two multiple
  const double units = std::ldexp(total, 72);
  EXPECT_EQ(units, std::floor(units));
  std::uint64_t remaining = static_cast<std::uint64_t>(units) + extra;
  std::vector<float> out(kFft, 0.0f);
  std::size_t slot = 0;
  while (remaining > 0) {
    std::uint64_t m = std::min<std::uint64_t>((1u << 24) - 1, static_cast<std::uint64_t>(std::sqrt(double(remaining))));
    while (m * m > remaining) --m;
    while ((m + 1) * (m + 1) <= remaining && m + 1 < (1u << 24)) ++m;
    remaining -= m * m;
    out[slot] = static_cast<float>(std::ldexp(static_cast<double>(m), -36));
    EXPECT_EQ(static_cast<double>(out[slot]), std::ldexp(static_cast<double>(m), -36));
    slot += 97;  // spread over the window
  }
  EXPECT_LT(slot, static_cast<std::size_t>(kFft));
  return out;
}

TEST(SpectrumAnalysis, AMeanSquareOfExactly1e10IsSilence) {
  struct Case {
    std::uint64_t extra;
    bool silent;
  };
  for (const Case c : {Case{0, true}, Case{1, false}}) {
    SpectrumAnalysis analysis;
    analysis.Configure(48000.0);
    Recorder recorder;
    analysis.SetFrameObserver(recorder.Observer());
    const std::vector<float> left = ExactSquareSum(c.extra);
    const std::vector<float> right(kFft, 0.0f);
    analysis.Feed(left.data(), right.data(), kFft);
    ASSERT_EQ(analysis.FramesAnalysed(), 1u);
    EXPECT_EQ(analysis.Primed(), !c.silent);
    EXPECT_EQ(recorder.powers.empty(), c.silent);
    EXPECT_EQ(analysis.SilenceSeconds(), c.silent ? 1.0 + 2048.0 / 48000.0 : 0.0);
    if (!c.silent) {
      EXPECT_GT(recorder.meanSquares[0], 1e-10);
    }
  }
}

TEST(SpectrumAnalysis, SilentAndNonFiniteFramesFreezeTheAveragesAndCountTime) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const double h = 2048.0 / 48000.0;
  const std::vector<float> noise = PinkNoise(5, kFft);
  analysis.Feed(noise.data(), noise.data(), kFft);
  ASSERT_TRUE(analysis.Primed());
  EXPECT_EQ(analysis.SilenceSeconds(), 0.0);

  // Three more frames still hold some of the noise; the fourth is all zeros.
  const std::vector<float> zeros(kFft, 0.0f);
  analysis.Feed(zeros.data(), zeros.data(), 3 * kHop);
  EXPECT_EQ(analysis.SilenceSeconds(), 0.0);
  const GridCurve slow = analysis.SlowAverage();
  const GridCurve fast = analysis.FastAverage();
  const BandValues levels = analysis.BandLevels();
  const BandValues held = analysis.HeldBandLevels();
  analysis.Feed(zeros.data(), zeros.data(), kHop);
  EXPECT_EQ(analysis.FramesAnalysed(), 5u);
  EXPECT_EQ(analysis.SilenceSeconds(), h);

  // A NaN or an infinity anywhere in the window: not finite, so silence too.
  std::vector<float> poisoned(kHop, 0.1f);
  poisoned[100] = std::numeric_limits<float>::quiet_NaN();
  analysis.Feed(poisoned.data(), poisoned.data(), kHop);
  EXPECT_DOUBLE_EQ(analysis.SilenceSeconds(), 2 * h);
  poisoned[100] = std::numeric_limits<float>::infinity();
  analysis.Feed(zeros.data(), poisoned.data(), kHop);
  EXPECT_DOUBLE_EQ(analysis.SilenceSeconds(), 3 * h);

  EXPECT_EQ(analysis.SlowAverage(), slow);
  EXPECT_EQ(analysis.FastAverage(), fast);
  EXPECT_EQ(analysis.BandLevels(), levels);
  EXPECT_EQ(analysis.HeldBandLevels(), held);
  EXPECT_TRUE(analysis.Primed());
}

// Silence fed as a count reads exactly as fed zeros: short runs that leave
// sound in the window, runs that fill it, and sound after each.
TEST(SpectrumAnalysis, FedSilenceMatchesFedZeros) {
  SpectrumAnalysis zeros, counted;
  for (SpectrumAnalysis* a : {&zeros, &counted}) a->Configure(48000.0);
  const std::vector<float> silence(kFft, 0.0f);
  const auto both = [&](const std::vector<float>& left, const std::vector<float>& right) {
    zeros.Feed(left.data(), right.data(), static_cast<int>(left.size()));
    counted.Feed(left.data(), right.data(), static_cast<int>(left.size()));
  };
  const auto quiet = [&](int frames) {
    for (int done = 0; done < frames; done += kFft) {
      const int n = std::min(kFft, frames - done);
      zeros.Feed(silence.data(), silence.data(), n);
    }
    counted.FeedSilence(frames);
  };
  int seed = 1;
  for (const int run : {700, kHop, 3 * kHop + 5, kFft + 333, 5 * kFft}) {
    both(PinkNoise(seed, kFft + 99), PinkNoise(seed + 1, kFft + 99));
    seed += 2;
    quiet(run);
    EXPECT_EQ(counted.SilenceSeconds(), zeros.SilenceSeconds()) << run;
    EXPECT_EQ(counted.FramesAnalysed(), zeros.FramesAnalysed()) << run;
    EXPECT_EQ(counted.HeldBandLevels(), zeros.HeldBandLevels()) << run;
  }
  both(PinkNoise(seed, kFft), PinkNoise(seed + 1, kFft));
  EXPECT_EQ(counted.SlowAverage(), zeros.SlowAverage());
  EXPECT_EQ(counted.FastAverage(), zeros.FastAverage());
  EXPECT_EQ(counted.BandLevels(), zeros.BandLevels());
  EXPECT_EQ(counted.LastBandPowers(), zeros.LastBandPowers());
}

// --- Averages -------------------------------------------------------------

TEST(SpectrumAnalysis, TheFirstNonSilentFrameSetsAllFourAverages) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  Recorder recorder;
  analysis.SetFrameObserver(recorder.Observer());
  const std::vector<float> zeros(kFft, 0.0f);
  analysis.Feed(zeros.data(), zeros.data(), kFft);  // a silent frame first
  ASSERT_FALSE(analysis.Primed());
  const std::vector<float> left = PinkNoise(6, kHop), right = PinkNoise(7, kHop);
  analysis.Feed(left.data(), right.data(), kHop);
  ASSERT_EQ(recorder.powers.size(), 1u);
  const GridCurve& p = recorder.powers[0];
  EXPECT_EQ(analysis.SlowAverage(), p);
  EXPECT_EQ(analysis.TenSecondAverage(), p);
  EXPECT_EQ(analysis.FastAverage(), p);
  EXPECT_EQ(analysis.BandLevelAverage(), p);
  EXPECT_EQ(analysis.LastBandPowers(), p);
  for (double level : analysis.BandLevels()) EXPECT_GT(level, -299.0);
  EXPECT_EQ(analysis.HeldBandLevels(), analysis.BandLevels());
}

TEST(SpectrumAnalysis, LaterFramesMoveEachAverageByItsOwnCoefficient) {
  for (double tau : {1.0, 3.0}) {
    SpectrumAnalysis analysis;
    analysis.Configure(48000.0);
    analysis.SetSlowTimeConstant(tau);
    Recorder recorder;
    analysis.SetFrameObserver(recorder.Observer());
    const std::vector<float> left = PinkNoise(8, kFft + kHop), right = PinkNoise(9, kFft + kHop, 0.3);
    analysis.Feed(left.data(), right.data(), kFft);
    const GridCurve first = recorder.powers.at(0);
    analysis.Feed(left.data() + kFft, right.data() + kFft, kHop);
    const GridCurve second = recorder.powers.at(1);
    const double h = 2048.0 / 48000.0;
    auto a = [h](double t) { return 1.0 - std::exp(-h / t); };
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      const double d = second[i] - first[i];
      EXPECT_NEAR(analysis.SlowAverage()[i], first[i] + d * a(tau), 1e-12 * std::abs(first[i]) + 1e-300);
      EXPECT_NEAR(analysis.TenSecondAverage()[i], first[i] + d * a(10.0), 1e-12 * std::abs(first[i]) + 1e-300);
      EXPECT_NEAR(analysis.FastAverage()[i], first[i] + d * a(0.3), 1e-12 * std::abs(first[i]) + 1e-300);
      EXPECT_NEAR(analysis.BandLevelAverage()[i], first[i] + d * a(0.15), 1e-12 * std::abs(first[i]) + 1e-300);
    }
  }
}

TEST(SpectrumAnalysis, BandLevelsAverageTheDecibelsOfTheirPoints) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::vector<float> x = PinkNoise(10, kFft);
  analysis.Feed(x.data(), x.data(), kFft);
  const Crossovers c = analysis.CurrentCrossovers();
  BandValues sums{};
  std::array<int, 4> counts{};
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    if (!analysis.Valid()[i] || !InAnalysisRange(f)) continue;
    const int band = BandOf(f, c);
    sums[static_cast<std::size_t>(band)] += 10.0 * std::log10(std::max(analysis.BandLevelAverage()[i], 1e-30));
    ++counts[static_cast<std::size_t>(band)];
  }
  for (std::size_t b = 0; b < 4; ++b) {
    ASSERT_GT(counts[b], 0);
    EXPECT_NEAR(analysis.BandLevels()[b], sums[b] / counts[b], 1e-9);
  }
}

TEST(SpectrumAnalysis, HeldBandLevelsFallAQuarterDecibelPerSecond) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::vector<float> loud = PinkNoise(11, 2 * kFft, 0.3);
  analysis.Feed(loud.data(), loud.data(), 2 * kFft);
  const int frames = 30;
  const std::vector<float> quiet = PinkNoise(12, frames * kHop, 0.003);  // 40 dB down
  const double h = 2048.0 / 48000.0;
  BandValues held = analysis.HeldBandLevels();
  int falling = 0;
  for (int frame = 0; frame < frames; ++frame) {
    analysis.Feed(quiet.data() + frame * kHop, quiet.data() + frame * kHop, kHop);
    for (std::size_t b = 0; b < 4; ++b) {
      const double level = analysis.BandLevels()[b];
      EXPECT_EQ(analysis.HeldBandLevels()[b], std::max(level, held[b] - 0.25 * h));
      if (frame >= frames - 10) {
        // Long after the drop the level is far below: the held level only falls.
        EXPECT_LT(level, held[b] - 10.0);
        EXPECT_EQ(analysis.HeldBandLevels()[b], held[b] - 0.25 * h);
        ++falling;
      }
    }
    held = analysis.HeldBandLevels();
  }
  EXPECT_EQ(falling, 40);
}

// --- Crossovers -----------------------------------------------------------

TEST(SpectrumAnalysis, CrossoverChangesOfAtMost1e6KeepTheBandLevels) {
  // The largest move that is still <= 1e-6 keeps them; the next double clears them.
  auto largestKeptMove = [](double from) {
    double to = from + 1e-6;
    while (to - from > 1e-6) to = std::nextafter(to, from);
    return to;
  };
  struct Case {
    int which;  // 0 low, 1 mid, 2 high
    bool beyond;
  };
  for (const Case c : {Case{0, false}, Case{0, true}, Case{1, false}, Case{1, true}, Case{2, false}, Case{2, true}}) {
    SpectrumAnalysis analysis;
    analysis.Configure(48000.0);
    const std::vector<float> x = PinkNoise(13, kFft + kHop);
    analysis.Feed(x.data(), x.data(), kFft);
    const BandValues before = analysis.BandLevels();
    double v[3] = {200.0, 2000.0, 6000.0};
    v[c.which] = largestKeptMove(v[c.which]);
    if (c.beyond) v[c.which] = std::nextafter(v[c.which], 1e9);
    analysis.SetCrossovers(v[0], v[1], v[2]);
    EXPECT_EQ(analysis.CurrentCrossovers().low, v[0]);
    EXPECT_EQ(analysis.CurrentCrossovers().mid, v[1]);
    EXPECT_EQ(analysis.CurrentCrossovers().high, v[2]);
    for (std::size_t b = 0; b < 4; ++b) {
      EXPECT_EQ(analysis.BandLevels()[b], c.beyond ? -300.0 : before[b]) << c.which << " " << c.beyond;
      EXPECT_EQ(analysis.HeldBandLevels()[b], c.beyond ? -300.0 : before[b]);
    }
    // After a clear the 0.15 s average jumps to the next frame's band powers.
    Recorder recorder;
    analysis.SetFrameObserver(recorder.Observer());
    analysis.Feed(x.data() + kFft, x.data() + kFft, kHop);
    ASSERT_EQ(recorder.powers.size(), 1u);
    if (c.beyond) {
      EXPECT_EQ(analysis.BandLevelAverage(), recorder.powers[0]);
    } else {
      EXPECT_NE(analysis.BandLevelAverage(), recorder.powers[0]);
    }
    for (double level : analysis.BandLevels()) EXPECT_GT(level, -299.0);
  }
}

TEST(SpectrumAnalysis, NewCrossoversRegroupThePoints) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::vector<float> x = PinkNoise(14, kFft + kHop);
  analysis.Feed(x.data(), x.data(), kFft);
  analysis.SetCrossovers(100.0, 1000.0, 10000.0);
  analysis.Feed(x.data() + kFft, x.data() + kFft, kHop);
  double lowSum = 0.0;
  int lowCount = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double f = GridFrequency(i);
    if (InAnalysisRange(f) && f < 100.0) {
      lowSum += 10.0 * std::log10(std::max(analysis.BandLevelAverage()[i], 1e-30));
      ++lowCount;
    }
  }
  EXPECT_NEAR(analysis.BandLevels()[0], lowSum / lowCount, 1e-9);
}

// --- Bands, validity, channels --------------------------------------------

TEST(SpectrumAnalysis, BandTableSwitchesToSummingAbout101HzAt48kHz) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const double binWidth = 48000.0 / 8192.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const GridBand& band = analysis.BandTable()[i];
    const double f = GridFrequency(i);
    EXPECT_EQ(band.interpolate, f < 101.3) << f;
    if (band.interpolate) {
      EXPECT_DOUBLE_EQ(band.fractionalBin, f / binWidth);
      EXPECT_DOUBLE_EQ(band.scale, (BandUpperEdge(i) - BandLowerEdge(i)) / binWidth);
    } else {
      EXPECT_EQ(band.firstBin, static_cast<std::int64_t>(std::ceil(BandLowerEdge(i) / binWidth)));
      EXPECT_EQ(band.lastBin, static_cast<std::int64_t>(std::floor(BandUpperEdge(i) / binWidth)));
      EXPECT_NEAR(band.scale * binWidth * static_cast<double>(band.lastBin - band.firstBin + 1),
                  BandUpperEdge(i) - BandLowerEdge(i), 1e-9);
    }
  }
}

TEST(SpectrumAnalysis, PointsAbove15101HzAt32kHzAreInvalidAndCarryNoPower) {
  struct Case {
    double rate;
    std::size_t valid;
  };
  for (const Case c : {Case{32000.0, 172}, Case{44100.0, 180}, Case{48000.0, 180}}) {
    SpectrumAnalysis analysis;
    analysis.Configure(c.rate);
    const std::vector<float> x = WhiteNoiseSamples(15, kFft);
    Recorder recorder;
    analysis.SetFrameObserver(recorder.Observer());
    analysis.Feed(x.data(), x.data(), kFft);
    ASSERT_EQ(recorder.powers.size(), 1u);
    std::size_t count = 0;
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      EXPECT_EQ(analysis.Valid()[i], PointValidAt(i, c.rate));
      if (analysis.Valid()[i]) {
        ++count;
        EXPECT_GT(recorder.powers[0][i], 0.0);
      } else {
        EXPECT_GT(GridFrequency(i), 15101.9);
        EXPECT_EQ(recorder.powers[0][i], 0.0);
        EXPECT_EQ(analysis.SlowAverage()[i], 0.0);
      }
    }
    EXPECT_EQ(count, c.valid) << c.rate;
  }
}

TEST(SpectrumAnalysis, AToneShowsInTheBandsThatHoldIt) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::size_t point = 101;  // about 996 Hz; the bands of 100..102 hold it wholly
  const std::vector<float> tone = Sine(GridFrequency(point), 48000.0, kFft, 0.5);
  analysis.Feed(tone.data(), tone.data(), kFft);
  const GridCurve& p = analysis.LastBandPowers();
  // Hann window, two channels: 2 * (A N / 4)^2 * 1.5 over the bins, times each band's scale.
  const double tonePower = 2.0 * std::pow(0.5 * 8192 / 4.0, 2) * 1.5;
  for (std::size_t i = point - 1; i <= point + 1; ++i) {
    const double expected = tonePower * analysis.BandTable()[i].scale;
    EXPECT_NEAR(p[i], expected, 1e-3 * expected) << i;
  }
  for (std::size_t i : {std::size_t{90}, std::size_t{96}, std::size_t{106}, std::size_t{120}}) {
    EXPECT_LT(p[i], 1e-6 * tonePower) << i;
  }
}

TEST(SpectrumAnalysis, ThePowerSpectrumHoldsBothChannelsUnnormalised) {
  // Parseval, per channel: p[0] + 2 sum p[1..4095] + p[4096] = N sum (w x)^2.
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::vector<float> left = PinkNoise(16, kFft), right = WhiteNoiseSamples(17, kFft, 0.2);
  analysis.Feed(left.data(), right.data(), kFft);
  const double* p = analysis.PowerSpectrum();
  ASSERT_NE(p, nullptr);
  double spectrum = p[0] + p[4096];
  for (int k = 1; k < 4096; ++k) spectrum += 2.0 * p[k];
  double energy = 0.0;
  for (int n = 0; n < kFft; ++n) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFft);
    energy += std::pow(w * left[static_cast<std::size_t>(n)], 2) + std::pow(w * right[static_cast<std::size_t>(n)], 2);
  }
  EXPECT_NEAR(spectrum, kFft * energy, 1e-5 * kFft * energy);
}

TEST(SpectrumAnalysis, AMonoSourceThroughTheFifoDoublesThePowerAndKeepsTheMeanSquare) {
  AnalysisFifo fifo;
  const std::vector<float> mono = PinkNoise(18, kFft);
  std::vector<double> source(mono.begin(), mono.end());
  const double* channels[1] = {source.data()};
  ASSERT_EQ(fifo.Push(channels, 1, kFft), kFft);
  std::vector<float> left(kFft), right(kFft);
  ASSERT_EQ(fifo.Read(left.data(), right.data(), kFft), kFft);
  EXPECT_EQ(left, right);
  EXPECT_EQ(left, mono);

  SpectrumAnalysis both, one;
  both.Configure(48000.0);
  one.Configure(48000.0);
  Recorder bothFrames, oneFrames;
  both.SetFrameObserver(bothFrames.Observer());
  one.SetFrameObserver(oneFrames.Observer());
  const std::vector<float> silent(kFft, 0.0f);
  both.Feed(left.data(), right.data(), kFft);
  one.Feed(left.data(), silent.data(), kFft);
  for (std::size_t k = 0; k < SpectrumAnalysis::kBins; ++k) {
    ASSERT_EQ(both.PowerSpectrum()[k], 2.0 * one.PowerSpectrum()[k]) << k;
  }
  for (std::size_t i = 0; i < kGridPoints; ++i) EXPECT_DOUBLE_EQ(bothFrames.powers[0][i], 2.0 * oneFrames.powers[0][i]);
  EXPECT_NEAR(bothFrames.meanSquares[0], test_support::MeanSquare(mono), 1e-12 * bothFrames.meanSquares[0]);
}

TEST(SpectrumAnalysis, ANullRightChannelMeansMono) {
  SpectrumAnalysis a, b;
  a.Configure(48000.0);
  b.Configure(48000.0);
  const std::vector<float> x = PinkNoise(19, kFft);
  a.Feed(x.data(), nullptr, kFft);
  b.Feed(x.data(), x.data(), kFft);
  EXPECT_EQ(a.SlowAverage(), b.SlowAverage());
}

TEST(SpectrumAnalysis, EveryVectorPathGivesTheSameResults) {
  SpectrumAnalysis fast, portable;
  fast.Configure(48000.0);
  portable.Configure(48000.0);
  portable.SetVectorPathForTesting(Path::kPortable);
  const std::vector<float> left = PinkNoise(20, 3 * kFft), right = WhiteNoiseSamples(21, 3 * kFft, 0.1);
  fast.Feed(left.data(), right.data(), 3 * kFft);
  portable.Feed(left.data(), right.data(), 3 * kFft);
  for (std::size_t k = 0; k < SpectrumAnalysis::kBins; ++k) ASSERT_EQ(fast.PowerSpectrum()[k], portable.PowerSpectrum()[k]);
  EXPECT_EQ(fast.SlowAverage(), portable.SlowAverage());
  EXPECT_EQ(fast.BandLevels(), portable.BandLevels());
}

TEST(SpectrumAnalysis, ReconfiguringChangesTheRateAndResets) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  const std::vector<float> x = PinkNoise(22, kFft);
  analysis.Feed(x.data(), x.data(), kFft);
  ASSERT_TRUE(analysis.Primed());
  analysis.Configure(32000.0);
  EXPECT_EQ(analysis.SampleRate(), 32000.0);
  EXPECT_FALSE(analysis.Primed());
  EXPECT_EQ(analysis.FramesAnalysed(), 0u);
  EXPECT_FALSE(analysis.Valid()[179]);
  analysis.Configure(-1.0);  // not a rate: ignored
  analysis.Configure(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(analysis.SampleRate(), 32000.0);
}

TEST(SpectrumAnalysis, FeedAndReconfigureAllocateNothing) {
  SpectrumAnalysis analysis;
  analysis.Configure(48000.0);
  double seen = 0.0;
  analysis.SetFrameObserver([&seen](const GridCurve& p, double meanSquare, double) { seen += p[100] + meanSquare; });
  const std::vector<float> left = PinkNoise(23, 4 * kFft), right = PinkNoise(24, 4 * kFft);
  const long before = g_allocations.load();
  FeedInPieces(analysis, left, right, 512);
  analysis.Reset();
  analysis.Configure(44100.0);
  analysis.SetCrossovers(300.0, 3000.0, 8000.0);
  analysis.SetSlowTimeConstant(1.0);
  analysis.Feed(left.data(), right.data(), 2 * kFft);
  EXPECT_EQ(g_allocations.load(), before);
  EXPECT_GT(seen, 0.0);
}

}  // namespace
}  // namespace ombrix::dsp
