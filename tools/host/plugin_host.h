#pragma once
// Loading the built VST3 bundle through JUCE's own VST3 hosting, the way a
// host program does.
#include <memory>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

namespace ombrix::host {

struct LoadedPlugin {
  juce::PluginDescription description;
  std::unique_ptr<juce::AudioPluginInstance> instance;
};

// Scans the bundle and creates an instance at the given rate and block size.
// Returns an empty instance and sets error on failure.
LoadedPlugin LoadVst3(const juce::String& bundlePath, double sampleRate, int blockSize, juce::String& error);

// The plug-in's own component state (the bytes its VST3 component stores),
// taken out of and put into JUCE's host-side state wrapper.
juce::MemoryBlock GetComponentState(juce::AudioPluginInstance& plugin);
void SetComponentState(juce::AudioPluginInstance& plugin, const void* data, size_t size);

// The names of the programs in the plug-in's program lists, as VST3 hosts
// and validators read them through the component's unit information.
std::vector<juce::String> ProgramListNames(juce::AudioPluginInstance& plugin);

// The host-side parameter at a plug-in parameter index, or null.
juce::AudioProcessorParameter* ParameterAt(juce::AudioPluginInstance& plugin, int index);

}  // namespace ombrix::host
