// The saved state: what a host project or a preset stores, as one chunk.
#include <cmath>

#include "plugin/ombrix.h"
#include "library/plugin_state.h"
#include "library/factory_targets.h"

namespace ombrix {

std::vector<std::uint8_t> Ombrix::SerializeState() const {
  PluginState s;
  s.colourScheme = ColourScheme();
  // The logical size, without the screen's scale.
  if (const EditorHooks* hooks = OpenEditorHooks()) {
    s.editorWidth = static_cast<int>(kCanvasWidth * hooks->DrawScale());
    s.editorHeight = static_cast<int>(kCanvasHeight * hooks->DrawScale());
  } else {
    s.editorWidth = static_cast<int>(std::lround(editorWidth_ / screenScale_));
    s.editorHeight = static_cast<int>(std::lround(editorHeight_ / screenScale_));
  }
  s.presetName = PresetName();
  s.presetModified = PresetShownModified();
  for (int i = 0; i < kNumParams; ++i) s.params[static_cast<std::size_t>(i)] = ParamValue(i);
  s.hostBypass = HostBypassed();
  s.target = target_.Get();
  s.resolution = Resolution();
  s.loudnessView = LoudnessView();
  ByteChunk chunk;
  WriteState(s, chunk);
  return chunk.Bytes();
}

int Ombrix::UnserializeState(const std::uint8_t* data, int size, int pos) {
  const ByteChunk chunk(data, static_cast<std::size_t>(std::max(size, 0)));
  PluginState s;
  const StateReadResult r = ReadState(chunk, pos, s);

  AsRestore([&] {
    if (r.plainParameterList) {
      for (int i = 0; i < r.paramsRead; ++i) params_[static_cast<std::size_t>(i)]->SetReal(s.params[static_cast<std::size_t>(i)]);
      return;
    }
    SetColourScheme(s.colourScheme);
    stateEditorSize_.reset();
    if (r.editorSize) {
      stateEditorSize_ = EditorSize{r.editorSize->first, r.editorSize->second};
      if (OpenEditorHooks() == nullptr && r.editorSize->first > 0 && r.editorSize->second > 0) {
        int w = static_cast<int>(std::lround(r.editorSize->first * screenScale_));
        int h = static_cast<int>(std::lround(r.editorSize->second * screenScale_));
        ConstrainEditorResize(w, h, screenScale_);
        editorWidth_ = w;
        editorHeight_ = h;
      }
    }
    // Every parameter is first set to its default, then to what was read;
    // each store also runs the change hook as a recall.
    for (int i = 0; i < kNumParams; ++i) params_[static_cast<std::size_t>(i)]->SetReal(s.params[static_cast<std::size_t>(i)]);
    {
      std::lock_guard<std::mutex> lock(presetNameLock_);
      presetName_ = s.presetName;
      presetNamed_.store(!presetName_.empty());
    }
    savedModifiedMark_ = s.presetModified;
    presetSnapshot_.clear();
    presetModified_ = false;
    stateRestored_.store(true);
  });
  if (r.plainParameterList || r.position < 0) return r.position;

  target_.Set(s.target);
  SetResolution(s.resolution);
  loudnessView_.store(s.loudnessView);
  return r.position;
}

void Ombrix::getStateInformation(juce::MemoryBlock& destData) {
  const std::vector<std::uint8_t> bytes = SerializeState();
  destData.replaceAll(bytes.data(), bytes.size());
}

void Ombrix::setStateInformation(const void* data, int sizeInBytes) {
  // Whatever follows the position the reader returns is ignored.
  if (data == nullptr || sizeInBytes <= 0) return;
  UnserializeState(static_cast<const std::uint8_t*>(data), sizeInBytes, 0);
}

}  // namespace ombrix
