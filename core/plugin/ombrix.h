#pragma once
// The plug-in: one object is both the audio processor and the edit controller.
#include <array>
#include <atomic>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/correction_settings.h"
#include "core/parameter_table.h"
#include "core/plugin/ombrix_parameter.h"

namespace ombrix {

// Where a parameter change came from. JUCE does not say, so the plug-in tracks
// restores itself; every other change counts as coming from the host or editor.
enum class ParamSource { Host, UI, PresetRecall, Reset };

class Ombrix : public juce::AudioProcessor {
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
  const juce::String getProgramName(int) override { return {}; }
  void changeProgramName(int, const juce::String&) override {}
  bool hasEditor() const override { return true; }
  juce::AudioProcessorEditor* createEditor() override;
  void getStateInformation(juce::MemoryBlock& destData) override;
  void setStateInformation(const void* data, int sizeInBytes) override;

 private:
  template <typename Sample>
  void ProcessBlock(juce::AudioBuffer<Sample>& buffer);

  // Runs fn with every parameter change on this thread attributed to a restore.
  template <typename Fn>
  void AsRestore(Fn&& fn);

  std::array<OmbrixParameter*, kNumParams> params_{};
  std::atomic<bool> freezeSeenOn_{false};
  std::atomic<bool> capturePending_{false};
  std::atomic<bool> capturing_{false};

  JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(Ombrix)
};

}  // namespace ombrix
