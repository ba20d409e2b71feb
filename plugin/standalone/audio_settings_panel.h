#pragma once
// What the Standalone application's "Audio settings" window holds: the audio
// device, its rate, block size and channels, and the switch that mutes the
// input against feedback. Ombrix takes no MIDI, so no MIDI devices are
// offered.
#include <memory>

#include <juce_audio_utils/juce_audio_utils.h>

namespace ombrix::standalone {

// muteInput is the holder's mute value; the panel's switch follows it.
std::unique_ptr<juce::Component> MakeAudioSettingsPanel(juce::AudioDeviceManager& devices, juce::Value& muteInput);

}  // namespace ombrix::standalone
