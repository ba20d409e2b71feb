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

namespace {
constexpr const char* kHostStateTag = "VST3PluginState";
constexpr const char* kComponentTag = "IComponent";
}  // namespace

juce::MemoryBlock GetComponentState(juce::AudioPluginInstance& plugin) {
  juce::MemoryBlock wrapped, component;
  plugin.getStateInformation(wrapped);
  if (auto xml = juce::AudioProcessor::getXmlFromBinary(wrapped.getData(), static_cast<int>(wrapped.getSize())))
    if (auto* child = xml->getChildByName(kComponentTag)) component.fromBase64Encoding(child->getAllSubText());
  return component;
}

void SetComponentState(juce::AudioPluginInstance& plugin, const void* data, size_t size) {
  juce::XmlElement xml(kHostStateTag);
  xml.createNewChildElement(kComponentTag)->addTextElement(juce::MemoryBlock(data, size).toBase64Encoding());
  juce::MemoryBlock wrapped;
  juce::AudioProcessor::copyXmlToBinary(xml, wrapped);
  plugin.setStateInformation(wrapped.getData(), static_cast<int>(wrapped.getSize()));
}

juce::AudioProcessorParameter* ParameterAt(juce::AudioPluginInstance& plugin, int index) {
  const auto& params = plugin.getParameters();
  return index >= 0 && index < params.size() ? params[index] : nullptr;
}

}  // namespace ombrix::host
