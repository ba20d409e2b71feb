#include "dsp/fft_real.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>
#include <utility>

#include "core/simd_support.h"

namespace ombrix::dsp {

namespace {

constexpr std::size_t kHalf = RealFft8192::kSize / 2;  // 4096 complex points
constexpr std::size_t kQuarter = kHalf / 2;            // 2048

// FFTW's planner (and plan destruction) may run on one thread at a time in
// the whole process.
std::mutex& PlannerMutex() {
  static std::mutex mutex;
  return mutex;
}

// The split step. z holds the 4096-point transform Z of z[m] = x[2m] + i x[2m+1].
// With E = (Z[k] + conj Z[M-k]) / 2 and O = (Z[k] - conj Z[M-k]) / 2i (the
// transforms of the even and the odd samples) and W = exp(-2 pi i / 8192):
//   X[k] = E + W^k O,  X[M-k] = conj(E - W^k O).
// sink(k, re, im) receives every bin 0..4096 exactly once.
template <typename Sink>
inline void SplitBins(const float* __restrict z, const float* __restrict wr, const float* __restrict wi, Sink&& sink) {
  sink(std::size_t{0}, z[0] + z[1], 0.0f);
  sink(kHalf, z[0] - z[1], 0.0f);
  for (std::size_t k = 1; k < kQuarter; ++k) {
    const std::size_t r = kHalf - k;
    const float a = z[2 * k], b = z[2 * k + 1];
    const float c = z[2 * r], d = z[2 * r + 1];
    const float er = 0.5f * (a + c), ei = 0.5f * (b - d);
    const float orr = 0.5f * (b + d), oi = 0.5f * (c - a);
    const float tr = wr[k] * orr - wi[k] * oi;
    const float ti = wr[k] * oi + wi[k] * orr;
    sink(k, er + tr, ei + ti);
    sink(r, er - tr, ti - ei);
  }
  sink(kQuarter, z[2 * kQuarter], -z[2 * kQuarter + 1]);
}

inline double SquaredMagnitude(float re, float im) {
  const double r = re, i = im;
  return r * r + i * i;
}

template <bool kAccumulate>
inline void PutPower(double* power, std::size_t k, double value) {
  if constexpr (kAccumulate) {
    power[k] += value;
  } else {
    power[k] = value;
  }
}

// The split step straight into the power spectrum, for the pairs k, M-k with
// k in [k, end). Same arithmetic as SplitBins.
template <bool kAccumulate>
void SplitPowerScalar(const float* __restrict z, const float* __restrict wr, const float* __restrict wi,
                      double* __restrict power, std::size_t k, std::size_t end) {
  for (; k < end; ++k) {
    const std::size_t r = kHalf - k;
    const float a = z[2 * k], b = z[2 * k + 1];
    const float c = z[2 * r], d = z[2 * r + 1];
    const float er = 0.5f * (a + c), ei = 0.5f * (b - d);
    const float orr = 0.5f * (b + d), oi = 0.5f * (c - a);
    const float tr = wr[k] * orr - wi[k] * oi;
    const float ti = wr[k] * oi + wi[k] * orr;
    PutPower<kAccumulate>(power, k, SquaredMagnitude(er + tr, ei + ti));
    PutPower<kAccumulate>(power, r, SquaredMagnitude(er - tr, ti - ei));
  }
}

#ifdef OMBRIX_SIMD_SSE2
// Four pairs at a time; returns the first k not done.
template <bool kAccumulate>
std::size_t SplitPowerSse2(const float* __restrict z, const float* __restrict wr, const float* __restrict wi,
                           double* __restrict power, std::size_t k, std::size_t end) {
  const __m128 half = _mm_set1_ps(0.5f);
  for (; k + 4 <= end; k += 4) {
    // Z[k..k+3] and Z[M-k-3..M-k], split into real and imaginary parts.
    const __m128 lo0 = _mm_loadu_ps(z + 2 * k);
    const __m128 lo1 = _mm_loadu_ps(z + 2 * k + 4);
    const __m128 a = _mm_shuffle_ps(lo0, lo1, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 b = _mm_shuffle_ps(lo0, lo1, _MM_SHUFFLE(3, 1, 3, 1));
    const std::size_t r = kHalf - k - 3;  // lowest of the mirrored indexes
    const __m128 hi0 = _mm_loadu_ps(z + 2 * r);
    const __m128 hi1 = _mm_loadu_ps(z + 2 * r + 4);
    // Reversed, so that lane j holds Z[M-k-j].
    const __m128 c = _mm_shuffle_ps(hi1, hi0, _MM_SHUFFLE(0, 2, 0, 2));
    const __m128 d = _mm_shuffle_ps(hi1, hi0, _MM_SHUFFLE(1, 3, 1, 3));
    const __m128 er = _mm_mul_ps(half, _mm_add_ps(a, c));
    const __m128 ei = _mm_mul_ps(half, _mm_sub_ps(b, d));
    const __m128 orr = _mm_mul_ps(half, _mm_add_ps(b, d));
    const __m128 oi = _mm_mul_ps(half, _mm_sub_ps(c, a));
    const __m128 twr = _mm_loadu_ps(wr + k);
    const __m128 twi = _mm_loadu_ps(wi + k);
    const __m128 tr = _mm_sub_ps(_mm_mul_ps(twr, orr), _mm_mul_ps(twi, oi));
    const __m128 ti = _mm_add_ps(_mm_mul_ps(twr, oi), _mm_mul_ps(twi, orr));
    const __m128 xr = _mm_add_ps(er, tr), xi = _mm_add_ps(ei, ti);  // bins k..k+3
    const __m128 yr = _mm_sub_ps(er, tr), yi = _mm_sub_ps(ti, ei);  // bins M-k..M-k-3
    auto squares = [](__m128 re, __m128 im, __m128d& low, __m128d& high) {
      const __m128d rl = _mm_cvtps_pd(re), il = _mm_cvtps_pd(im);
      const __m128d rh = _mm_cvtps_pd(_mm_movehl_ps(re, re)), ih = _mm_cvtps_pd(_mm_movehl_ps(im, im));
      low = _mm_add_pd(_mm_mul_pd(rl, rl), _mm_mul_pd(il, il));
      high = _mm_add_pd(_mm_mul_pd(rh, rh), _mm_mul_pd(ih, ih));
    };
    __m128d xl, xh, yl, yh;
    squares(xr, xi, xl, xh);  // bins k, k+1 | k+2, k+3
    squares(yr, yi, yl, yh);  // bins M-k, M-k-1 | M-k-2, M-k-3
    // In ascending order: M-k-3, M-k-2 | M-k-1, M-k.
    const __m128d ya = _mm_shuffle_pd(yh, yh, 1), yb = _mm_shuffle_pd(yl, yl, 1);
    double* px = power + k;
    double* py = power + r;
    if constexpr (kAccumulate) {
      _mm_storeu_pd(px, _mm_add_pd(_mm_loadu_pd(px), xl));
      _mm_storeu_pd(px + 2, _mm_add_pd(_mm_loadu_pd(px + 2), xh));
      _mm_storeu_pd(py, _mm_add_pd(_mm_loadu_pd(py), ya));
      _mm_storeu_pd(py + 2, _mm_add_pd(_mm_loadu_pd(py + 2), yb));
    } else {
      _mm_storeu_pd(px, xl);
      _mm_storeu_pd(px + 2, xh);
      _mm_storeu_pd(py, ya);
      _mm_storeu_pd(py + 2, yb);
    }
  }
  return k;
}
#endif

#ifdef OMBRIX_SIMD_AVX
// Eight interleaved complex values from z (four 128-bit pieces), split into
// real and imaginary parts: in order, or reversed (lane j holding value 7 - j).
// Only in-lane shuffles and 128-bit inserts, which are cheap on every AVX
// processor (cross-lane permutes are slow on some).
OMBRIX_TARGET_AVX inline void LoadSplit8(const float* z, __m256& re, __m256& im) {
  const __m256 t0 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(z)), _mm_loadu_ps(z + 8), 1);
  const __m256 t1 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(z + 4)), _mm_loadu_ps(z + 12), 1);
  re = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(2, 0, 2, 0));
  im = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 1, 3, 1));
}

OMBRIX_TARGET_AVX inline void LoadSplit8Reversed(const float* z, __m256& re, __m256& im) {
  const __m256 t0 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(z + 12)), _mm_loadu_ps(z + 4), 1);
  const __m256 t1 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(z + 8)), _mm_loadu_ps(z), 1);
  re = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(0, 2, 0, 2));
  im = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 3, 1, 3));
}

OMBRIX_TARGET_AVX inline __m128 Reverse4(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

// re^2 + im^2 of four bins, in double.
OMBRIX_TARGET_AVX inline __m256d Squares4(__m128 re, __m128 im) {
  const __m256d r = _mm256_cvtps_pd(re), i = _mm256_cvtps_pd(im);
  return _mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i));
}

template <bool kAccumulate>
OMBRIX_TARGET_AVX inline void PutPower4(double* p, __m256d value) {
  if constexpr (kAccumulate) {
    _mm256_storeu_pd(p, _mm256_add_pd(_mm256_loadu_pd(p), value));
  } else {
    _mm256_storeu_pd(p, value);
  }
}

// Eight pairs at a time; returns the first k not done.
template <bool kAccumulate>
OMBRIX_TARGET_AVX std::size_t SplitPowerAvx(const float* __restrict z, const float* __restrict wr,
                                            const float* __restrict wi, double* __restrict power, std::size_t k,
                                            std::size_t end) {
  const __m256 half = _mm256_set1_ps(0.5f);
  for (; k + 8 <= end; k += 8) {
    __m256 a, b, c, d;
    LoadSplit8(z + 2 * k, a, b);
    const std::size_t r = kHalf - k - 7;  // lowest of the mirrored indexes
    LoadSplit8Reversed(z + 2 * r, c, d);  // lane j: Z[M-k-j]
    const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(a, c));
    const __m256 ei = _mm256_mul_ps(half, _mm256_sub_ps(b, d));
    const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(b, d));
    const __m256 oi = _mm256_mul_ps(half, _mm256_sub_ps(c, a));
    const __m256 twr = _mm256_loadu_ps(wr + k);
    const __m256 twi = _mm256_loadu_ps(wi + k);
    const __m256 tr = _mm256_sub_ps(_mm256_mul_ps(twr, orr), _mm256_mul_ps(twi, oi));
    const __m256 ti = _mm256_add_ps(_mm256_mul_ps(twr, oi), _mm256_mul_ps(twi, orr));
    const __m256 xr = _mm256_add_ps(er, tr), xi = _mm256_add_ps(ei, ti);  // bins k..k+7
    const __m256 yr = _mm256_sub_ps(er, tr), yi = _mm256_sub_ps(ti, ei);  // bins M-k..M-k-7
    PutPower4<kAccumulate>(power + k, Squares4(_mm256_castps256_ps128(xr), _mm256_castps256_ps128(xi)));
    PutPower4<kAccumulate>(power + k + 4, Squares4(_mm256_extractf128_ps(xr, 1), _mm256_extractf128_ps(xi, 1)));
    // Lanes 0..3 are bins M-k..M-k-3: reversed, they go ascending from
    // M-k-3 = r+4; lanes 4..7 likewise from r.
    const __m128 yr0 = Reverse4(_mm256_castps256_ps128(yr)), yi0 = Reverse4(_mm256_castps256_ps128(yi));
    const __m128 yr1 = Reverse4(_mm256_extractf128_ps(yr, 1)), yi1 = Reverse4(_mm256_extractf128_ps(yi, 1));
    PutPower4<kAccumulate>(power + r + 4, Squares4(yr0, yi0));
    PutPower4<kAccumulate>(power + r, Squares4(yr1, yi1));
  }
  return k;
}
#endif

template <bool kAccumulate>
void SplitPower(const float* __restrict z, const float* __restrict wr, const float* __restrict wi,
                double* __restrict power, bool avx) {
  PutPower<kAccumulate>(power, 0, SquaredMagnitude(z[0] + z[1], 0.0f));
  PutPower<kAccumulate>(power, kHalf, SquaredMagnitude(z[0] - z[1], 0.0f));
  PutPower<kAccumulate>(power, kQuarter, SquaredMagnitude(z[2 * kQuarter], -z[2 * kQuarter + 1]));
  std::size_t k = 1;
#ifdef OMBRIX_SIMD_AVX
  if (avx) k = SplitPowerAvx<kAccumulate>(z, wr, wi, power, k, kQuarter);
#else
  (void)avx;
#endif
#ifdef OMBRIX_SIMD_SSE2
  k = SplitPowerSse2<kAccumulate>(z, wr, wi, power, k, kQuarter);
#endif
  SplitPowerScalar<kAccumulate>(z, wr, wi, power, k, kQuarter);
}

}  // namespace

RealFft8192::~RealFft8192() { Release(); }

RealFft8192::RealFft8192(RealFft8192&& other) noexcept
    : input_(std::exchange(other.input_, nullptr)),
      half_(std::exchange(other.half_, nullptr)),
      twiddleRe_(std::exchange(other.twiddleRe_, nullptr)),
      twiddleIm_(std::exchange(other.twiddleIm_, nullptr)),
      plan_(std::exchange(other.plan_, nullptr)),
      path_(other.path_) {}

RealFft8192& RealFft8192::operator=(RealFft8192&& other) noexcept {
  if (this != &other) {
    Release();
    input_ = std::exchange(other.input_, nullptr);
    half_ = std::exchange(other.half_, nullptr);
    twiddleRe_ = std::exchange(other.twiddleRe_, nullptr);
    twiddleIm_ = std::exchange(other.twiddleIm_, nullptr);
    plan_ = std::exchange(other.plan_, nullptr);
    path_ = other.path_;
  }
  return *this;
}

void RealFft8192::Release() {
  if (plan_ != nullptr) {
    std::lock_guard<std::mutex> lock(PlannerMutex());
    fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    plan_ = nullptr;
  }
  fftwf_free(input_);
  fftwf_free(half_);
  fftwf_free(twiddleRe_);
  fftwf_free(twiddleIm_);
  input_ = half_ = twiddleRe_ = twiddleIm_ = nullptr;
}

bool RealFft8192::Prepare() {
  if (plan_ != nullptr) return true;
  if (input_ == nullptr) input_ = fftwf_alloc_real(kSize);
  if (half_ == nullptr) half_ = fftwf_alloc_real(kSize);
  if (twiddleRe_ == nullptr) twiddleRe_ = fftwf_alloc_real(kQuarter + 1);
  if (twiddleIm_ == nullptr) twiddleIm_ = fftwf_alloc_real(kQuarter + 1);
  if (input_ == nullptr || half_ == nullptr || twiddleRe_ == nullptr || twiddleIm_ == nullptr) return false;
  for (std::size_t k = 0; k <= kQuarter; ++k) {
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(kSize);
    twiddleRe_[k] = static_cast<float>(std::cos(angle));
    twiddleIm_[k] = static_cast<float>(-std::sin(angle));
  }
  path_ = CpuHasAvx() ? VectorPath::kAvx : VectorPath::kPortable;

  // FFTW_MEASURE: the first plan in a process times candidate algorithms
  // (about 150 ms) and leaves the result in FFTW's wisdom, so every later
  // object plans the same transform in well under a millisecond. A guessed
  // (FFTW_ESTIMATE) plan is instant but runs this transform some 25 % slower.
  // Planning writes the arrays, which hold nothing yet.
  std::lock_guard<std::mutex> lock(PlannerMutex());
  fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(kHalf), reinterpret_cast<fftwf_complex*>(input_),
                                      reinterpret_cast<fftwf_complex*>(half_), FFTW_FORWARD, FFTW_MEASURE);
  plan_ = plan;
  for (std::size_t n = 0; n < kSize; ++n) input_[n] = 0.0f;
  return plan_ != nullptr;
}

void RealFft8192::SetPath(VectorPath path) {
  path_ = path == VectorPath::kAvx && CpuHasAvx() ? VectorPath::kAvx : VectorPath::kPortable;
}

void RealFft8192::RunHalfTransform() {
  fftwf_execute_dft(static_cast<fftwf_plan>(plan_), reinterpret_cast<fftwf_complex*>(input_),
                    reinterpret_cast<fftwf_complex*>(half_));
}

void RealFft8192::Forward(std::complex<float>* bins) {
  if (plan_ == nullptr) return;
  RunHalfTransform();
  SplitBins(half_, twiddleRe_, twiddleIm_, [bins](std::size_t k, float re, float im) { bins[k] = {re, im}; });
}

void RealFft8192::ForwardPower(double* power, bool accumulate) {
  if (plan_ == nullptr) return;
  RunHalfTransform();
  if (accumulate) {
    SplitPower<true>(half_, twiddleRe_, twiddleIm_, power, path_ == VectorPath::kAvx);
  } else {
    SplitPower<false>(half_, twiddleRe_, twiddleIm_, power, path_ == VectorPath::kAvx);
  }
}

}  // namespace ombrix::dsp
