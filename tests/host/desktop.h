#pragma once
// The display as a user meets it: the pointer moved and pressed the way a
// mouse does it, and the pixels a window shows on the screen. Linux drives
// the X server (xdotool, XGetImage); Windows the system's own input and
// screen (desktop_windows.cpp).
#include <juce_graphics/juce_graphics.h>

namespace ombrix::test {

bool MovePointer(int x, int y);
bool PressLeftButton();
bool ReleaseLeftButton();

// What the screen shows in the area, in screen pixels; an invalid image when
// the screen cannot be read.
juce::Image ScreenArea(juce::Rectangle<int> area);

}  // namespace ombrix::test
