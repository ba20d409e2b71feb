// GoogleTest entry point for test programs that run JUCE (in-process plug-in
// tests and VST3 host tests): the message manager exists for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <juce_events/juce_events.h>

#include "tools/display/bare_display.h"

int main(int argc, char** argv) {
  // Plug-in instances keep files (update-check cache, presets) in the data
  // folder: never the user's own while testing.
  const auto data = std::filesystem::temp_directory_path() / ("ombrix-test-data-" + std::to_string(::getpid()));
  std::filesystem::create_directories(data);
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ombrix::host::PrepareBareDisplay();
  juce::ScopedJuceInitialiser_GUI juce;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(data, ignored);
  return result;
}
