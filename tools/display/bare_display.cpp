#include "tools/display/bare_display.h"

#include <cstdlib>
#include <initializer_list>

#include <X11/Xlib.h>

namespace ombrix::host {

void PrepareBareDisplay() {
  if (std::getenv("DISPLAY") == nullptr) return;
  static Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  for (const char* name : {"WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                           "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_STATE"})
    XInternAtom(display, name, False);
  XSync(display, False);
}

bool DisplayAvailable() {
  static const bool available = [] {
    if (std::getenv("DISPLAY") == nullptr) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
  }();
  return available;
}

}  // namespace ombrix::host
