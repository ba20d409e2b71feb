#include "plugin/editor_callables.h"

#include <cmath>

#include "plugin/ombrix.h"
#include "library/typed_number.h"

namespace ombrix {
namespace {

void SetLoudnessTargetFromText(Ombrix& plugin, const std::string& text) {
  const auto typed = kestrune::controls::ParseTypedNumber(text, -1000.0, 1000.0, false);
  if (!typed) return;
  // A typed 14 means -14 LUFS; values snap to 0.5 LU, halves away from zero.
  const double value = std::clamp(std::round(-2.0 * std::abs(*typed)) / 2.0, -36.0, -6.0);
  OmbrixParameter& p = plugin.Parameter(kLoudnessTarget);
  p.beginChangeGesture();
  p.setValueNotifyingHost(static_cast<float>(ToNormalised(kLoudnessTarget, value)));
  p.SetReal(value);  // exactly, whatever float rounding did to the normalised value
  p.endChangeGesture();
}

}  // namespace

EditorCallables MakeEditorCallables(Ombrix& plugin) {
  EditorCallables c;
  Ombrix* p = &plugin;
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
  c.loudnessTargetFromText = [p](const std::string& text) { SetLoudnessTargetFromText(*p, text); };
  c.saveTargetAs = [p](const std::string& name) { p->SetPendingTargetName(name); };
  c.savePresetAs = [p](const std::string& name) { RequestPresetSave(p->Presets(), name); };
  c.loadPreset = [p](const std::string& name) { LoadPresetByName(p->Presets(), name); };
  c.deletePreset = [p](const std::string& name) { DeletePresetByName(p->Presets(), name); };
  c.startLearning = [p] { p->StartLearning(); };
  c.finishLearning = [p] { p->FinishLearning(); };
  c.cancelLearning = [p] { p->CancelLearning(); };
  c.learnFromReferenceFile = [p](const std::string& path) { p->StartReferenceAnalysis(path); };
  c.updateChecksEnabled = [p] { return p->UpdateChecksEnabled(); };
  c.toggleUpdateChecks = [p] {
    p->ToggleUpdateChecks();
    if (auto* editor = p->getActiveEditor()) editor->repaint();
  };
  return c;
}

}  // namespace ombrix
