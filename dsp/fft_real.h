#pragma once
// Unnormalised forward FFT of 8192 real single-precision samples.
//
// Built from FFTW's 4096-point complex transform over (even, odd) sample
// pairs followed by the split step that yields bins 0..4096, which is quicker
// than FFTW's own real-input plans at this size. The split step can hand out
// the complex bins or go straight to the power spectrum in double.
//
// Prepare() allocates and plans; it is the only call that allocates or locks
// (FFTW's planner is not thread-safe, so planning and plan destruction take a
// process-wide mutex). The first plan in a process is timed (FFTW_MEASURE,
// about 150 ms); later ones reuse FFTW's wisdom and take well under 1 ms.
// Forward and ForwardPower never allocate, lock or wait, and separate objects
// may run them concurrently.
#include <complex>
#include <cstddef>

namespace ombrix::dsp {

class RealFft8192 {
 public:
  static constexpr std::size_t kSize = 8192;
  static constexpr std::size_t kBins = kSize / 2 + 1;  // 0..4096

  RealFft8192() = default;
  ~RealFft8192();
  RealFft8192(const RealFft8192&) = delete;
  RealFft8192& operator=(const RealFft8192&) = delete;
  RealFft8192(RealFft8192&& other) noexcept;
  RealFft8192& operator=(RealFft8192&& other) noexcept;

  // Allocates the buffers and tables and makes the plan on the first call;
  // later calls do nothing. Returns whether the transform is usable.
  bool Prepare();
  bool Prepared() const { return plan_ != nullptr; }

  // Which vector code the split step uses: AVX where the CPU has it (chosen
  // by Prepare), else SSE2 / plain code. Results are the same either way.
  enum class VectorPath { kPortable, kAvx };
  VectorPath Path() const { return path_; }
  // For tests and benchmarks: force a path (kAvx only takes effect where supported).
  void SetPath(VectorPath path);

  // The 8192 input samples (SIMD-aligned); fill before each transform. The
  // transforms leave it unchanged.
  float* Input() { return input_; }
  const float* Input() const { return input_; }

  // bins[k] = sum_n x[n] exp(-2 pi i k n / 8192) for k = 0..4096.
  void Forward(std::complex<float>* bins);

  // power[k] = re^2 + im^2 of bin k (squares taken in double), k = 0..4096;
  // added to power when accumulate is true, stored otherwise.
  void ForwardPower(double* power, bool accumulate);

 private:
  void RunHalfTransform();
  void Release();

  float* input_ = nullptr;         // 8192 floats = 4096 interleaved complex values
  float* half_ = nullptr;          // 4096 interleaved complex values: the half-size transform
  float* twiddleRe_ = nullptr;     // cos(2 pi k / 8192), k = 0..2048
  float* twiddleIm_ = nullptr;     // -sin(2 pi k / 8192)
  void* plan_ = nullptr;           // fftwf_plan
  VectorPath path_ = VectorPath::kPortable;
};

}  // namespace ombrix::dsp
