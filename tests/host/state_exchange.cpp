// The plug-in's state as a host keeps it in a project, written by one build
// and read by another (Linux and Windows): tests/windows/exchange_state.py
// runs it from both builds.
//
//   state_exchange save BUNDLE FILE   chooses a state through the host (a learned
//                                     target, edited parameters, a larger window),
//                                     writes what the host stores to FILE and
//                                     prints the plug-in's own state in Base64
//   state_exchange load BUNDLE FILE   restores FILE in a new instance and prints
//                                     each parameter's text, the target and the
//                                     plug-in's state in Base64
//
// Exit status 0, or 1 with a reason on stderr.
#include <cmath>
#include <cstdio>
#include <string>

#include "library/plugin_state.h"
#include "tools/host/plugin_host.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;

int Fail(const juce::String& reason) {
  std::fprintf(stderr, "state_exchange: %s\n", reason.toRawUTF8());
  return 1;
}

void PrintComponentState(juce::AudioPluginInstance& plugin) {
  std::printf("state %s\n", ombrix::host::GetComponentState(plugin).toBase64Encoding().toRawUTF8());
}

int Save(juce::AudioPluginInstance& plugin, const juce::File& file) {
  ombrix::PluginState state;
  state.target.kind = ombrix::TargetKind::Learned;
  state.target.name = "Ünïcødé mix";
  state.target.source = "mix.wav";
  for (std::size_t i = 0; i < ombrix::dsp::kGridPoints; ++i) {
    state.target.curve[i] = std::sin(0.1 * static_cast<double>(i)) * 3.0 - 0.01 * static_cast<double>(i);
    state.target.spread[i] = 0.5 + 0.001 * static_cast<double>(i);
  }
  state.colourScheme = 3;
  state.editorWidth = 960;
  state.editorHeight = 600;
  state.presetName = "Night drive";
  state.loudnessView = true;
  ombrix::ByteChunk chunk;
  ombrix::WriteState(state, chunk);
  ombrix::host::SetComponentState(plugin, chunk.Bytes().data(), chunk.Bytes().size());
  // Edits as automation from the host, on values no single-precision
  // rounding could reach by accident.
  const std::pair<int, float> edits[] = {{ombrix::kCorrect, 1.0f},       {ombrix::kLoudnessTarget, 0.3f},
                                         {ombrix::kLowCrossover, 0.37f}, {ombrix::kCorrectSpeed, 0.61f},
                                         {ombrix::kFreeze, 1.0f},        {ombrix::kFrozenParams[2], 0.123f}};
  for (const auto& [index, value] : edits) ombrix::host::ParameterAt(plugin, index)->setValueNotifyingHost(value);
  juce::MemoryBlock stored;
  plugin.getStateInformation(stored);
  if (!file.replaceWithData(stored.getData(), stored.getSize()))
    return Fail("could not write " + file.getFullPathName());
  PrintComponentState(plugin);
  return 0;
}

int Load(juce::AudioPluginInstance& plugin, const juce::File& file) {
  juce::MemoryBlock stored;
  if (!file.loadFileAsData(stored)) return Fail("could not read " + file.getFullPathName());
  plugin.setStateInformation(stored.getData(), static_cast<int>(stored.getSize()));
  for (int i = 0; i < ombrix::kNumParams; ++i) {
    juce::AudioProcessorParameter* p = ombrix::host::ParameterAt(plugin, i);
    std::printf("%s = %s\n", p->getName(64).toRawUTF8(), p->getText(p->getValue(), 64).toRawUTF8());
  }
  const juce::MemoryBlock own = ombrix::host::GetComponentState(plugin);
  ombrix::PluginState state;
  ombrix::ReadState(ombrix::ByteChunk(own.getData(), own.getSize()), 0, state);
  std::printf("target %s (%s), window %d x %d, colour scheme %d, preset %s\n", state.target.name.c_str(),
              state.target.source.c_str(), state.editorWidth, state.editorHeight, state.colourScheme,
              state.presetName.c_str());
  PrintComponentState(plugin);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[1]) != "save" && std::string(argv[1]) != "load")) {
    std::fprintf(stderr, "usage: state_exchange save|load BUNDLE FILE\n");
    return 2;
  }
  juce::ScopedJuceInitialiser_GUI juce;
  juce::String error;
  ombrix::host::LoadedPlugin loaded = ombrix::host::LoadVst3(juce::String::fromUTF8(argv[2]), kRate, kBlock, error);
  if (loaded.instance == nullptr) return Fail(error);
  const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(argv[3]));
  return std::string(argv[1]) == "save" ? Save(*loaded.instance, file) : Load(*loaded.instance, file);
}
