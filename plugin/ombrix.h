#pragma once
// The plug-in: one object is both the audio processor and the edit controller.
#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/correction_filter.h"
#include "core/correction_settings.h"
#include "core/parameter_table.h"
#include "plugin/editor_hooks.h"
#include "plugin/editor_size.h"
#include "plugin/idle_ticker.h"
#include "plugin/ombrix_parameter.h"
#include "dsp/analysis_fifo.h"
#include "dsp/correction_engine.h"
#include "dsp/correction_worker.h"
#include "dsp/learn_accumulator.h"
#include "dsp/loudness_meter.h"
#include "dsp/loudness_reading.h"
#include "dsp/published_gains.h"
#include "dsp/reference_file.h"
#include "dsp/editor_snapshot.h"
#include "dsp/true_peak_meter.h"
#include "library/current_target.h"
#include "library/factory_targets.h"
#include "library/editor_dialogs.h"
#include "library/host_track_link.h"
#include "library/presets.h"
#include "library/update_check.h"
#include "library/service_worker.h"

namespace ombrix {

// Where a parameter change came from. JUCE does not say, so the plug-in tracks
// restores itself; every other change counts as coming from the host or editor.
enum class ParamSource { Host, UI, PresetRecall, Reset };

// The loudness readouts the audio thread publishes for the editor.
enum LoudnessReadout {
  kShortTerm,
  kTruePeak,
  kIntegrated,
  kIntegratedSeconds,
  kMaxTruePeak,
  kMomentary,
  kMaxMomentary,
  kLoudnessRange,
  kNumReadouts
};

class Ombrix : public juce::AudioProcessor, public juce::VST3ClientExtensions {
 public:
  Ombrix();
  ~Ombrix() override;

  // Parameter values, read whole and without locks from any thread.
  double ParamValue(int index) const { return params_[static_cast<std::size_t>(index)]->Real(); }
  bool ParamOn(int index) const { return IsOn(ParamValue(index)); }
  OmbrixParameter& Parameter(int index) { return *params_[static_cast<std::size_t>(index)]; }
  CorrectionSettings GetCorrectionSettings() const;

  // Freeze state fed by OnParamChange.
  bool FreezeSeenOn() const { return freezeSeenOn_.load(); }
  bool CapturePending() const { return capturePending_.load(); }
  bool FrozenValuesApply() const { return ParamOn(kFreeze) && freezeSeenOn_.load() && !capturePending_.load(); }
  void OnParamChange(int index, ParamSource source);
  // Asks the correction worker for a pass (a state it reads has changed).
  void WakeWorker() const {
    if (worker_) worker_->Wake();
  }

  // What the audio path publishes and shares.
  float Readout(LoudnessReadout r) const { return readouts_[r].load(std::memory_order_relaxed); }
  void RequestMeterReset() { resetMetersRequest_.store(true); }
  dsp::LoudnessReading LoudnessReadingNow() const;
  const dsp::PublishedGains& Published() const { return published_; }
  dsp::PublishedGains& Published() { return published_; }
  CurrentTarget& Target() { return target_; }
  const std::vector<TargetCurve>& FactoryTargetList() const { return factoryTargets_; }
  double RememberedSampleRate() const { return rememberedSampleRate_.load(); }
  bool RenderingOffline() const { return renderingOffline_.load(std::memory_order_relaxed); }
  dsp::AnalysisFifo& DisplayInputFifo() { return displayInput_; }
  dsp::AnalysisFifo& DisplayOutputFifo() { return displayOutput_; }
  dsp::AnalysisFifo& WorkerFifo() { return workerFifo_; }
  void SetEditorOpen(bool open) { editorOpen_.store(open); }

  // Idle loop and editor exchange (message thread).
  void OnIdle();
  void CaptureFrozenValues();
  void OnUIOpen();
  void OnUIClose();
  const dsp::SpectrumSnapshot& Snapshot() const { return snapshot_; }
  int ColourScheme() const { return colourScheme_.load(); }
  void SetColourScheme(int scheme);
  int Resolution() const { return resolution_.load(); }
  void SetResolution(int index) { resolution_.store(std::clamp(index, 0, 2)); }
  bool LoudnessView() const { return loudnessView_.load(); }
  void ToggleLoudnessView(bool alsoResetMeters);
  std::string PresetName() const;
  bool PresetShownModified() const { return presetModified_ || savedModifiedMark_; }
  void SetPendingTargetName(std::string name) { pendingTargetName_ = std::move(name); }
  bool HostBypassed() const { return ParamOn(kBypass); }

  // Targets: learning from the input or a reference file, saving, deleting.
  void StartLearning();
  void FinishLearning();
  void CancelLearning();
  bool Learning() const { return learning_; }
  double LearnedSeconds() const { return learner_.TotalSeconds(); }
  bool StartReferenceAnalysis(const std::string& utf8Path);
  bool AnalysingReferenceFile() const { return referenceWorker_.Analysing(); }
  void SelectTarget(TargetChoice choice) { target_.Set(std::move(choice)); }
  void SelectFactoryTarget(const std::string& name);
  void DeleteCurrentTarget();

  // Presets and the update check.
  PresetHost& Presets();
  PresetLibraryCallbacks PresetCallbacks() { return MakePresetLibraryCallbacks(Presets()); }
  bool UpdateChecksEnabled() const { return updateCheck_->IsEnabled(); }
  void ToggleUpdateChecks() { updateCheck_->SetEnabled(!updateCheck_->IsEnabled()); }
  const kestrune::updates::UpdateCheck& Updates() const { return *updateCheck_; }

  // The editor's window. Sizes are the host's pixels (logical pixels times
  // the screen scale), as the host and the size rules see them.
  EditorHooks* OpenEditorHooks() const;
  void RefreshEditor() const;
  float ScreenScale() const { return screenScale_; }
  // The host never shrinks a window below the size it opened at.
  bool HostKeepsOpeningSize() const { return ardourBasedHost_; }
  // The draw scale a newly opened editor starts at.
  float InitialDrawScale() const;
  // A host-driven resize of the open editor to w x h: remembered as the size.
  void RememberEditorSize(int w, int h, float screenScale);
  // The editor size the last restored state or preset carried, logical.
  std::optional<EditorSize> StateEditorSize() const { return stateEditorSize_; }
  float WindowScale() const;
  void SetWindowScale(float scale);

  // The open editor's dialogs; with no editor, questions answer No and
  // messages are dropped.
  EditorDialogs Dialogs() const;
  // Tests and tools that drive the plug-in without a window set their own.
  void SetDialogsForTesting(EditorDialogs dialogs) { testDialogs_ = std::move(dialogs); }

  // Silent blocks take the short way (for tests: off, every zero is
  // processed); how often the correction or the meters took it.
  void SetSilenceShortcutsForTesting(bool on) { silenceShortcuts_ = on; }
  std::uint64_t SilentBlocksShortened() const { return silentBlocksShortened_; }

  // The saved state, as hosts and presets store it.
  std::vector<std::uint8_t> SerializeState() const;
  // Restores from pos; returns the position after the last field read, or -1
  // when the parameter values were cut short.
  int UnserializeState(const std::uint8_t* data, int size, int pos);

  // juce::AudioProcessor
  const juce::String getName() const override { return "Ombrix"; }
  void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
  void releaseResources() override {}
  bool isBusesLayoutSupported(const BusesLayout& layouts) const override;
  bool supportsDoublePrecisionProcessing() const override { return true; }
  void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) override;
  void processBlock(juce::AudioBuffer<double>& buffer, juce::MidiBuffer&) override;
  juce::AudioProcessorParameter* getBypassParameter() const override;
  double getTailLengthSeconds() const override { return 0.0; }
  bool acceptsMidi() const override { return false; }
  bool producesMidi() const override { return false; }
  bool isMidiEffect() const override { return false; }
  int getNumPrograms() override { return 1; }
  int getCurrentProgram() override { return 0; }
  void setCurrentProgram(int) override {}
  // The loaded preset's name, or "Default" when none is loaded.
  const juce::String getProgramName(int) override;
  void changeProgramName(int, const juce::String&) override {}
  bool hasEditor() const override { return true; }
  juce::AudioProcessorEditor* createEditor() override;
  void getStateInformation(juce::MemoryBlock& destData) override;
  void setStateInformation(const void* data, int sizeInBytes) override;
  void updateTrackProperties(const TrackProperties& properties) override;

  // juce::VST3ClientExtensions: the host context, for REAPER's track functions.
  void setIHostApplication(Steinberg::FUnknown* host) override { trackLink_.Bind(host); }

  const std::string& TitleText() const { return titleText_; }
  RgbColour DawAccent() const;
  const std::string& StatusText() const { return statusText_; }
  int LastTrackColourKey() const { return lastTrackColourKey_; }

 private:
  template <typename Sample>
  void ProcessBlock(juce::AudioBuffer<Sample>& buffer);
  template <typename Sample>
  void ComputeOfflineGains(Sample* const* channels, int channelCount, int frames);
  template <typename Sample>
  void ApplyCorrection(Sample* const* channels, int channelCount, int frames, bool silent);
  // One sample's step of the correction's cross-fade towards goal (0 or 1).
  void StepRamp(double goal);
  template <typename Sample>
  void RunMeters(const Sample* const* channels, int channelCount, int frames, bool silent);
  void UpdateFreezeState(int index, ParamSource source);
  void ConsumeMeterResetRequest();
  // The integrated loudness advances only while the host's transport plays.
  bool TransportAllowsIntegration() const;
  void OnReset(double sampleRate);
  void ResetReadouts();
  void TrackPresetModified();
  void BuildEditorSnapshot();
  void SavePendingNames();
  void TakeReferenceResult();

  // Runs fn with every parameter change on this thread attributed to a restore.
  void AsRestore(const std::function<void()>& fn);

  // Ardour's engine keeps feeding a VST3 the channel counts it had when it was
  // created, whatever layout it asked for; JUCE's wrapper refuses such buses
  // and would silence the track, so the plug-in keeps its stereo layout there.
  const bool ardourBasedHost_;
  const bool keepsStereoLayout_;

  std::array<OmbrixParameter*, kNumParams> params_{};
  std::atomic<bool> freezeSeenOn_{false};
  std::atomic<bool> capturing_{false};

  // What every idle tick of every instance reads, editor or not, side by
  // side: a session of many instances then ticks through a few cache lines
  // of each rather than through its whole object.
  alignas(64) std::atomic<bool> capturePending_{false};
  std::atomic<bool> editorExists_{false};  // from createEditor until the editor closes
  std::atomic<bool> themeChanged_{false};
  std::atomic<bool> presetNamed_{false};  // presetName_ is not empty
  std::atomic<bool> stateRestored_{false};
  bool presetModified_ = false;
  bool channelContextChanged_ = true;  // the title has not been made from it yet
  std::atomic<int> colourScheme_{5};
  int lastTrackColourKey_ = -1;
  std::optional<std::string> pendingPresetName_;
  std::optional<std::string> pendingTargetName_;
  HostTrackLink trackLink_;

  // Audio path.
  dsp::LoudnessMeter loudness_;
  dsp::TruePeakMeter truePeak_;
  double currentSampleRate_ = 48000.0;
  std::atomic<double> rememberedSampleRate_{48000.0};
  std::atomic<bool> editorOpen_{false};
  std::array<std::atomic<float>, kNumReadouts> readouts_{};
  std::atomic<bool> resetMetersRequest_{false};
  dsp::AnalysisFifo displayInput_;
  dsp::AnalysisFifo displayOutput_;
  dsp::AnalysisFifo workerFifo_;
  CorrectionFilter filter_;
  double rampStep_ = 1.0 / 960.0;
  double rampPosition_ = 0.0;
  bool correcting_ = false;
  bool filterActive_ = false;
  dsp::PublishedGains published_;
  std::unique_ptr<dsp::CorrectionEngine> offlineEngine_;
  dsp::GridCurve offlineTargetLevels_{};
  bool offlinePrimed_ = false;
  bool offlineFromFrozen_ = false;
  std::atomic<bool> renderingOffline_{false};
  bool silenceShortcuts_ = true;
  std::uint64_t silentBlocksShortened_ = 0;  // audio thread; read by tests

  // Targets.
  std::vector<TargetCurve> factoryTargets_;
  CurrentTarget target_;

  // Editor exchange and saved settings (message thread unless atomic).
  dsp::SpectrumSnapshot snapshot_;
  std::atomic<int> resolution_{2};
  std::atomic<bool> loudnessView_{false};
  float screenScale_ = 1.0f;
  int editorWidth_ = kCanvasWidth;  // the host's pixels (logical times the screen scale)
  int editorHeight_ = kCanvasHeight;
  std::optional<EditorSize> stateEditorSize_;
  mutable std::mutex presetNameLock_;
  std::string presetName_;
  bool savedModifiedMark_ = false;
  std::vector<double> presetSnapshot_;
  std::string titleText_;
  std::string statusText_;
  dsp::LearnAccumulator learner_;
  bool learning_ = false;
  dsp::ReferenceFileWorker referenceWorker_;
  std::optional<EditorDialogs> testDialogs_;
  class PresetLink;
  std::unique_ptr<PresetLink> presetLink_;
  std::shared_ptr<kestrune::updates::UpdateCheck> updateCheck_;
  std::unique_ptr<kestrune::updates::ServiceWorker> serviceWorker_;
  ChannelContextInfo channelContext_;  // from the VST3 channel context
  juce::SharedResourcePointer<IdleTicker> idleTicker_;  // runs OnIdle every 20 ms

  // The correction worker reads the plug-in through this link; declared
  // last so the thread stops before anything it reads goes away.
  class WorkerLink;
  std::unique_ptr<WorkerLink> workerLink_;
  std::unique_ptr<dsp::CorrectionWorker> worker_;

  JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(Ombrix)
};

}  // namespace ombrix
