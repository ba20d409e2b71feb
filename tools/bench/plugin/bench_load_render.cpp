// What one instance of the built VST3 costs a host from nothing: loading it
// through JUCE's VST3 hosting (the module's first load on its own, then each
// further instance), readying it for 48 kHz stereo 512-frame blocks,
// rendering 0.1 s of audio with "Correct" on, and releasing it again.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/parameter_table.h"
#include "tools/host/plugin_host.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFrames = 4800;  // 0.1 s

const char* Bundle() {
  const char* chosen = std::getenv("OMBRIX_BENCH_VST3");
  return chosen != nullptr ? chosen : OMBRIX_VST3_BUNDLE;
}

// Loads, prepares and renders; false when the plug-in did not load.
bool LoadAndRender() {
  juce::String error;
  ombrix::host::LoadedPlugin loaded = ombrix::host::LoadVst3(Bundle(), kRate, kBlock, error);
  if (loaded.instance == nullptr) {
    std::fprintf(stderr, "bench_load_render: %s\n", error.toRawUTF8());
    return false;
  }
  juce::AudioPluginInstance& plugin = *loaded.instance;
  ombrix::host::ParameterAt(plugin, ombrix::kCorrect)->setValueNotifyingHost(1.0f);
  plugin.prepareToPlay(kRate, kBlock);
  juce::AudioBuffer<float> buffer(2, kBlock);
  juce::MidiBuffer midi;
  juce::Random random(3);
  for (int done = 0; done < kFrames; done += kBlock) {
    const int frames = std::min(kBlock, kFrames - done);
    for (int ch = 0; ch < 2; ++ch)
      for (int n = 0; n < frames; ++n) buffer.setSample(ch, n, random.nextFloat() * 0.2f - 0.1f);
    juce::AudioBuffer<float> block(buffer.getArrayOfWritePointers(), 2, frames);
    plugin.processBlock(block, midi);
  }
  plugin.releaseResources();
  return true;
}

void LoadRender(benchmark::State& state) {
  for (auto _ : state)
    if (!LoadAndRender()) state.SkipWithError("the plug-in did not load");
}
BENCHMARK(LoadRender)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  juce::ScopedJuceInitialiser_GUI juce;
  benchmark::Initialize(&argc, argv);
  const auto start = std::chrono::steady_clock::now();
  if (!LoadAndRender()) return 1;
  const std::chrono::duration<double, std::milli> first = std::chrono::steady_clock::now() - start;
  std::printf("first instance (the module loads): %.1f ms\n", first.count());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
