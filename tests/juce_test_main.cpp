// GoogleTest entry point for test programs that run JUCE (in-process plug-in
// tests and VST3 host tests): the message manager exists for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <juce_events/juce_events.h>
// Last: Xlib defines macros (None, Bool, Status) that other headers must not see.
#include <X11/Xlib.h>

namespace {

// A bare X server (Xvfb without a window manager) has never heard of the
// window-manager atoms JUCE looks up without creating them, and JUCE then
// sets window properties under atom 0, which the server refuses with a fatal
// error. Any desktop has them; here this connection creates them and stays
// open, so the server keeps them while the tests run.
void InternWindowManagerAtoms() {
  if (std::getenv("DISPLAY") == nullptr) return;
  static Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  for (const char* name : {"WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                           "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_STATE"})
    XInternAtom(display, name, False);
  XSync(display, False);
}

}  // namespace

int main(int argc, char** argv) {
  // Plug-in instances keep files (update-check cache, presets) in the data
  // folder: never the user's own while testing.
  const auto data = std::filesystem::temp_directory_path() / ("ombrix-test-data-" + std::to_string(::getpid()));
  std::filesystem::create_directories(data);
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  InternWindowManagerAtoms();
  juce::ScopedJuceInitialiser_GUI juce;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(data, ignored);
  return result;
}
