#include "tools/host/plugin_host.h"

namespace ombrix::host {

LoadedPlugin LoadVst3(const juce::String& bundlePath, double sampleRate, int blockSize, juce::String& error) {
  LoadedPlugin loaded;
  juce::VST3PluginFormat format;
  juce::OwnedArray<juce::PluginDescription> found;
  format.findAllTypesForFile(found, bundlePath);
  if (found.isEmpty()) {
    error = "no VST3 plug-in found in " + bundlePath;
    return loaded;
  }
  loaded.description = *found[0];
  loaded.instance = format.createInstanceFromDescription(loaded.description, sampleRate, blockSize, error);
  return loaded;
}

juce::AudioProcessorParameter* ParameterAt(juce::AudioPluginInstance& plugin, int index) {
  const auto& params = plugin.getParameters();
  return index >= 0 && index < params.size() ? params[index] : nullptr;
}

}  // namespace ombrix::host
