// What the editor's target and preset menus set in motion: learning from the
// input or a reference file, saving and deleting targets, the preset library
// and the dialogs those need.
#include <filesystem>

#include "plugin/ombrix.h"
#include "plugin/preset_link.h"
#include "library/file_helpers.h"
#include "library/target_library.h"

namespace ombrix {
namespace {

constexpr double kLearnMinimumSeconds = 15.0;

std::string Utf8(const std::u8string& text) { return std::string(text.begin(), text.end()); }

}  // namespace

PresetHost& Ombrix::Presets() {
  if (!presetLink_) presetLink_ = std::make_unique<PresetLink>(*this);
  return *presetLink_;
}

EditorDialogs Ombrix::Dialogs() const {
  if (testDialogs_) return *testDialogs_;
  if (OpenEditorHooks() == nullptr) return {};
  // The boxes go to whichever editor is open when they are shown.
  EditorDialogs dialogs;
  dialogs.askYesNo = [this](const std::string& caption, const std::string& question, EditorDialogs::Answer answered) {
    if (EditorHooks* editor = OpenEditorHooks())
      editor->AskYesNo(caption, question, std::move(answered));
    else if (answered)
      answered(false);
  };
  dialogs.showMessage = [this](const std::string& caption, const std::string& text) {
    if (EditorHooks* editor = OpenEditorHooks()) editor->ShowMessage(caption, text);
  };
  return dialogs;
}

void Ombrix::StartLearning() {
  if (learning_ || AnalysingReferenceFile()) return;
  learner_.Clear();
  learning_ = true;
  snapshot_.InputAnalyser().SetFrameObserver(learner_.Observer());
}

void Ombrix::SelectFactoryTarget(const std::string& name) {
  for (const TargetCurve& t : factoryTargets_) {
    if (t.name != name) continue;
    target_.Set(FactoryChoice(t));
    return;
  }
}

void Ombrix::CancelLearning() {
  if (!learning_) return;
  snapshot_.InputAnalyser().SetFrameObserver({});
  learning_ = false;
  RefreshEditor();
}

void Ombrix::FinishLearning() {
  if (!learning_) return;
  dsp::LearnedCurve curve;
  std::string error;
  if (!learner_.Finish(kLearnMinimumSeconds, curve, error)) {
    Dialogs().Show("Learn from input",
                   "Not finished yet: " + error + ". Learning goes on; finish again later, or cancel.");
    return;
  }
  snapshot_.InputAnalyser().SetFrameObserver({});
  learning_ = false;
  TargetChoice learned;
  learned.kind = TargetKind::Learned;
  learned.name = "Learned from input";
  learned.curve = curve.levels;
  learned.spread = curve.spread;
  target_.Set(std::move(learned));
}

bool Ombrix::StartReferenceAnalysis(const std::string& utf8Path) {
  if (utf8Path.empty() || learning_ || AnalysingReferenceFile()) return false;
  return referenceWorker_.Start(utf8Path);
}

void Ombrix::TakeReferenceResult() {
  auto result = referenceWorker_.TakeResult();
  if (!result) return;
  if (!result->ok) {
    Dialogs().Show("Learn from reference file", "Could not learn from the file: " + result->error + ".");
    return;
  }
  const std::filesystem::path name = PathFromUtf8(result->name);
  TargetChoice learned;
  learned.kind = TargetKind::Learned;
  learned.name = Utf8(name.stem().u8string());
  learned.source = Utf8(name.filename().u8string());
  learned.curve = result->curve.levels;
  learned.spread = result->curve.spread;
  target_.Set(std::move(learned));
}

void Ombrix::SavePendingNames() {
  if (pendingPresetName_) {
    const std::string name = std::move(*pendingPresetName_);
    pendingPresetName_.reset();
    SavePreset(Presets(), name, true);
  }
  if (pendingTargetName_) {
    const std::string name = std::move(*pendingTargetName_);
    pendingTargetName_.reset();
    const EditorDialogs dialogs = Dialogs();
    ConfirmTargetReplace confirm;
    if (dialogs.askYesNo)
      confirm = [dialogs](const std::string& n, TargetAnswer answer) {
        dialogs.Ask("Save target", "A target named \xE2\x80\x9C" + n + "\xE2\x80\x9D already exists. Replace it?",
                    std::move(answer));
      };
    SaveUserTarget(name, target_, confirm, [dialogs](const TargetSaveResult& result) {
      if (result.outcome == TargetSaveOutcome::ReservedName)
        dialogs.Show("Save target", "\xE2\x80\x9C" "Balanced\xE2\x80\x9D is the built-in target. Choose another name.");
      else if (result.outcome == TargetSaveOutcome::Failed)
        dialogs.Show("Save target", "Could not save the target: " + result.reason);
    });
  }
}

void Ombrix::DeleteCurrentTarget() {
  const EditorDialogs dialogs = Dialogs();
  ConfirmTargetDelete confirm;
  if (dialogs.askYesNo)
    confirm = [dialogs](const std::string& name, TargetAnswer answer) {
      dialogs.Ask("Delete target", "Delete the saved target \xE2\x80\x9C" + name + "\xE2\x80\x9D? This cannot be undone.",
                  std::move(answer));
    };
  DeleteUserTarget(target_, confirm, [this, dialogs](const TargetDeleteResult& result) {
    if (result.outcome == TargetDeleteOutcome::Failed)
      dialogs.Show("Delete target", "Could not delete the target: " + result.reason);
    RefreshEditor();
  });
}

}  // namespace ombrix
