// Loads the built Ombrix.vst3 in JUCE's VST3 host and prints what a host sees:
// identity, parameters, accepted layouts, and a pass-through check.
#include <cstdio>

#include "tools/host/plugin_host.h"

namespace {

bool PassesThrough(juce::AudioPluginInstance& plugin, int channels) {
  const int frames = 512;
  juce::AudioBuffer<float> buffer(channels, frames), original(channels, frames);
  juce::Random random(1234);
  for (int ch = 0; ch < channels; ++ch)
    for (int i = 0; i < frames; ++i) original.setSample(ch, i, random.nextFloat() * 2.0f - 1.0f);
  buffer.makeCopyOf(original);
  juce::MidiBuffer midi;
  plugin.processBlock(buffer, midi);
  for (int ch = 0; ch < channels; ++ch)
    for (int i = 0; i < frames; ++i)
      if (buffer.getSample(ch, i) != original.getSample(ch, i)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  juce::ScopedJuceInitialiser_GUI juce;
  const juce::String bundle = argc > 1 ? juce::String(argv[1]) : juce::String(OMBRIX_VST3_BUNDLE);
  juce::String error;
  auto loaded = ombrix::host::LoadVst3(bundle, 48000.0, 512, error);
  if (loaded.instance == nullptr) {
    std::fprintf(stderr, "ombrix_probe: %s\n", error.toRawUTF8());
    return 1;
  }
  auto& plugin = *loaded.instance;
  const auto& d = loaded.description;
  std::printf("Plug-in   %s by %s, version %s\n", d.name.toRawUTF8(), d.manufacturerName.toRawUTF8(), d.version.toRawUTF8());
  std::printf("Category  %s\n", d.category.toRawUTF8());
  std::printf("Bundle    %s\n\n", bundle.toRawUTF8());
  std::printf("Parameters (%d):\n", plugin.getParameters().size());
  for (auto* p : plugin.getParameters())
    std::printf("  %2d  %-16s default %s\n", p->getParameterIndex(), p->getName(64).toRawUTF8(),
                p->getText(p->getDefaultValue(), 64).toRawUTF8());

  bool ok = true;
  for (auto [name, set] : {std::pair{"mono", juce::AudioChannelSet::mono()},
                           std::pair{"stereo", juce::AudioChannelSet::stereo()},
                           std::pair{"5.1", juce::AudioChannelSet::create5point1()}}) {
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(set);
    layout.outputBuses.add(set);
    const bool accepted = plugin.checkBusesLayoutSupported(layout);
    std::printf("\nLayout %-6s %s", name, accepted ? "accepted" : "refused");
    if (accepted) {
      plugin.setBusesLayout(layout);
      plugin.prepareToPlay(48000.0, 512);
      const bool passes = PassesThrough(plugin, set.size());
      std::printf(", pass-through %s", passes ? "bit-exact" : "CHANGED THE AUDIO");
      ok = ok && passes;
      plugin.releaseResources();
    }
  }
  std::printf("\n");
  return ok ? 0 : 1;
}
