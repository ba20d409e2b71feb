// The Standalone application's audio settings: no MIDI devices (Ombrix takes
// none), and the switch that mutes the input follows the application's value.
#include <gtest/gtest.h>

#include "plugin/standalone/audio_settings_panel.h"

namespace ombrix {
namespace {

void CollectTexts(juce::Component& component, juce::StringArray& texts) {
  if (auto* label = dynamic_cast<juce::Label*>(&component)) texts.add(label->getText());
  if (auto* button = dynamic_cast<juce::Button*>(&component)) texts.add(button->getButtonText());
  for (juce::Component* child : component.getChildren()) CollectTexts(*child, texts);
}

TEST(AudioSettingsPanel, OffersNoMidiAndMutesTheInputThroughTheApplicationsValue) {
  juce::AudioDeviceManager devices;
  juce::Value muted(true);
  const std::unique_ptr<juce::Component> panel = standalone::MakeAudioSettingsPanel(devices, muted);
  juce::StringArray texts;
  CollectTexts(*panel, texts);
  ASSERT_FALSE(texts.isEmpty());
  for (const juce::String& text : texts) EXPECT_FALSE(text.containsIgnoreCase("MIDI")) << text;

  juce::ToggleButton* mute = nullptr;
  for (juce::Component* child : panel->getChildren())
    if (auto* toggle = dynamic_cast<juce::ToggleButton*>(child)) mute = toggle;
  ASSERT_NE(mute, nullptr);
  EXPECT_TRUE(mute->getToggleState());
  mute->setToggleState(false, juce::sendNotificationSync);
  EXPECT_FALSE(static_cast<bool>(muted.getValue())) << "unmuting in the settings unmutes the application";
}

}  // namespace
}  // namespace ombrix
