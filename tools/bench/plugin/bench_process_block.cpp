// The plug-in's whole processing block (correction on, both meters running)
// side by side with libebur128 measuring short-term, integrated loudness and
// true peak, on the same stereo 48 kHz audio in host blocks of 64 and 512
// frames. Also the parts on their own: correction filter, loudness meter,
// true-peak meter. A summary prints the ratio to libebur128, the multiple of
// real time and the split, from CPU time.
#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <juce_events/juce_events.h>

#include "core/correction_filter.h"
#include "plugin/ombrix.h"
#include "dsp/loudness_meter.h"
#include "dsp/true_peak_meter.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kFrames = 96000;  // 2 s per iteration

struct Audio {
  juce::AudioBuffer<float> buffer{2, kFrames};
  std::vector<float> interleaved = std::vector<float>(2 * kFrames);
  Audio() {
    juce::Random random(5);
    float l = 0.0f, r = 0.0f;
    for (int n = 0; n < kFrames; ++n) {
      l = 0.9f * l + 0.1f * (random.nextFloat() * 2.0f - 1.0f);
      r = 0.9f * r + 0.1f * (random.nextFloat() * 2.0f - 1.0f);
      buffer.setSample(0, n, 0.5f * l);
      buffer.setSample(1, n, 0.5f * r);
      interleaved[2 * static_cast<std::size_t>(n)] = 0.5f * l;
      interleaved[2 * static_cast<std::size_t>(n) + 1] = 0.5f * r;
    }
  }
};

const Audio& TheAudio() {
  static const Audio audio;
  return audio;
}

std::map<std::string, double>& CpuSecondsPerAudioSecond() {
  static std::map<std::string, double> results;
  return results;
}

void Record(benchmark::State& state, const std::string& name) {
  state.counters["x_realtime"] = benchmark::Counter(kFrames / kRate, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(name);
}

void ProcessBlock(benchmark::State& state) {
  juce::ScopedJuceInitialiser_GUI juce;
  const int block = static_cast<int>(state.range(0));
  auto plugin = std::make_unique<ombrix::Ombrix>();
  plugin->prepareToPlay(kRate, block);
  plugin->Parameter(ombrix::kCorrect).SetReal(1.0);
  // Frozen gains keep the equaliser busy with a fixed, non-trivial correction.
  plugin->Parameter(ombrix::kFreeze).SetReal(1.0);
  plugin->Published().SetApplied({2.0, 3.0, -2.0, 1.5, -3.0});
  juce::AudioBuffer<float> work(2, kFrames);
  juce::MidiBuffer midi;
  for (auto _ : state) {
    state.PauseTiming();
    work.makeCopyOf(TheAudio().buffer);
    state.ResumeTiming();
    for (int start = 0; start + block <= kFrames; start += block) {
      juce::AudioBuffer<float> view(work.getArrayOfWritePointers(), 2, start, block);
      plugin->processBlock(view, midi);
    }
    benchmark::DoNotOptimize(plugin->Readout(ombrix::kIntegrated));
  }
  Record(state, "block");
}

void Filter(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  ombrix::CorrectionFilter filter;
  filter.Prepare(kRate);
  filter.SetTarget({2.0, 3.0, -2.0, 1.5, -3.0}, 200.0, 2000.0, 6000.0);
  juce::AudioBuffer<float> work(TheAudio().buffer);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block) {
      float* channels[2] = {work.getWritePointer(0) + start, work.getWritePointer(1) + start};
      filter.Process(channels, 2, block);
    }
    benchmark::DoNotOptimize(work.getSample(0, 0));
  }
  Record(state, "filter");
}

void Loudness(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  ombrix::dsp::LoudnessMeter meter;
  meter.Configure(kRate);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block) {
      const float* channels[2] = {TheAudio().buffer.getReadPointer(0) + start, TheAudio().buffer.getReadPointer(1) + start};
      meter.Process(channels, 2, block);
    }
    benchmark::DoNotOptimize(meter.IntegratedLoudness());
  }
  Record(state, "loudness");
}

void TruePeak(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  ombrix::dsp::TruePeakMeter meter;
  meter.Configure(kRate);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block) {
      const float* channels[2] = {TheAudio().buffer.getReadPointer(0) + start, TheAudio().buffer.getReadPointer(1) + start};
      meter.Process(channels, 2, block);
    }
    benchmark::DoNotOptimize(meter.SinceResetPeak());
  }
  Record(state, "true peak");
}

void Ebur128(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  ebur128_state* meter = ebur128_init(2, static_cast<unsigned long>(kRate),
                                      EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  for (auto _ : state) {
    for (int start = 0; start + block <= kFrames; start += block)
      ebur128_add_frames_float(meter, TheAudio().interleaved.data() + 2 * start, static_cast<std::size_t>(block));
    double loudness = 0.0;
    ebur128_loudness_shortterm(meter, &loudness);
    benchmark::DoNotOptimize(loudness);
  }
  ebur128_destroy(&meter);
  Record(state, "libebur128");
}

// The audio thread's own time, and the process's: the latter adds the
// analysis the correction thread does on the pushed audio, however much of
// it keeps up at many times real time (the FIFO drops what it cannot hold).
BENCHMARK(ProcessBlock)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(ProcessBlock)->Arg(64)->Arg(512)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Filter)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(Loudness)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(TruePeak)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ebur128)->Arg(64)->Arg(512)->Unit(benchmark::kMicrosecond);

// Collects CPU time per run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const double seconds = run.GetAdjustedCPUTime() * 1e-6;  // reported in microseconds
      CpuSecondsPerAudioSecond()[run.run_name.str()] = seconds / (kFrames / kRate);
    }
  }
};

void PrintSummary() {
  auto& r = CpuSecondsPerAudioSecond();
  for (int block : {64, 512}) {
    std::string b = "/";
    b += std::to_string(block);
    const double ours = r["ProcessBlock" + b], withAnalysis = r["ProcessBlock" + b + "/process_time"];
    const double peer = r["Ebur128" + b];
    const double filter = r["Filter" + b], loud = r["Loudness" + b], peak = r["TruePeak" + b];
    if (ours <= 0.0 || peer <= 0.0) continue;
    std::printf("\n%d-frame blocks: processing block %.0f us per second of audio (%.0fx real time), "
                "libebur128 %.0f us (%.0fx real time)\n", block, ours * 1e6, 1.0 / ours, peer * 1e6, 1.0 / peer);
    std::printf("  ratio ours / libebur128: %.3f (goal: at most 0.6)\n", ours / peer);
    std::printf("  with the correction thread's analysis of what it took in: %.0f us per second of audio\n",
                withAnalysis * 1e6);
    const double parts = filter + loud + peak;
    std::printf("  split of the parts: filter %.0f%%, loudness meter %.0f%%, true-peak meter %.0f%%\n",
                100.0 * filter / parts, 100.0 * loud / parts, 100.0 * peak / parts);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary();
  benchmark::Shutdown();
  return 0;
}
