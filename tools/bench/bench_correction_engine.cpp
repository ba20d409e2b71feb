// Cost of the correction engine's per-frame update (gate, level match, robust
// fit, desired curve, equaliser gain fit, glide), which runs once per 2048
// samples on the worker thread or, while rendering offline, on the audio
// thread. Budget: 50 us per frame update. Also the whole Feed of one hop
// (transform of 2 x 8192 samples plus the update) and FitDeviation alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/correction_settings.h"
#include "dsp/correction_engine.h"
#include "core/frequency_grid.h"

namespace {

using ombrix::CorrectionSettings;
using ombrix::dsp::CorrectionEngine;

constexpr double kRate = 48000.0;
constexpr int kHop = 2048;

// Pink-ish noise, so that every band has energy and every section is fitted.
std::vector<float> Noise(std::size_t count, std::uint64_t seed) {
  std::vector<float> out(count);
  double b0 = 0, b1 = 0, b2 = 0;
  for (float& sample : out) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const double w = static_cast<double>(seed >> 11) / 9007199254740992.0 * 2.0 - 1.0;
    b0 = 0.99765 * b0 + w * 0.0990460;
    b1 = 0.96300 * b1 + w * 0.2965164;
    b2 = 0.57000 * b2 + w * 1.0526913;
    sample = static_cast<float>(0.05 * (b0 + b1 + b2 + w * 0.1848));
  }
  return out;
}

ombrix::dsp::GridCurve TiltedTarget() {
  ombrix::dsp::GridCurve target{};
  for (std::size_t i = 0; i < ombrix::dsp::kGridPoints; ++i) target[i] = -0.5 * ombrix::dsp::OctavePosition(i);
  return target;
}

// An engine that has analysed a few seconds, so its averages, band levels
// and gate are those of running audio.
void Prime(CorrectionEngine& engine) {
  engine.Configure(kRate);
  CorrectionSettings settings;
  settings.amount.fill(1.0);
  engine.SetSettings(settings);
  engine.SetTargetLevels(TiltedTarget());
  const std::vector<float> left = Noise(5 * 48000, 1), right = Noise(5 * 48000, 2);
  engine.Feed(left.data(), right.data(), static_cast<int>(left.size()));
}

void BM_CorrectionEngineFrameUpdate(benchmark::State& state) {
  CorrectionEngine engine;
  Prime(engine);
  const double meanSquare = 0.01;  // loud: every call runs the whole fit
  const double hop = kHop / kRate;
  for (auto _ : state) {
    engine.FrameUpdate(meanSquare, hop);
    benchmark::DoNotOptimize(engine.CurrentGains().data());
    benchmark::ClobberMemory();
  }
  if (!engine.LastFrameLoud()) state.SkipWithError("the frame was gated; the fit did not run");
  state.counters["budget_us"] = 50.0;
}
BENCHMARK(BM_CorrectionEngineFrameUpdate)->Unit(benchmark::kMicrosecond);

void BM_CorrectionEngineFeedOneHop(benchmark::State& state) {
  CorrectionEngine engine;
  Prime(engine);
  const std::vector<float> left = Noise(64 * kHop, 3), right = Noise(64 * kHop, 4);
  std::size_t offset = 0;
  for (auto _ : state) {
    engine.Feed(&left[offset], &right[offset], kHop);  // exactly one analysis frame
    offset = (offset + kHop) % left.size();
    benchmark::DoNotOptimize(engine.CurrentGains().data());
  }
  // Seconds of stereo audio analysed per second of CPU time.
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kHop / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CorrectionEngineFeedOneHop)->Unit(benchmark::kMicrosecond);

void BM_FitDeviation(benchmark::State& state) {
  ombrix::dsp::GridCurve deviation{};
  for (std::size_t i = 0; i < ombrix::dsp::kGridPoints; ++i) {
    deviation[i] = 0.7 * ombrix::dsp::OctavePosition(i) + std::sin(0.3 * static_cast<double>(i));
  }
  ombrix::dsp::ValidFlags valid;
  valid.fill(true);
  const ombrix::dsp::BandValues weightIn{1.0, 1.0, 1.0, 1.0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ombrix::dsp::FitDeviation(valid, deviation, ombrix::dsp::Crossovers{}, weightIn));
  }
}
BENCHMARK(BM_FitDeviation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
