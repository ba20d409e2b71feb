// Cost of the spectrum analyser against the floor it cannot beat, and of the
// analysis FIFO's producer side.
//
// Floor: the two FFTW single-precision 8192-point real transforms (r2c, a
// timed FFTW_MEASURE plan) that one analysis frame of a stereo stream needs
// every 2048 frames. Goal: Feed costs at most 1.5 times that. Push: well
// under 10 ns per frame.
//
// Prints google-benchmark's table, then a summary with the ratio, Feed's
// multiple of real time at 48 kHz and Push's cost per frame.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "dsp/analysis_fifo.h"
#include "dsp/fft_real.h"
#include "dsp/band_analyser.h"

namespace {

using ombrix::dsp::AnalysisFifo;
using ombrix::dsp::RealFft8192;
using ombrix::dsp::SpectrumAnalysis;

constexpr double kRate = 48000.0;
constexpr int kHop = 2048;
constexpr int kSignalFrames = 1 << 18;  // about 5.5 s, a multiple of the hop

// Deterministic pink-ish noise (Paul Kellett's economy filter over white noise).
std::vector<float> PinkNoise(std::uint64_t seed, int count) {
  std::vector<float> out(static_cast<std::size_t>(count));
  std::uint64_t state = seed;
  double b0 = 0, b1 = 0, b2 = 0;
  for (float& sample : out) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double white = static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0) * 2.0 - 1.0;
    b0 = 0.99765 * b0 + white * 0.0990460;
    b1 = 0.96300 * b1 + white * 0.2965164;
    b2 = 0.57000 * b2 + white * 1.0526913;
    sample = static_cast<float>(0.05 * (b0 + b1 + b2 + white * 0.1848));
  }
  return out;
}

const std::vector<float>& Left() {
  static const std::vector<float> signal = PinkNoise(1, kSignalFrames);
  return signal;
}
const std::vector<float>& Right() {
  static const std::vector<float> signal = PinkNoise(2, kSignalFrames);
  return signal;
}

// Two bare r2c transforms per 2048 frames, on real signal windows.
void BM_FloorTwoR2cTransforms(benchmark::State& state) {
  float* in[2] = {fftwf_alloc_real(8192), fftwf_alloc_real(8192)};
  fftwf_complex* out = fftwf_alloc_complex(4097);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(8192, in[0], out, FFTW_MEASURE);
  for (int c = 0; c < 2; ++c) {
    const std::vector<float>& source = c == 0 ? Left() : Right();
    for (int n = 0; n < 8192; ++n) in[c][n] = source[static_cast<std::size_t>(n)];
  }
  for (auto _ : state) {
    fftwf_execute_dft_r2c(plan, in[0], out);
    benchmark::DoNotOptimize(out[100][0]);
    fftwf_execute_dft_r2c(plan, in[1], out);
    benchmark::DoNotOptimize(out[100][0]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kHop);
  fftwf_destroy_plan(plan);
  fftwf_free(in[0]);
  fftwf_free(in[1]);
  fftwf_free(out);
}
BENCHMARK(BM_FloorTwoR2cTransforms);

// The transform the analyser uses, twice per frame: half-size complex FFT,
// split step and power in double.
void BM_AnalyserTransformPower(benchmark::State& state) {
  RealFft8192 fft;
  fft.Prepare();
  if (state.range(0) == 0) fft.SetPath(RealFft8192::VectorPath::kPortable);
  state.SetLabel(fft.Path() == RealFft8192::VectorPath::kAvx ? "avx" : "portable");
  for (int n = 0; n < 8192; ++n) fft.Input()[n] = Left()[static_cast<std::size_t>(n)];
  std::vector<double> power(RealFft8192::kBins);
  for (auto _ : state) {
    fft.ForwardPower(power.data(), false);
    fft.ForwardPower(power.data(), true);
    benchmark::DoNotOptimize(power[100]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kHop);
}
BENCHMARK(BM_AnalyserTransformPower)->Arg(1)->Arg(0);

// Feed of stereo 48 kHz audio: every iteration feeds one hop (2048 frames) in
// pieces of `piece` frames, so it analyses exactly one frame.
void BM_Feed(benchmark::State& state) {
  const int piece = static_cast<int>(state.range(0));
  SpectrumAnalysis analysis;
  analysis.Configure(kRate);
  double observed = 0.0;
  analysis.SetFrameObserver([&observed](const ombrix::dsp::GridCurve& p, double meanSquare, double) {
    observed += p[90] + meanSquare;
  });
  const float* left = Left().data();
  const float* right = Right().data();
  analysis.Feed(left, right, 8192);  // fill the ring
  int position = 8192;
  for (auto _ : state) {
    for (int done = 0; done < kHop; done += piece) analysis.Feed(left + position + done, right + position + done, piece);
    position = (position + kHop) % kSignalFrames;
  }
  benchmark::DoNotOptimize(observed);
  state.SetItemsProcessed(state.iterations() * kHop);
  state.counters["xRealTime"] =
      benchmark::Counter(static_cast<double>(kHop) / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Feed)->Arg(512)->Arg(2048)->Arg(64);

// The producer side of the FIFO: 512 stereo frames of doubles per push; the
// consumer side is emptied with Discard between pushes.
template <typename Sample>
void BM_FifoPush(benchmark::State& state) {
  constexpr int kBlock = 512;
  AnalysisFifo fifo;
  std::vector<Sample> left(kBlock), right(kBlock);
  for (int n = 0; n < kBlock; ++n) {
    left[static_cast<std::size_t>(n)] = static_cast<Sample>(Left()[static_cast<std::size_t>(n)]);
    right[static_cast<std::size_t>(n)] = static_cast<Sample>(Right()[static_cast<std::size_t>(n)]);
  }
  const Sample* channels[2] = {left.data(), right.data()};
  int pushes = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fifo.Push(channels, 2, kBlock));
    if (++pushes == 64) {  // keep it from filling up without timing the consumer each time
      fifo.Discard();
      pushes = 0;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_FifoPush<double>)->Name("BM_FifoPush/double");
BENCHMARK(BM_FifoPush<float>)->Name("BM_FifoPush/float");

void BM_FifoRead(benchmark::State& state) {
  constexpr int kBlock = 4096;
  AnalysisFifo fifo;
  std::vector<double> source(kBlock, 0.25);
  const double* channels[2] = {source.data(), source.data()};
  std::vector<float> left(kBlock), right(kBlock);
  for (auto _ : state) {
    state.PauseTiming();
    fifo.Push(channels, 2, kBlock);
    state.ResumeTiming();
    benchmark::DoNotOptimize(fifo.Read(left.data(), right.data(), kBlock));
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_FifoRead);

// Remembers the least CPU time per iteration (ns) of each benchmark over its
// repetitions for the summary: on a shared machine the least is the best
// estimate of the uncontended cost.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0 && run.run_type == Run::RT_Iteration) {
        const double nanos = run.GetAdjustedCPUTime() * (1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit));
        const std::string name = run.run_name.str();
        const auto it = nanosPerIteration.find(name);
        if (it == nanosPerIteration.end() || nanos < it->second) nanosPerIteration[name] = nanos;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanosPerIteration;
};

}  // namespace

int main(int argc, char** argv) {
  // Defaults suited to a shared machine: several short repetitions of each
  // benchmark, interleaved, so a burst of load does not hit one side of the
  // ratio only. Command-line flags still override them.
  std::vector<char*> args(argv, argv + argc);
  static char repetitions[] = "--benchmark_repetitions=5";
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  static char minTime[] = "--benchmark_min_time=0.2";
  args.insert(args.begin() + 1, {repetitions, interleave, minTime});
  int count = static_cast<int>(args.size());
  argv = args.data();
  argc = count;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const auto& t = reporter.nanosPerIteration;
  auto find = [&t](const std::string& name) {
    const auto it = t.find(name);
    return it == t.end() ? -1.0 : it->second;
  };
  const double floor = find("BM_FloorTwoR2cTransforms");
  const double transform = find("BM_AnalyserTransformPower/1");
  const double hopNanos = 1e9 * kHop / kRate;
  std::printf("\nSummary (per %d stereo frames at 48 kHz = %.2f ms of audio)\n", kHop, hopNanos / 1e6);
  if (floor > 0) std::printf("  floor, two FFTW r2c 8192 (measured plan): %8.2f us\n", floor / 1e3);
  if (transform > 0 && floor > 0) {
    std::printf("  analyser's two transforms with power:     %8.2f us  (%.2fx floor)\n", transform / 1e3, transform / floor);
  }
  for (const char* name : {"BM_Feed/64", "BM_Feed/512", "BM_Feed/2048"}) {
    const double feed = find(name);
    if (feed <= 0 || floor <= 0) continue;
    std::printf("  %-13s %8.2f us  ratio to floor %.2f (goal <= 1.5: %s)  %.0fx real time\n", name, feed / 1e3,
                feed / floor, feed / floor <= 1.5 ? "met" : "MISSED", hopNanos / feed);
  }
  for (const char* name : {"BM_FifoPush/double", "BM_FifoPush/float"}) {
    const double push = find(name);
    if (push > 0) std::printf("  %-18s %6.3f ns per frame (goal < 10)\n", name, push / 512.0);
  }
  const double read = find("BM_FifoRead");
  if (read > 0) std::printf("  BM_FifoRead        %6.3f ns per frame\n", read / 4096.0);
  benchmark::Shutdown();
  return 0;
}
