// GoogleTest entry point for test programs that run JUCE (in-process plug-in
// tests and VST3 host tests): the message manager exists for the whole run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <juce_events/juce_events.h>

#include "tools/display/bare_display.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Plug-in instances keep files in %LOCALAPPDATA%, which the shell names:
  // these tests run only in a scratch wine prefix (wine-run says so).
  if (std::getenv("OMBRIX_TEST_SCRATCH_PROFILE") == nullptr) {
    std::fprintf(stderr, "run these tests in a scratch profile (OMBRIX_TEST_SCRATCH_PROFILE=1)\n");
    return 2;
  }
#else
  // Plug-in instances keep files (update-check cache, presets) in the data
  // folder: never the user's own while testing.
  const auto data = std::filesystem::temp_directory_path() / ("ombrix-test-data-" + std::to_string(::getpid()));
  std::filesystem::create_directories(data);
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
#endif
  ombrix::host::PrepareBareDisplay();
  juce::ScopedJuceInitialiser_GUI juce;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
#ifndef _WIN32
  std::error_code ignored;
  std::filesystem::remove_all(data, ignored);
#endif
  return result;
}
