#include "tests/host/desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace ombrix::test {

namespace {

// Through the X server's test extension, as a real mouse would.
bool Xdotool(const juce::String& arguments) {
  return std::system(("xdotool " + arguments + " >/dev/null 2>&1").toRawUTF8()) == 0;
}

}  // namespace

bool MovePointer(int x, int y) { return Xdotool("mousemove " + juce::String(x) + " " + juce::String(y)); }
bool PressLeftButton() { return Xdotool("mousedown 1"); }
bool ReleaseLeftButton() { return Xdotool("mouseup 1"); }

juce::Image ScreenArea(juce::Rectangle<int> area) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return {};
  juce::Image image;
  if (XImage* shot = XGetImage(display, DefaultRootWindow(display), area.getX(), area.getY(),
                               static_cast<unsigned>(area.getWidth()), static_cast<unsigned>(area.getHeight()),
                               AllPlanes, ZPixmap)) {
    image = juce::Image(juce::Image::RGB, area.getWidth(), area.getHeight(), false);
    for (int y = 0; y < area.getHeight(); ++y)
      for (int x = 0; x < area.getWidth(); ++x) {
        const unsigned long pixel = XGetPixel(shot, x, y);
        image.setPixelAt(x, y,
                         juce::Colour(static_cast<juce::uint8>(pixel >> 16), static_cast<juce::uint8>(pixel >> 8),
                                      static_cast<juce::uint8>(pixel)));
      }
    XDestroyImage(shot);
  }
  XCloseDisplay(display);
  return image;
}

}  // namespace ombrix::test
