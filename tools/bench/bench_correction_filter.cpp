// Cost of the correction equaliser on the audio thread against a bare cascade
// of six transposed-direct-form-II biquads over the same buffers, and the cost
// of the gain fit the correction engine runs once per analysis frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/correction_filter.h"
#include "core/eq_design.h"

namespace {

using ombrix::CorrectionFilter;
using ombrix::CorrectionGains;
using ombrix::EqDesign;

constexpr double kRate = 48000.0;
const CorrectionGains kGains{2.5, -3.0, 1.5, -2.0, 4.0};

struct StereoBuffers {
  explicit StereoBuffers(int frames) : left(frames), right(frames) {
    for (int i = 0; i < frames; ++i) {
      left[i] = 0.3 * std::sin(0.01 * i) + 0.1 * std::sin(0.37 * i);
      right[i] = 0.3 * std::cos(0.013 * i) - 0.1 * std::sin(0.29 * i);
    }
    pointers[0] = left.data();
    pointers[1] = right.data();
  }
  std::vector<double> left, right;
  double* pointers[2];
};

void SetRealTimeCounter(benchmark::State& state, int channels, int frames) {
  state.SetItemsProcessed(state.iterations() * frames);
  // Seconds of stereo audio filtered per second of CPU time.
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * frames / kRate, benchmark::Counter::kIsRate);
  state.counters["channels"] = channels;
}

void BM_CorrectionFilterProcess(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  StereoBuffers buffers(frames);
  CorrectionFilter filter;
  filter.Prepare(kRate);
  filter.SetTarget(kGains, 200.0, 2000.0, 6000.0);
  for (auto _ : state) {
    filter.Process(buffers.pointers, 2, frames);
    benchmark::DoNotOptimize(buffers.left.data());
    benchmark::DoNotOptimize(buffers.right.data());
    benchmark::ClobberMemory();
  }
  SetRealTimeCounter(state, 2, frames);
}

// Baseline 1: the plain loop, one channel at a time, state in locals.
void BM_BareCascade(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  StereoBuffers buffers(frames);
  const EqDesign design = ombrix::DesignEq(kGains, ombrix::dsp::Crossovers{}, kRate);
  double state1[2][6] = {}, state2[2][6] = {};
  for (auto _ : state) {
    for (int c = 0; c < 2; ++c) {
      double z1[6], z2[6];
      for (int s = 0; s < 6; ++s) {
        z1[s] = state1[c][s];
        z2[s] = state2[c][s];
      }
      double* samples = buffers.pointers[c];
      for (int i = 0; i < frames; ++i) {
        double x = samples[i];
        for (int s = 0; s < 6; ++s) {
          const auto& k = design[s];
          const double y = k.b0 * x + z1[s];
          z1[s] = k.b1 * x - k.a1 * y + z2[s];
          z2[s] = k.b2 * x - k.a2 * y;
          x = y;
        }
        samples[i] = x;
      }
      for (int s = 0; s < 6; ++s) {
        state1[c][s] = z1[s];
        state2[c][s] = z2[s];
      }
    }
    benchmark::DoNotOptimize(buffers.left.data());
    benchmark::DoNotOptimize(buffers.right.data());
    benchmark::ClobberMemory();
  }
  SetRealTimeCounter(state, 2, frames);
}

// Baseline 2: both channels in one packed register pair, no target checks:
// the fastest bare cascade we know how to write portably.
typedef double Lanes __attribute__((vector_size(16)));
void BM_BareCascadeStereoLanes(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  StereoBuffers buffers(frames);
  const EqDesign design = ombrix::DesignEq(kGains, ombrix::dsp::Crossovers{}, kRate);
  Lanes b0[6], b1[6], b2[6], a1[6], a2[6], z1[6] = {}, z2[6] = {};
  for (int s = 0; s < 6; ++s) {
    b0[s] = Lanes{design[s].b0, design[s].b0};
    b1[s] = Lanes{design[s].b1, design[s].b1};
    b2[s] = Lanes{design[s].b2, design[s].b2};
    a1[s] = Lanes{design[s].a1, design[s].a1};
    a2[s] = Lanes{design[s].a2, design[s].a2};
  }
  for (auto _ : state) {
    double* l = buffers.pointers[0];
    double* r = buffers.pointers[1];
    for (int i = 0; i < frames; ++i) {
      Lanes x{l[i], r[i]};
      for (int s = 0; s < 6; ++s) {
        const Lanes y = b0[s] * x + z1[s];
        z1[s] = b1[s] * x - a1[s] * y + z2[s];
        z2[s] = b2[s] * x - a2[s] * y;
        x = y;
      }
      l[i] = x[0];
      r[i] = x[1];
    }
    benchmark::DoNotOptimize(buffers.left.data());
    benchmark::DoNotOptimize(buffers.right.data());
    benchmark::ClobberMemory();
  }
  SetRealTimeCounter(state, 2, frames);
}

void BM_CorrectionFilterProcessFloat(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::vector<float> left(frames, 0.25f), right(frames, -0.25f);
  float* pointers[2] = {left.data(), right.data()};
  CorrectionFilter filter;
  filter.Prepare(kRate);
  filter.SetTarget(kGains, 200.0, 2000.0, 6000.0);
  for (auto _ : state) {
    filter.Process(pointers, 2, frames);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
  }
  SetRealTimeCounter(state, 2, frames);
}

// A block in which the target moves every call, so each call redesigns once.
void BM_CorrectionFilterProcessMovingTarget(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  StereoBuffers buffers(frames);
  CorrectionFilter filter;
  filter.Prepare(kRate);
  double step = 0.0;
  for (auto _ : state) {
    step += 0.001;
    if (step > 1.0) step = 0.0;
    filter.SetTarget(CorrectionGains{kGains[0] + step, kGains[1], kGains[2] - step, kGains[3], kGains[4]}, 200.0,
                     2000.0, 6000.0);
    filter.Process(buffers.pointers, 2, frames);
    benchmark::DoNotOptimize(buffers.left.data());
    benchmark::ClobberMemory();
  }
  SetRealTimeCounter(state, 2, frames);
}

ombrix::dsp::GridCurve DesiredCurve() {
  ombrix::dsp::GridCurve curve{};
  for (std::size_t i = 0; i < ombrix::dsp::kGridPoints; ++i) {
    const double x = ombrix::dsp::OctavePosition(i);
    curve[i] = -0.8 * x + 2.0 * std::sin(x);
  }
  return curve;
}

void BM_FitEqGainsCachedBasis(benchmark::State& state) {
  const auto curve = DesiredCurve();
  ombrix::CorrectionSettings settings;
  ombrix::EqFitBasis basis;
  CorrectionGains current{};
  for (auto _ : state) {
    current = ombrix::FitEqGains(curve, settings, kRate, ombrix::SectionOffFlags{}, current, basis);
    benchmark::DoNotOptimize(current);
  }
}

void BM_FitEqGainsFreshBasis(benchmark::State& state) {
  const auto curve = DesiredCurve();
  ombrix::CorrectionSettings settings;
  CorrectionGains current{};
  for (auto _ : state) {
    current = ombrix::FitEqGains(curve, settings, kRate, ombrix::SectionOffFlags{}, current);
    benchmark::DoNotOptimize(current);
  }
}

void BM_LimitGains(benchmark::State& state) {
  const CorrectionGains gains{6.0, 9.0, -4.0, 5.0, 8.0};  // needs scaling
  for (auto _ : state) benchmark::DoNotOptimize(ombrix::LimitGains(gains, ombrix::dsp::Crossovers{}, kRate));
}

void BM_DesignEq(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ombrix::DesignEq(kGains, ombrix::dsp::Crossovers{}, kRate));
}

BENCHMARK(BM_CorrectionFilterProcess)->Arg(64)->Arg(512);
BENCHMARK(BM_BareCascade)->Arg(64)->Arg(512);
BENCHMARK(BM_BareCascadeStereoLanes)->Arg(64)->Arg(512);
BENCHMARK(BM_CorrectionFilterProcessFloat)->Arg(512);
BENCHMARK(BM_CorrectionFilterProcessMovingTarget)->Arg(64);
BENCHMARK(BM_FitEqGainsCachedBasis);
BENCHMARK(BM_FitEqGainsFreshBasis);
BENCHMARK(BM_LimitGains);
BENCHMARK(BM_DesignEq);

// Remembers each run's CPU time so the summary can compare filter and baseline.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        cpuNanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        if (auto it = run.counters.find("x_realtime"); it != run.counters.end()) {
          realtime[run.benchmark_name()] = it->second.value;
        }
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> cpuNanoseconds;
  std::map<std::string, double> realtime;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nSummary (stereo, 48 kHz):\n");
  for (const char* frames : {"64", "512"}) {
    const std::string filter = std::string("BM_CorrectionFilterProcess/") + frames;
    if (!reporter.cpuNanoseconds.count(filter)) continue;
    std::printf("  %s-frame blocks: Process runs at %.0fx real time\n", frames, reporter.realtime[filter]);
    for (const char* baseline : {"BM_BareCascade/", "BM_BareCascadeStereoLanes/"}) {
      const std::string bare = std::string(baseline) + frames;
      if (!reporter.cpuNanoseconds.count(bare)) continue;
      std::printf("    Process / %s = %.3f (limit 1.3)\n", bare.c_str(),
                  reporter.cpuNanoseconds[filter] / reporter.cpuNanoseconds[bare]);
    }
  }
  if (reporter.cpuNanoseconds.count("BM_FitEqGainsCachedBasis")) {
    std::printf("  FitEqGains with a kept basis: %.2f us per call\n",
                reporter.cpuNanoseconds["BM_FitEqGainsCachedBasis"] / 1000.0);
  }
  if (reporter.cpuNanoseconds.count("BM_FitEqGainsFreshBasis")) {
    std::printf("  FitEqGains building its basis: %.2f us per call\n",
                reporter.cpuNanoseconds["BM_FitEqGainsFreshBasis"] / 1000.0);
  }
  benchmark::Shutdown();
  return 0;
}
