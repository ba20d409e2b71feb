#include "plugin/standalone/audio_settings_panel.h"

namespace ombrix::standalone {
namespace {

class AudioSettingsPanel final : public juce::Component {
 public:
  AudioSettingsPanel(juce::AudioDeviceManager& devices, juce::Value& muteInput)
      : selector_(devices, 0, 2, 0, 2, /*showMidiInputOptions*/ false, /*showMidiOutputSelector*/ false,
                  /*showChannelsAsStereoPairs*/ true, /*hideAdvancedOptionsWithButton*/ false) {
    mute_.getToggleStateValue().referTo(muteInput);
    addAndMakeVisible(selector_);
    addAndMakeVisible(mute_);
    setSize(480, 400);
  }

  void resized() override {
    juce::Rectangle<int> area = getLocalBounds().reduced(12);
    mute_.setBounds(area.removeFromBottom(26));
    selector_.setBounds(area);
  }

 private:
  juce::AudioDeviceSelectorComponent selector_;
  juce::ToggleButton mute_{"Mute the audio input (protects against feedback through speakers)"};
};

}  // namespace

std::unique_ptr<juce::Component> MakeAudioSettingsPanel(juce::AudioDeviceManager& devices, juce::Value& muteInput) {
  return std::make_unique<AudioSettingsPanel>(devices, muteInput);
}

}  // namespace ombrix::standalone
