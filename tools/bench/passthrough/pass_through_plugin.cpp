// A plug-in that does nothing but pass its audio through, with one parameter
// ("Bypass", the host's bypass), built with the same JUCE modules and flags as
// Ombrix. bench_instances loads it beside Ombrix: what it costs is the floor
// of hosting a JUCE VST3 at all, so Ombrix's own cost is what lies above it.
// No threads, no timers, no allocation while processing.
#include <juce_audio_processors/juce_audio_processors.h>

namespace {

class PassThrough final : public juce::AudioProcessor {
 public:
  PassThrough()
      : juce::AudioProcessor(BusesProperties()
                                 .withInput("Input", juce::AudioChannelSet::stereo(), true)
                                 .withOutput("Output", juce::AudioChannelSet::stereo(), true)) {
    auto bypass = std::make_unique<juce::AudioParameterBool>(juce::ParameterID{"bypass", 1}, "Bypass", false);
    bypass_ = bypass.get();
    addParameter(bypass.release());
  }

  const juce::String getName() const override { return JucePlugin_Name; }
  void prepareToPlay(double, int) override {}
  void releaseResources() override {}
  bool isBusesLayoutSupported(const BusesLayout& layouts) const override {
    const auto out = layouts.getMainOutputChannelSet();
    return layouts.getMainInputChannelSet() == out &&
           (out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo());
  }
  // The output buffers already hold the input: passing it through is doing nothing.
  void processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
  juce::AudioProcessorParameter* getBypassParameter() const override { return bypass_; }
  double getTailLengthSeconds() const override { return 0.0; }
  bool acceptsMidi() const override { return false; }
  bool producesMidi() const override { return false; }
  bool hasEditor() const override { return false; }
  juce::AudioProcessorEditor* createEditor() override { return nullptr; }
  int getNumPrograms() override { return 1; }
  int getCurrentProgram() override { return 0; }
  void setCurrentProgram(int) override {}
  const juce::String getProgramName(int) override { return {}; }
  void changeProgramName(int, const juce::String&) override {}
  void getStateInformation(juce::MemoryBlock& destData) override {
    const float value = bypass_->get() ? 1.0f : 0.0f;
    destData.replaceAll(&value, sizeof value);
  }
  void setStateInformation(const void* data, int sizeInBytes) override {
    if (sizeInBytes >= static_cast<int>(sizeof(float))) {
      float value = 0.0f;
      std::memcpy(&value, data, sizeof value);
      *bypass_ = value >= 0.5f;
    }
  }

 private:
  juce::AudioParameterBool* bypass_ = nullptr;
};

}  // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new PassThrough(); }
