// The loudness and true-peak meters against libebur128 on the same stereo
// 48 kHz audio, in host blocks of 64 and 512 frames. libebur128 runs in mode
// S | I | TRUE_PEAK, the set of measurements our two meters provide, and gets
// the same samples already interleaved (its input format), so neither side
// pays for a layout conversion. After the usual table a summary prints, per
// block size, the time per second of audio, the multiple of real time, the
// split between loudness and true peak and the ratio ours / libebur128, all
// from CPU time, which other processes on the machine disturb less than wall
// time.
#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "dsp/loudness_meter.h"
#include "dsp/true_peak_meter.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kFrames = 96000;  // 2 s per iteration

// Stereo pink-ish noise (white noise through a one-pole low-pass) around
// -20 dBFS, with a different generator state per channel.
struct Audio {
  std::vector<double> left, right, interleaved;
  Audio() : left(kFrames), right(kFrames), interleaved(2 * kFrames) {
    std::uint32_t state = 22222u;
    auto white = [&state] {
      state = state * 1664525u + 1013904223u;
      return static_cast<double>(state) / 2147483648.0 - 1.0;
    };
    double l = 0.0, r = 0.0;
    for (int n = 0; n < kFrames; ++n) {
      l = 0.9 * l + 0.1 * white();
      r = 0.9 * r + 0.1 * white();
      left[n] = 0.5 * l;
      right[n] = 0.5 * r;
      interleaved[2 * n] = left[n];
      interleaved[2 * n + 1] = right[n];
    }
  }
};

const Audio& TheAudio() {
  static const Audio audio;
  return audio;
}

enum class What { Both, Loudness, TruePeak };

void Ours(benchmark::State& state, What what) {
  const Audio& audio = TheAudio();
  const int block = static_cast<int>(state.range(0));
  ombrix::dsp::LoudnessMeter loudness;
  ombrix::dsp::TruePeakMeter truePeak;
  loudness.Configure(kRate);
  truePeak.Configure(kRate);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block) {
      const double* channels[2] = {audio.left.data() + start, audio.right.data() + start};
      if (what != What::TruePeak) loudness.Process(channels, 2, block);
      if (what != What::Loudness) truePeak.Process(channels, 2, block);
    }
    benchmark::DoNotOptimize(loudness.IntegratedLoudness());
    benchmark::DoNotOptimize(truePeak.SinceResetPeak());
  }
  state.counters["x_realtime"] = benchmark::Counter(kFrames / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

void Ebur128(benchmark::State& state) {
  const Audio& audio = TheAudio();
  const int block = static_cast<int>(state.range(0));
  ebur128_state* meter = ebur128_init(2, static_cast<unsigned long>(kRate), EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block) {
      ebur128_add_frames_double(meter, audio.interleaved.data() + 2 * start, static_cast<std::size_t>(block));
    }
    double value = 0.0;
    ebur128_loudness_shortterm(meter, &value);
    benchmark::DoNotOptimize(value);
  }
  state.counters["x_realtime"] = benchmark::Counter(kFrames / kRate, benchmark::Counter::kIsIterationInvariantRate);
  ebur128_destroy(&meter);
}

void BM_OursBoth(benchmark::State& state) { Ours(state, What::Both); }
void BM_OursLoudness(benchmark::State& state) { Ours(state, What::Loudness); }
void BM_OursTruePeak(benchmark::State& state) { Ours(state, What::TruePeak); }
void BM_Ebur128(benchmark::State& state) { Ebur128(state); }

BENCHMARK(BM_OursBoth)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursLoudness)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursTruePeak)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ebur128)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);

// Remembers the CPU time per iteration of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        seconds_[run.benchmark_name()] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintSummary() const {
    const double audioSeconds = kFrames / kRate;
    std::printf("\nStereo 48 kHz; CPU time per second of audio, multiple of real time\n");
    std::printf("%-7s %12s %12s %12s %12s %10s %12s\n", "block", "ours", "loudness", "true peak", "libebur128",
                "ours/ebu", "LU:TP split");
    for (int block : {64, 512}) {
      const double both = Get("BM_OursBoth", block), loud = Get("BM_OursLoudness", block),
                   peak = Get("BM_OursTruePeak", block), ebu = Get("BM_Ebur128", block);
      if (both <= 0.0 || ebu <= 0.0) continue;
      auto cell = [&](double seconds) {
        static char text[4][32];
        static int next = 0;
        char* out = text[next++ % 4];
        std::snprintf(out, 32, "%6.1fus %4.0fx", 1e6 * seconds / audioSeconds, audioSeconds / seconds);
        return out;
      };
      std::printf("%-7d %s %s", block, cell(both), cell(loud));
      std::printf(" %s %s", cell(peak), cell(ebu));
      const double parts = loud + peak;
      std::printf(" %9.3f   %4.0f%%:%3.0f%%\n", both / ebu, 100.0 * loud / parts, 100.0 * peak / parts);
    }
  }

 private:
  double Get(const std::string& name, int block) const {
    const auto it = seconds_.find(name + "/" + std::to_string(block));
    return it == seconds_.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
