#include "plugin/editor_callables.h"

#include <cmath>

#include "library/factory_targets.h"
#include "library/host_track_link.h"
#include "library/target_library.h"
#include "plugin/ombrix.h"
#include "library/typed_number.h"

namespace ombrix {
namespace {

ParameterCallables MakeParameterCallables(Ombrix& plugin) {
  Ombrix* p = &plugin;
  ParameterCallables c;
  c.value = [p](int index) { return p->ParamValue(index); };
  c.beginGesture = [p](int index) { p->Parameter(index).beginChangeGesture(); };
  c.setDuringGesture = [p](int index, double value) {
    OmbrixParameter& parameter = p->Parameter(index);
    parameter.setValueNotifyingHost(static_cast<float>(ToNormalised(index, value)));
    parameter.SetReal(value);  // exactly, whatever float rounding did to the normalised value
  };
  c.endGesture = [p](int index) { p->Parameter(index).endChangeGesture(); };
  return c;
}

}  // namespace

void SetLoudnessTargetFromText(const ParameterCallables& parameters, const std::string& text) {
  const auto typed = kestrune::controls::ParseTypedNumber(text, -1000.0, 1000.0, false);
  if (!typed) return;
  // A typed 14 means -14 LUFS; values snap to 0.5 LU, halves away from zero.
  const double value = std::clamp(std::round(-2.0 * std::abs(*typed)) / 2.0, -36.0, -6.0);
  SetAsGesture(parameters, kLoudnessTarget, value);
}

void SetAsGesture(const ParameterCallables& parameters, int index, double value) {
  parameters.beginGesture(index);
  parameters.setDuringGesture(index, value);
  parameters.endGesture(index);
}

EditorCallables MakeEditorCallables(Ombrix& plugin) {
  EditorCallables c;
  Ombrix* p = &plugin;
  c.parameters = MakeParameterCallables(plugin);
  // The chip asks on every tick: the whole record (two curves) is copied only
  // when the target changed.
  c.currentTarget = [p, cached = std::make_shared<std::pair<std::uint64_t, TargetSummary>>(~0ULL, TargetSummary{})] {
    const std::uint64_t revision = p->Target().Revision();
    if (revision != cached->first) {
      const TargetChoice choice = p->Target().Get();
      *cached = {revision, TargetSummary{choice.kind, choice.name, choice.source}};
    }
    return cached->second;
  };
  c.factoryTargetNames = [p] {
    std::vector<std::string> names;
    for (const TargetCurve& t : p->FactoryTargetList()) names.push_back(t.name);
    return names;
  };
  c.selectBalancedTarget = [p] { p->SelectTarget(BalancedTarget()); };
  c.selectFactoryTarget = [p](const std::string& name) { p->SelectFactoryTarget(name); };
  c.userTargets = [] { return ListUserTargets(); };
  c.selectUserTarget = [p](const TargetCurve& target) { p->SelectTarget(UserChoice(target)); };
  c.deleteCurrentTarget = [p] { p->DeleteCurrentTarget(); };
  c.learning = [p] { return p->Learning(); };
  c.learnedSeconds = [p] { return p->LearnedSeconds(); };
  c.analysingReferenceFile = [p] { return p->AnalysingReferenceFile(); };
  c.appliedGains = [p]() -> const CorrectionGains& { return p->Snapshot().AppliedGains(); };
  c.titleText = [p] { return TitleControlText(p->TitleText()); };
  c.windowScale = [p] { return p->WindowScale(); };
  c.setWindowScale = [p](float scale) { p->SetWindowScale(scale); };
  c.initialDrawScale = [p] { return p->InitialDrawScale(); };
  c.opensAtSmallestSize = p->HostKeepsOpeningSize();
  c.editorClosing = [p] { p->OnUIClose(); };
  c.rememberEditorSize = [p](int w, int h, float q) { p->RememberEditorSize(w, h, q); };
  c.dawAccent = [p] { return p->DawAccent(); };
  c.spectrumSnapshot = [p]() -> const dsp::SpectrumView& { return p->Snapshot().View(); };
  c.readouts = [p] { return p->Snapshot().CurrentReadouts(); };
  c.loudnessReading = [p] { return p->LoudnessReadingNow(); };
  c.bandGainCaption = [](const CorrectionGains& gains, std::size_t band) { return gains.at(band); };
  c.tiltCaption = [p](const CorrectionGains& gains) { return TiltSlope(gains[kTiltGain], p->RememberedSampleRate()); };
  c.correcting = [p] { return p->Snapshot().View().correcting; };
  c.presetModified = [p] { return p->PresetShownModified(); };
  c.presetName = [p] { return p->PresetName(); };
  c.presetNames = [p] { return p->PresetCallbacks().listNames(); };
  c.colourScheme = [p] { return p->ColourScheme(); };
  c.setColourScheme = [p](int scheme) { p->SetColourScheme(scheme); };
  c.resolution = [p] { return p->Resolution(); };
  c.setResolution = [p](int index) { p->SetResolution(index); };
  c.toggleLoudnessView = [p] { p->ToggleLoudnessView(false); };
  c.toggleLoudnessViewAndResetMeters = [p] { p->ToggleLoudnessView(true); };
  c.loudnessTargetFromText = [parameters = c.parameters](const std::string& text) {
    SetLoudnessTargetFromText(parameters, text);
  };
  c.saveTargetAs = [p](const std::string& name) { p->SetPendingTargetName(name); };
  c.savePresetAs = [p](const std::string& name) { RequestPresetSave(p->Presets(), name); };
  c.loadPreset = [p](const std::string& name, int occurrence) { LoadPresetByName(p->Presets(), name, occurrence); };
  c.deletePreset = [p](const std::string& name, int occurrence) {
    DeletePresetByName(p->Presets(), name, occurrence);
  };
  c.startLearning = [p] { p->StartLearning(); };
  c.finishLearning = [p] { p->FinishLearning(); };
  c.cancelLearning = [p] { p->CancelLearning(); };
  c.learnFromReferenceFile = [p](const std::string& path) { p->StartReferenceAnalysis(path); };
  c.updateChecksEnabled = [p] { return p->UpdateChecksEnabled(); };
  c.updateState = [p] { return p->Updates().State(); };
  c.openUrl = [](const std::string& address) { juce::URL(juce::String::fromUTF8(address.c_str())).launchInDefaultBrowser(); };
  c.toggleUpdateChecks = [p] {
    p->ToggleUpdateChecks();
    p->RefreshEditor();
  };
  return c;
}

}  // namespace ombrix
