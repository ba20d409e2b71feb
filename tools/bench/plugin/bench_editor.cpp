// What the editor costs: a full repaint of the window at draw scale 1 and 2
// with a busy display (the demo programme with correction on), one idle tick
// (the snapshot built from 20 ms of new audio at 48 kHz), and the CPU the
// open editor takes in a real window while audio plays in real time, as a
// share of one core at scale 1 and 2: the message thread's CPU time (where
// the idle tick, the painting and the window's events run) with the editor
// open minus the same with it closed, median of three rounds of 10 s each;
// the whole process's difference is printed beside it. The X server's own
// drawing is not counted. The window part needs a display (run under
// xvfb-run); without one it is skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "plugin/ombrix.h"
#include "tools/bench/cpu_time.h"
#include "tools/display/bare_display.h"
#include "tools/ombrix/demo_programme.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 480;  // two blocks per 20 ms tick

const std::vector<float>& Programme() {
  static const std::vector<float> programme = ombrix::cli::SynthesiseDemoProgramme(kRate, 30.0);
  return programme;
}

// The demo programme in a loop, as host blocks.
class ProgrammeBlocks {
 public:
  void Next(juce::AudioBuffer<float>& buffer) {
    const std::vector<float>& p = Programme();
    const std::size_t frames = p.size() / 2;
    for (int n = 0; n < buffer.getNumSamples(); ++n) {
      buffer.setSample(0, n, p[2 * position_]);
      buffer.setSample(1, n, p[2 * position_ + 1]);
      position_ = (position_ + 1) % frames;
    }
  }

 private:
  std::size_t position_ = 0;
};

// A plug-in with correction on and its editor open, after 10 s of programme.
class BusyEditor {
 public:
  BusyEditor(float scale, bool offline) {
    plugin_.setNonRealtime(offline);
    plugin_.prepareToPlay(kRate, kBlock);
    plugin_.Parameter(ombrix::kCorrect).SetReal(1.0);
    for (int amount : ombrix::kAmountParams) plugin_.Parameter(amount).SetReal(100.0);
    plugin_.Parameter(ombrix::kCorrectSpeed).SetReal(2.0);
    editor_.reset(plugin_.createEditorIfNeeded());
    plugin_.SetWindowScale(scale);
    for (int tick = 0; tick < 500; ++tick) PlayTick();
  }
  ~BusyEditor() {
    plugin_.editorBeingDeleted(editor_.get());
    editor_.reset();
  }

  // 20 ms of audio, then the idle tick.
  void PlayTick() {
    PlayAudio();
    plugin_.OnIdle();
  }
  void PlayAudio() {
    for (int b = 0; b < 2; ++b) {
      blocks_.Next(buffer_);
      plugin_.processBlock(buffer_, midi_);
    }
  }
  ombrix::Ombrix& Plugin() { return plugin_; }
  juce::AudioProcessorEditor& Editor() { return *editor_; }
  void CloseEditor() {
    plugin_.editorBeingDeleted(editor_.get());
    editor_.reset();
  }

 private:
  ombrix::Ombrix plugin_;
  std::unique_ptr<juce::AudioProcessorEditor> editor_;
  ProgrammeBlocks blocks_;
  juce::AudioBuffer<float> buffer_{2, kBlock};
  juce::MidiBuffer midi_;
};

std::map<std::string, double>& Milliseconds() {
  static std::map<std::string, double> results;
  return results;
}

void Repaint(benchmark::State& state) {
  const float scale = static_cast<float>(state.range(0));
  BusyEditor busy(scale, true);
  juce::Component& window = busy.Editor();
  juce::Image image(juce::Image::ARGB, window.getWidth(), window.getHeight(), true);
  for (auto _ : state) {
    juce::Graphics g(image);
    window.paintEntireComponent(g, true);
  }
  state.SetLabel("scale " + std::to_string(state.range(0)));
}

void IdleTick(benchmark::State& state) {
  BusyEditor busy(1.0f, true);
  for (auto _ : state) {
    state.PauseTiming();
    busy.PlayAudio();
    state.ResumeTiming();
    busy.Plugin().OnIdle();
  }
}

// Captures each benchmark's CPU milliseconds per iteration for the summary.
class Summary : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        Milliseconds()[run.benchmark_name()] = run.GetAdjustedCPUTime() * 1e3 /
                                                benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
};

using ombrix::ProcessCpuSeconds;
using ombrix::ThisThreadCpuSeconds;

struct CpuUse {
  double messageThread = 0.0;  // seconds
  double process = 0.0;
};

// Audio in real time on its own thread while the message loop runs on this
// one for a while; returns the CPU seconds used over that time.
CpuUse CpuWhilePlaying(BusyEditor& busy, double seconds) {
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    ProgrammeBlocks blocks;
    juce::AudioBuffer<float> buffer(2, kBlock);
    juce::MidiBuffer midi;
    auto next = std::chrono::steady_clock::now();
    while (!stop.load()) {
      blocks.Next(buffer);
      busy.Plugin().processBlock(buffer, midi);
      next += std::chrono::microseconds(static_cast<int>(1e6 * kBlock / kRate));
      std::this_thread::sleep_until(next);
    }
  });
  const double processBefore = ProcessCpuSeconds(), threadBefore = ThisThreadCpuSeconds();
  juce::MessageManager::getInstance()->runDispatchLoopUntil(static_cast<int>(seconds * 1000));
  const CpuUse used{ThisThreadCpuSeconds() - threadBefore, ProcessCpuSeconds() - processBefore};
  stop.store(true);
  audio.join();
  return used;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The open editor's share of one core: the same playback with the editor in
// a window and with it closed, in rounds.
CpuUse EditorShareOfCore(float scale, double seconds, int rounds) {
  std::vector<double> thread, process;
  for (int round = 0; round < rounds; ++round) {
    BusyEditor busy(scale, false);
    juce::Component& window = busy.Editor();
    window.setTopLeftPosition(0, 0);
    window.addToDesktop(juce::ComponentPeer::windowHasTitleBar);
    window.setVisible(true);
    juce::MessageManager::getInstance()->runDispatchLoopUntil(500);
    const CpuUse open = CpuWhilePlaying(busy, seconds);
    busy.CloseEditor();
    const CpuUse closed = CpuWhilePlaying(busy, seconds);
    thread.push_back((open.messageThread - closed.messageThread) / seconds);
    process.push_back((open.process - closed.process) / seconds);
  }
  return {Median(thread), Median(process)};
}

}  // namespace

BENCHMARK(Repaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(IdleTick)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  ombrix::host::PrepareBareDisplay();
  juce::ScopedJuceInitialiser_GUI juce;
  benchmark::Initialize(&argc, argv);
  Summary summary;
  benchmark::RunSpecifiedBenchmarks(&summary);

  std::printf("\nEditor costs (goals: repaint at scale 2 <= 6 ms, idle tick <= 0.5 ms,\n"
              "open editor <= 3 %% of a core at scale 1 and <= 8 %% at scale 2)\n");
  std::printf("  full repaint, scale 1   %.2f ms\n", Milliseconds()["Repaint/1"]);
  std::printf("  full repaint, scale 2   %.2f ms\n", Milliseconds()["Repaint/2"]);
  std::printf("  idle tick (48 kHz)      %.3f ms\n", Milliseconds()["IdleTick"]);
  if (!ombrix::host::DisplayAvailable()) {
    std::printf("  open editor in a window: skipped (no display; run under xvfb-run)\n");
  } else {
    for (const float scale : {1.0f, 2.0f}) {
      const CpuUse share = EditorShareOfCore(scale, 10.0, 3);
      std::printf("  open editor, scale %.0f    %.1f %% of a core (whole process: %.1f %%)\n", scale,
                  100.0 * share.messageThread, 100.0 * share.process);
    }
  }
  benchmark::Shutdown();
  return 0;
}
