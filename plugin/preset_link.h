#pragma once
// The preset library's view of the plug-in: its state, preset name and
// changed mark, the loudness view and the editor.
#include <cmath>
#include <optional>

#include "plugin/ombrix.h"

namespace ombrix {

class Ombrix::PresetLink final : public PresetHost {
 public:
  explicit PresetLink(Ombrix& owner) : owner_(owner) {}

  bool SerializeState(ByteChunk& chunk) override {
    const auto bytes = owner_.SerializeState();
    chunk.PutBytes(bytes.data(), bytes.size());
    return chunk.Size() > 0;
  }
  int UnserializeState(const ByteChunk& chunk, int startPos) override {
    return owner_.UnserializeState(chunk.Bytes().data(), chunk.Size(), startPos);
  }
  std::string PresetName() const override { return owner_.PresetName(); }
  void SetPresetName(const std::string& name) override {
    std::lock_guard<std::mutex> lock(owner_.presetNameLock_);
    owner_.presetName_ = name;
    owner_.presetNamed_.store(!name.empty());
  }
  bool PresetChanged() const override { return owner_.PresetShownModified(); }
  void SetPresetChanged(bool changed) override {
    if (changed) {
      owner_.presetModified_ = true;
      return;
    }
    owner_.presetModified_ = false;
    owner_.savedModifiedMark_ = false;
    owner_.presetSnapshot_.resize(kNumParams);
    for (int i = 0; i < kNumParams; ++i) owner_.presetSnapshot_[static_cast<std::size_t>(i)] = owner_.ParamValue(i);
  }
  bool LoudnessView() const override { return owner_.LoudnessView(); }
  void SetLoudnessView(bool integrated) override { owner_.loudnessView_.store(integrated); }
  void ReportParametersAsUserEdits() override {
    for (auto* p : owner_.params_) p->beginChangeGesture();
    for (auto* p : owner_.params_) p->sendValueChangedMessageToListeners(p->getValue());
    for (auto* p : owner_.params_) p->endChangeGesture();
  }
  void RefreshEditorAfterLoad() override {
    if (owner_.OpenEditorHooks() == nullptr) return;
    // A preset saved from a window of another size brings that size along.
    if (const std::optional<EditorSize> size = owner_.StateEditorSize(); size && size->width > 0) {
      const float scale = static_cast<float>(size->width) / kCanvasWidth;
      if (std::abs(scale - owner_.WindowScale()) > 0.01f) owner_.SetWindowScale(scale);
    }
    owner_.RefreshEditor();
  }
  void SetPendingPresetSave(const std::string& name) override { owner_.pendingPresetName_ = name; }
  EditorDialogs Dialogs() const override { return owner_.Dialogs(); }

 private:
  Ombrix& owner_;
};

}  // namespace ombrix
