// GoogleTest entry point for in-process plug-in tests: JUCE's message manager
// must exist for the whole run.
#include <gtest/gtest.h>

#include <juce_events/juce_events.h>

int main(int argc, char** argv) {
  juce::ScopedJuceInitialiser_GUI juce;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
