// The 20 ms idle tick on the message thread, with or without an editor: the
// freeze capture, theme and title tracking, pending saves, preset-modified
// tracking and the editor's snapshot. A host may run many instances, each
// ticking 50 times a second with no editor open, so the steps that run
// without one make no strings and copy nothing unless something changed.
#include <cmath>
#include <utility>

#include "plugin/ombrix.h"

namespace ombrix {

void Ombrix::CaptureFrozenValues() {
  if (!capturePending_.load()) return;
  const CorrectionGains applied = published_.AppliedCopy();
  const CorrectionSettings settings = GetCorrectionSettings();
  std::array<double, kGainCount> frozen{};
  for (std::size_t k = 0; k < kGainCount; ++k)
    frozen[k] = settings.amount[k] > 0.0 ? std::clamp(applied[k] / settings.amount[k], -24.0, 24.0) : 0.0;

  capturing_.store(true);
  for (std::size_t k = 0; k < kGainCount; ++k) {
    OmbrixParameter& p = Parameter(kFrozenParams[k]);
    p.beginChangeGesture();
    p.SetReal(frozen[k]);
    p.sendValueChangedMessageToListeners(p.getValue());
    p.endChangeGesture();
  }
  RefreshEditor();
  capturing_.store(false);
  capturePending_.store(false);  // last: the frozen parameters already hold their values
  WakeWorker();                  // the frozen gains may be published now
}

dsp::LoudnessReading Ombrix::LoudnessReadingNow() const {
  dsp::LoudnessReading r;
  r.shortTerm = Readout(kShortTerm);
  r.target = ParamValue(kLoudnessTarget);
  r.truePeakRecent = Readout(kTruePeak);
  r.integrated = Readout(kIntegrated);
  r.integratedSeconds = Readout(kIntegratedSeconds);
  r.truePeakSinceReset = Readout(kMaxTruePeak);
  r.integratedMode = LoudnessView();
  r.momentary = Readout(kMomentary);
  r.maxMomentary = Readout(kMaxMomentary);
  r.loudnessRange = Readout(kLoudnessRange);
  return r;
}

void Ombrix::SetColourScheme(int scheme) {
  if (scheme < 0 || scheme > 5) scheme = 0;
  if (colourScheme_.exchange(scheme) != scheme) themeChanged_.store(true);
}

void Ombrix::ToggleLoudnessView(bool alsoResetMeters) {
  loudnessView_.store(!loudnessView_.load());
  if (alsoResetMeters) RequestMeterReset();
}

std::string Ombrix::PresetName() const {
  std::lock_guard<std::mutex> lock(presetNameLock_);
  return presetName_;
}

void Ombrix::OnUIOpen() {
  // The analysers carry on from where they stood when the editor closed (a
  // new sample rate restarts them); only stale audio is dropped.
  displayInput_.Discard();
  statusText_.clear();
  SetEditorOpen(true);
}

void Ombrix::OnUIClose() {
  CancelLearning();
  SetEditorOpen(false);
  editorExists_.store(false);
}

void Ombrix::updateTrackProperties(const TrackProperties& properties) {
  channelContext_.name = properties.name.toStdString();
  channelContext_.colour = properties.colour.getARGB();  // a transparent colour means none
  channelContextChanged_ = true;
}

void Ombrix::TrackPresetModified() {
  if (stateRestored_.load() && stateRestored_.exchange(false)) {
    presetSnapshot_.resize(kNumParams);
    for (int i = 0; i < kNumParams; ++i) presetSnapshot_[static_cast<std::size_t>(i)] = ParamValue(i);
    presetModified_ = savedModifiedMark_;
    savedModifiedMark_ = false;
    return;
  }
  if (presetModified_) return;
  // Runs every tick of every instance, editor or not: no lock, no copy.
  if (!presetNamed_.load()) return;
  if (presetSnapshot_.size() != static_cast<std::size_t>(kNumParams)) return;
  for (int i = 0; i < kNumParams; ++i) {
    const double a = ParamValue(i), b = presetSnapshot_[static_cast<std::size_t>(i)];
    if (std::abs(a - b) > std::max(std::abs(a), 1.0) * 1e-6) {
      presetModified_ = true;
      RefreshEditor();
      return;
    }
  }
}

void Ombrix::BuildEditorSnapshot() {
  dsp::SnapshotInputs in;
  in.sampleRate = RememberedSampleRate();
  in.target = &target_;
  in.resolution = Resolution();
  in.lowCrossover = ParamValue(kLowCrossover);
  in.midCrossover = ParamValue(kMidCrossover);
  in.highCrossover = ParamValue(kHighCrossover);
  in.correct = ParamOn(kCorrect);
  in.bypass = HostBypassed();  // the host's bypass is the "Bypass" parameter
  in.freeze = ParamOn(kFreeze);
  in.inputFifo = &displayInput_;
  in.outputFifo = &displayOutput_;
  in.appliedGains = published_.Applied();
  in.bandSlewWeights = published_.BandSlewWeights();
  if (in.bypass)
    snapshot_.UpdateTargetSnapshot(in);
  else
    snapshot_.BuildSpectrumSnapshot(in);
}

void Ombrix::OnIdle() {
  CaptureFrozenValues();
  EditorHooks* editor = OpenEditorHooks();
  if (editor != nullptr) screenScale_ = editor->ScreenScale();
  if (ColourScheme() == 5) {
    const int key = TrackColourKey(trackLink_, channelContext_);
    if (key != lastTrackColourKey_) {
      lastTrackColourKey_ = key;
      themeChanged_.store(true);
    }
  }
  // A change with no editor open is consumed: an editor that opens later is
  // built with the theme as it then stands.
  if (themeChanged_.load() && themeChanged_.exchange(false) && editor != nullptr) {
    editor->Rebuild();
    statusText_.clear();  // the new status line needs its text again
  }
  // REAPER's track functions are asked afresh every tick; without them the
  // title comes from the channel context alone and is made again only when
  // that changed, not built as a new string every tick.
  if (trackLink_.IsBound() || (channelContextChanged_ && std::exchange(channelContextChanged_, false))) {
    const std::string title = TrackTitle(trackLink_, channelContext_);
    if (title != titleText_) {
      titleText_ = title;
      if (editor != nullptr) editor->ShowTitle(TitleControlText(title));
    }
  }
  SavePendingNames();
  TakeReferenceResult();
  TrackPresetModified();
  editor = OpenEditorHooks();  // a dialog's answer may have closed it
  if (editor != nullptr) {
    EditorTick tick;
    tick.correct = ParamOn(kCorrect);
    tick.freeze = ParamOn(kFreeze);
    tick.bypassed = HostBypassed();
    BuildEditorSnapshot();
    editor->Tick(tick);
    const std::string status =
        "Ombrix " OMBRIX_VERSION " \xC2\xB7 " + std::to_string(getLatencySamples()) + " samples latency";
    if (status != statusText_) {
      statusText_ = status;
      editor->ShowStatus(status);
    }
  }
}

}  // namespace ombrix
