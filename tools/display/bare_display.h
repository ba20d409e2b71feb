#pragma once
// Makes a bare X server (Xvfb without a window manager, as tests and
// benchmarks use) fit for JUCE's windows.
namespace ombrix::host {

// JUCE looks the window-manager atoms up without creating them and then sets
// window properties under atom 0 when they are missing, which the server
// refuses with a fatal error. Any desktop has them; this creates them through
// a connection that stays open, so the server keeps them. Does nothing
// without a DISPLAY.
void PrepareBareDisplay();

// Whether an X display can be opened (DISPLAY is set and the server answers).
// Tests that open windows skip without one.
bool DisplayAvailable();

}  // namespace ombrix::host
