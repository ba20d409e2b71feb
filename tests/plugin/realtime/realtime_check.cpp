// Proves that processBlock allocates nothing: every operator new in this
// program is counted while the calling thread is inside processBlock.
// Exits non-zero and says where when an allocation happens.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <juce_events/juce_events.h>

#include "plugin/ombrix.h"

namespace {

thread_local bool tCounting = false;
std::atomic<long> gAllocations{0};

void* Allocate(std::size_t size) {
  if (tCounting) gAllocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (tCounting) gAllocations.fetch_add(1);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <typename Sample>
long CountDuring(ombrix::Ombrix& plugin, int channels, int frames, int blocks, juce::Random& random) {
  juce::AudioBuffer<Sample> buffer(channels, frames);
  juce::MidiBuffer midi;
  long counted = 0;
  for (int b = 0; b < blocks; ++b) {
    for (int ch = 0; ch < channels; ++ch)
      for (int i = 0; i < frames; ++i) buffer.setSample(ch, i, static_cast<Sample>(random.nextFloat() - 0.5f));
    if (b % 7 == 3) plugin.RequestMeterReset();
    const long before = gAllocations.load();
    tCounting = true;
    plugin.processBlock(buffer, midi);
    tCounting = false;
    counted += gAllocations.load() - before;
  }
  return counted;
}

struct Scenario {
  const char* name;
  bool offline;
  bool correct;
  bool freeze;
  bool bypass;
};

}  // namespace

int main() {
  juce::ScopedJuceInitialiser_GUI juce;
  auto plugin = std::make_unique<ombrix::Ombrix>();
  juce::Random random(42);
  long total = 0;
  const Scenario scenarios[] = {
      {"real time, correction off", false, false, false, false},
      {"real time, correction on", false, true, false, false},
      {"offline, correction on", true, true, false, false},
      {"offline, frozen", true, true, true, false},
      {"offline, unfrozen again", true, true, false, false},
      {"bypass while correcting", false, true, false, true},
  };
  for (double rate : {44100.0, 96000.0, 48000.0}) {
    plugin->prepareToPlay(rate, 1024);  // rate changes happen here, outside the counted calls
    plugin->SetEditorOpen(true);
    for (const Scenario& s : scenarios) {
      plugin->setNonRealtime(s.offline);
      plugin->Parameter(ombrix::kCorrect).SetReal(s.correct ? 1.0 : 0.0);
      plugin->Parameter(ombrix::kFreeze).SetReal(s.freeze ? 1.0 : 0.0);
      plugin->Parameter(ombrix::kBypass).SetReal(s.bypass ? 1.0 : 0.0);
      for (int channels : {1, 2}) {
        const long n = CountDuring<float>(*plugin, channels, 512, 40, random) +
                       CountDuring<double>(*plugin, channels, 333, 40, random) +
                       CountDuring<float>(*plugin, channels, 0, 3, random);
        if (n != 0) std::printf("%g Hz, %d channel(s), %s: %ld allocations\n", rate, channels, s.name, n);
        total += n;
      }
    }
  }
  std::printf("processBlock allocations: %ld\n", total);
  return total == 0 ? 0 : 1;
}
