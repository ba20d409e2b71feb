#include "core/correction_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace ombrix {
namespace {

using dsp::Crossovers;

struct Stereo {
  explicit Stereo(std::size_t frames) : left(frames), right(frames) {}
  double* const* pointers() {
    ptr[0] = left.data();
    ptr[1] = right.data();
    return ptr;
  }
  std::vector<double> left, right;
  double* ptr[2] = {};
};

std::vector<double> Noise(std::size_t frames, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> v(frames);
  for (double& x : v) x = dist(rng);
  return v;
}

// Amplitude of a pure sinusoid at `frequency` in `samples`, by an exact
// least-squares fit of a sine and a cosine (no window leakage).
double SineAmplitude(const std::vector<double>& samples, std::size_t from, double frequency, double fs) {
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (std::size_t n = from; n < samples.size(); ++n) {
    const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / fs;
    const double s = std::sin(phase), c = std::cos(phase);
    ss += s * s;
    sc += s * c;
    cc += c * c;
    ys += samples[n] * s;
    yc += samples[n] * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (ys * cc - yc * sc) / det;
  const double b = (yc * ss - ys * sc) / det;
  return std::hypot(a, b);
}

struct GainCase {
  CorrectionGains gains;
  Crossovers crossovers;
};

TEST(CorrectionFilter, SineToneGainMatchesTheDesignedResponse) {
  const GainCase cases[] = {
      {{3.0, 0.0, 0.0, 0.0, 0.0}, {200.0, 2000.0, 6000.0}},
      {{0.0, 5.0, -4.0, 3.0, -6.0}, {200.0, 2000.0, 6000.0}},
      {{-2.0, -3.0, 2.0, 4.0, 5.0}, {100.0, 800.0, 5000.0}},
      {{1.5, 2.0, 6.0, -3.0, 2.0}, {800.0, 400.0, 1500.0}},  // crossovers pushed apart
  };
  const double frequencies[] = {30.0, 63.0, 125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0, 8000.0, 12000.0, 16000.0};
  for (double fs : {44100.0, 48000.0}) {
    const std::size_t frames = static_cast<std::size_t>(fs);  // 0.5 s to settle, 0.5 s to measure
    for (const GainCase& c : cases) {
      const EqDesign design = DesignEq(c.gains, c.crossovers, fs);
      for (double f : frequencies) {
        CorrectionFilter filter;
        filter.Prepare(fs);
        filter.SetTarget(c.gains, c.crossovers.low, c.crossovers.mid, c.crossovers.high);
        Stereo audio(frames);
        for (std::size_t n = 0; n < frames; ++n) {
          audio.left[n] = 0.5 * std::sin(2.0 * std::numbers::pi * f * static_cast<double>(n) / fs);
          audio.right[n] = -audio.left[n];
        }
        for (std::size_t done = 0; done < frames; done += 64) {
          double* block[2] = {audio.left.data() + done, audio.right.data() + done};
          filter.Process(block, 2, static_cast<int>(std::min<std::size_t>(64, frames - done)));
        }
        const double expected = EqResponseDb(design, f, fs);
        const double left = 20.0 * std::log10(SineAmplitude(audio.left, frames / 2, f, fs) / 0.5);
        const double right = 20.0 * std::log10(SineAmplitude(audio.right, frames / 2, f, fs) / 0.5);
        EXPECT_NEAR(left, expected, 1e-3) << "fs " << fs << " f " << f << " tilt " << c.gains[0];
        EXPECT_NEAR(right, expected, 1e-3) << "fs " << fs << " f " << f << " tilt " << c.gains[0];
      }
    }
  }
}

TEST(CorrectionFilter, ZeroGainsPassAudioThroughExactly) {
  const std::vector<double> input = Noise(1000, 1);
  CorrectionFilter filter;
  filter.Prepare(44100.0);
  filter.SetTarget(CorrectionGains{}, 90.0, 700.0, 9000.0);  // crossovers alone change nothing
  Stereo audio(input.size());
  audio.left = input;
  audio.right = input;
  filter.Process(audio.pointers(), 2, static_cast<int>(input.size()));
  EXPECT_EQ(audio.left, input);
  EXPECT_EQ(audio.right, input);

  std::vector<float> mono(input.begin(), input.end());
  const std::vector<float> original = mono;
  float* channel[1] = {mono.data()};
  filter.Process(channel, 1, static_cast<int>(mono.size()));
  EXPECT_EQ(mono, original);
}

// The filter exactly as the algorithm reads: check every 32 samples, one
// channel and one section at a time.
class ReferenceFilter {
 public:
  explicit ReferenceFilter(double fs) : fs_(fs) { design_ = DesignEq(applied_, appliedCrossovers_, fs_); }
  void SetTarget(const CorrectionGains& g, double low, double mid, double high) {
    target_ = g;
    targetCrossovers_ = {low, mid, high};
  }
  void Process(double* const* channels, int n, int frames) {
    int done = 0;
    while (done < frames) {
      if (countdown_ == 0) {
        bool moved = std::fabs(targetCrossovers_.low - appliedCrossovers_.low) > 1e-4 ||
                     std::fabs(targetCrossovers_.mid - appliedCrossovers_.mid) > 1e-4 ||
                     std::fabs(targetCrossovers_.high - appliedCrossovers_.high) > 1e-4;
        for (int k = 0; k < 5; ++k) moved = moved || std::fabs(target_[k] - applied_[k]) > 1e-4;
        if (moved) {
          applied_ = target_;
          appliedCrossovers_ = targetCrossovers_;
          design_ = DesignEq(applied_, appliedCrossovers_, fs_);
        }
        countdown_ = 32;
      }
      const int run = std::min(countdown_, frames - done);
      for (int c = 0; c < std::min(n, 2); ++c) {
        for (int i = done; i < done + run; ++i) {
          double x = channels[c][i];
          for (int s = 0; s < 6; ++s) {
            const BiquadCoefficients& k = design_[s];
            const double y = k.b0 * x + z1_[c][s];
            z1_[c][s] = k.b1 * x - k.a1 * y + z2_[c][s];
            z2_[c][s] = k.b2 * x - k.a2 * y;
            x = y;
          }
          channels[c][i] = x;
        }
      }
      countdown_ -= run;
      done += run;
    }
  }

 private:
  double fs_;
  CorrectionGains applied_{}, target_{};
  Crossovers appliedCrossovers_{}, targetCrossovers_{};
  EqDesign design_{};
  double z1_[2][6] = {}, z2_[2][6] = {};
  int countdown_ = 0;
};

// Both stereo paths (the AVX pipeline where the CPU has AVX, the portable
// one everywhere) against the reference, bit for bit, over blocks of 1 to
// 150 frames: shorter and longer than the pipeline's depth.
class CorrectionFilterPath : public ::testing::TestWithParam<bool> {};

TEST_P(CorrectionFilterPath, FollowsMovingTargetsExactlyLikeTheReference) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> blockSize(1, 150);
  std::uniform_real_distribution<double> gain(-6.0, 6.0);
  std::uniform_int_distribution<int> change(0, 3);
  const double fs = 48000.0;
  CorrectionFilter filter;
  filter.AllowAvx(GetParam());
  if (GetParam() && !filter.UsesAvx()) GTEST_SKIP() << "no AVX on this CPU";
  ASSERT_EQ(filter.UsesAvx(), GetParam());
  filter.Prepare(fs);
  ReferenceFilter reference(fs);
  CorrectionGains gains{};
  Crossovers c{};
  for (int block = 0; block < 400; ++block) {
    switch (change(rng)) {
      case 0:  // a real move
        for (double& g : gains) g = gain(rng);
        c.low = 100.0 + (10 * block) % 500;
        break;
      case 1:  // below the redesign threshold
        gains[2] += 0.5e-4;
        c.high += 0.5e-4;
        break;
      case 2:  // just above it
        gains[0] += 1.5e-4;
        break;
      default:
        break;
    }
    filter.SetTarget(gains, c.low, c.mid, c.high);
    reference.SetTarget(gains, c.low, c.mid, c.high);
    const int frames = blockSize(rng);
    Stereo a(frames), b(frames);
    a.left = b.left = Noise(frames, 100 + block);
    a.right = b.right = Noise(frames, 1000 + block);
    filter.Process(a.pointers(), 2, frames);
    reference.Process(b.pointers(), 2, frames);
    ASSERT_EQ(a.left, b.left) << "block " << block;
    ASSERT_EQ(a.right, b.right) << "block " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, CorrectionFilterPath, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Avx" : "Portable"; });

TEST(CorrectionFilter, RedesignsOnlyAtTheThirtyTwoSampleCheckAndOnlyBeyondTheThreshold) {
  CorrectionFilter filter;
  filter.Prepare(48000.0);
  std::vector<double> samples(64, 0.1);
  double* channel[1] = {samples.data()};

  filter.SetTarget(CorrectionGains{0.99995, 0, 0, 0, 0}, 200.0, 2000.0, 6000.0);
  filter.Process(channel, 1, 10);  // check at sample 0, next one after 32
  EXPECT_EQ(filter.appliedGains()[0], 0.99995);

  filter.SetTarget(CorrectionGains{1.0, 0, 0, 0, 0}, 200.0, 2000.00009, 6000.0);  // moves < 1e-4
  filter.Process(channel, 1, 64);
  EXPECT_EQ(filter.appliedGains()[0], 0.99995);
  EXPECT_EQ(filter.appliedCrossovers().mid, 2000.0);

  filter.ClearState();  // next sample is a check
  filter.Process(channel, 1, 10);
  filter.SetTarget(CorrectionGains{1.0, 0, 0, 0, 0}, 200.0, 2000.0002, 6000.0);
  filter.Process(channel, 1, 22);  // reaches the check point but takes no sample after it
  EXPECT_EQ(filter.appliedCrossovers().mid, 2000.0);
  filter.Process(channel, 1, 1);
  EXPECT_EQ(filter.appliedCrossovers().mid, 2000.0002);
  EXPECT_EQ(filter.appliedGains()[0], 1.0);  // all values are copied together
}

TEST(CorrectionFilter, TouchesOnlyTheFirstTwoChannels) {
  const std::vector<double> input = Noise(300, 3);
  CorrectionFilter filter;
  filter.SetTarget(CorrectionGains{2.0, 3.0, -2.0, 1.0, 4.0}, 200.0, 2000.0, 6000.0);
  std::vector<double> a = input, b = input, c = input;
  double* channels[3] = {a.data(), b.data(), c.data()};
  filter.Process(channels, 3, 300);
  EXPECT_NE(a, input);
  EXPECT_EQ(a, b);
  EXPECT_EQ(c, input);
}

TEST(CorrectionFilter, MonoKeepsItsOwnStateAndFloatMatchesDouble) {
  const CorrectionGains gains{2.0, 3.0, -2.0, 1.0, 4.0};
  std::vector<float> floats(500);
  const std::vector<double> noise = Noise(500, 4);
  for (std::size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(noise[i]);
  std::vector<double> doubles(floats.begin(), floats.end());
  const std::vector<double> original = doubles;

  CorrectionFilter mono, stereo, floating;
  for (CorrectionFilter* f : {&mono, &stereo, &floating}) f->SetTarget(gains, 200.0, 2000.0, 6000.0);
  double* first[1] = {doubles.data()};
  double* rest[1] = {doubles.data() + 200};
  mono.Process(first, 1, 200);
  mono.Process(rest, 1, 300);

  std::vector<double> left = original, right(500, 0.0);
  double* two[2] = {left.data(), right.data()};
  stereo.Process(two, 2, 500);
  EXPECT_EQ(doubles, left);

  float* f[1] = {floats.data()};
  floating.Process(f, 1, 500);
  for (std::size_t i = 0; i < floats.size(); ++i) ASSERT_EQ(floats[i], static_cast<float>(doubles[i])) << i;
}

TEST(CorrectionFilter, ClearStateForgetsThePastButKeepsTheDesign) {
  const CorrectionGains gains{2.0, 3.0, -2.0, 1.0, 4.0};
  CorrectionFilter used, fresh;
  used.SetTarget(gains, 150.0, 1500.0, 8000.0);
  fresh.SetTarget(gains, 150.0, 1500.0, 8000.0);
  std::vector<double> noise = Noise(777, 5);
  double* n[1] = {noise.data()};
  used.Process(n, 1, 777);
  used.ClearState();

  std::vector<double> a(256, 0.0), b(256, 0.0);
  a[0] = b[0] = 1.0;
  double* pa[1] = {a.data()};
  double* pb[1] = {b.data()};
  used.Process(pa, 1, 256);
  fresh.Process(pb, 1, 256);
  EXPECT_EQ(a, b);
}

TEST(CorrectionFilter, PrepareStartsOverAtZeroGainsAndDefaultCrossovers) {
  CorrectionFilter filter;
  filter.SetTarget(CorrectionGains{2.0, 3.0, -2.0, 1.0, 4.0}, 150.0, 1500.0, 8000.0);
  std::vector<double> noise = Noise(100, 6);
  double* n[1] = {noise.data()};
  filter.Process(n, 1, 100);
  filter.Prepare(96000.0);
  EXPECT_EQ(filter.sampleRate(), 96000.0);
  EXPECT_EQ(filter.appliedGains(), CorrectionGains{});
  EXPECT_EQ(filter.appliedCrossovers().low, 200.0);
  EXPECT_EQ(filter.appliedCrossovers().mid, 2000.0);
  EXPECT_EQ(filter.appliedCrossovers().high, 6000.0);
  const std::vector<double> input = Noise(100, 8);
  std::vector<double> output = input;
  n[0] = output.data();
  filter.Process(n, 1, 100);
  EXPECT_EQ(output, input);

  filter.Prepare(std::nan(""));
  EXPECT_EQ(filter.sampleRate(), 48000.0);
}

TEST(CorrectionFilter, DecayingStateNeverTurnsSubnormal) {
  CorrectionFilter filter;
  filter.SetTarget(CorrectionGains{3.0, 6.0, -4.0, 2.0, 5.0}, 60.0, 400.0, 1500.0);
  std::vector<double> block = Noise(64, 9);
  double* channel[1] = {block.data()};
  filter.Process(channel, 1, 64);
  bool reachedZero = false;
  for (int i = 0; i < 10000 && !reachedZero; ++i) {
    std::fill(block.begin(), block.end(), 0.0);
    filter.Process(channel, 1, 64);
    for (double y : block) ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << "block " << i;
    reachedZero = block.back() == 0.0;
  }
  EXPECT_TRUE(reachedZero);
}

TEST(CorrectionFilter, IgnoresEmptyCalls) {
  CorrectionFilter filter;
  filter.SetTarget(CorrectionGains{3.0, 0, 0, 0, 0}, 200.0, 2000.0, 6000.0);
  filter.Process(static_cast<double* const*>(nullptr), 2, 64);
  std::vector<double> x(4, 1.0);
  double* channel[1] = {x.data()};
  filter.Process(channel, 0, 4);
  filter.Process(channel, 1, 0);
  EXPECT_EQ(x, std::vector<double>(4, 1.0));
  EXPECT_EQ(filter.appliedGains(), CorrectionGains{});  // no check ran
}

}  // namespace
}  // namespace ombrix
