#include "tools/host/plugin_host.h"

#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstunits.h>

namespace ombrix::host {

namespace {

// On Windows the framework loads a VST3 from its module file only; a bundle
// folder (NAME.vst3/Contents/x86_64-win/NAME.vst3) names the file inside.
juce::String ModuleFileOf(const juce::String& bundlePath) {
#ifdef _WIN32
  const juce::File bundle(bundlePath);
  if (bundle.isDirectory()) {
    const juce::File inner =
        bundle.getChildFile("Contents").getChildFile("x86_64-win").getChildFile(bundle.getFileName());
    if (inner.existsAsFile()) return inner.getFullPathName();
  }
#endif
  return bundlePath;
}

}  // namespace

LoadedPlugin LoadVst3(const juce::String& bundlePath, double sampleRate, int blockSize, juce::String& error) {
  LoadedPlugin loaded;
  juce::VST3PluginFormat format;
  juce::OwnedArray<juce::PluginDescription> found;
  format.findAllTypesForFile(found, ModuleFileOf(bundlePath));
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

std::vector<juce::String> ProgramListNames(juce::AudioPluginInstance& plugin) {
  struct ComponentFinder : juce::ExtensionsVisitor {
    void visitVST3Client(const VST3Client& client) override { component = client.getIComponentPtr(); }
    void* component = nullptr;
  } finder;
  plugin.getExtensions(finder);
  std::vector<juce::String> names;
  auto* component = static_cast<Steinberg::Vst::IComponent*>(finder.component);
  if (component == nullptr) return names;
  Steinberg::Vst::IUnitInfo* units = nullptr;
  if (component->queryInterface(Steinberg::Vst::IUnitInfo_iid, reinterpret_cast<void**>(&units)) !=
          Steinberg::kResultOk ||
      units == nullptr)
    return names;
  for (Steinberg::int32 list = 0; list < units->getProgramListCount(); ++list) {
    Steinberg::Vst::ProgramListInfo info{};
    if (units->getProgramListInfo(list, info) != Steinberg::kResultOk) continue;
    for (Steinberg::int32 program = 0; program < info.programCount; ++program) {
      Steinberg::Vst::String128 name{};
      units->getProgramName(info.id, program, name);
      names.push_back(
          juce::String(juce::CharPointer_UTF16(reinterpret_cast<const juce::CharPointer_UTF16::CharType*>(name))));
    }
  }
  units->release();
  return names;
}

juce::AudioProcessorParameter* ParameterAt(juce::AudioPluginInstance& plugin, int index) {
  const auto& params = plugin.getParameters();
  return index >= 0 && index < params.size() ? params[index] : nullptr;
}

}  // namespace ombrix::host
