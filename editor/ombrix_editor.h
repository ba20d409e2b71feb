#pragma once
// The editor window: one 640 x 400 canvas drawn at a scale, holding the
// control tree the layout builds. The plug-in drives it through EditorHooks
// from its idle tick; the controls reach the plug-in only through the
// callables they were given. Everything here runs on the message thread.
#include <memory>
#include <optional>

#include <juce_audio_processors/juce_audio_processors.h>

#include "editor/dialog_boxes.h"
#include "editor/editor_controls.h"
#include "editor/look_and_feel.h"
#include "editor/pending_paint_flush.h"
#include "editor/text_entry.h"
#include "plugin/editor_callables.h"
#include "plugin/editor_hooks.h"

namespace tonal_panel {

class OmbrixEditor final : public juce::AudioProcessorEditor, public ombrix::EditorHooks {
 public:
  OmbrixEditor(juce::AudioProcessor& processor, ombrix::EditorCallables callables);
  ~OmbrixEditor() override;

  // ombrix::EditorHooks
  float ScreenScale() const override;
  float DrawScale() const override { return drawScale_; }
  void ResizeToDrawScale(float scale) override;
  void Rebuild() override;
  void ShowTitle(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void Tick(const ombrix::EditorTick& tick) override;
  void RefreshAll() override;
  void AskYesNo(const std::string& caption, const std::string& question, std::function<void(bool yes)> answered) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;

  // For tests and the screenshot tool.
  juce::Component& Canvas() { return canvas_; }
  const EditorControls& Controls() const { return *controls_; }
  TextEntry& Entry() { return *textEntry_; }
  DialogBoxes& Dialogs() { return *dialogs_; }
  // Replaces the reference-file dialog (tests script the user's choice).
  using FileChoice = std::function<void(std::function<void(const std::string& path)>)>;
  void SetFileChoiceForTesting(FileChoice choose) { fileChoiceForTesting_ = std::move(choose); }

  // juce::Component
  void paint(juce::Graphics& g) override;
  void resized() override;

  // How long after being shown an editor that opened at its smallest size
  // grows to its own (opensAtSmallestSize).
  static constexpr int kGrowthDelayMs = 150;

 private:
  class SizeRules;
  class Growth;
  ombrix::EditorTick TickNow() const;
  void ChooseReferenceFile(std::function<void(const std::string& path)> chosen);
  void SetDrawScale(float scale);
  void GrowToOpeningScale();

  ombrix::EditorCallables callables_;
  juce::SharedResourcePointer<EditorTypefaces> typefaces_;
  std::unique_ptr<OmbrixLookAndFeel> lookAndFeel_;
  juce::Component canvas_;
  std::unique_ptr<TextEntry> textEntry_;
  std::unique_ptr<DialogBoxes> dialogs_;
  std::unique_ptr<juce::FileChooser> fileChooser_;
  juce::TooltipWindow tooltips_{this, 800};  // inside the editor's own window
  FileChoice fileChoiceForTesting_;
  std::unique_ptr<SizeRules> sizeRules_;
  std::unique_ptr<EditorControls> controls_;
  float drawScale_ = 1.0f;
  std::optional<float> openingScale_;  // the scale to grow to after opening small
  std::unique_ptr<Growth> growth_;
  bool correctingShown_ = false;
  PendingPaintFlush pendingPaint_{*this};
};

}  // namespace tonal_panel
