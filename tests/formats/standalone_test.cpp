// The Standalone application on the virtual display, with no audio device:
// its window shows the editor, a close request (what a window manager sends
// when the user closes it) quits it with status 0 within a time limit, and
// it reports no JUCE assertion and no leaked object.
#include <gtest/gtest.h>

// After gtest: Xlib defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "support/audio_fixtures.h"
#include "tools/display/bare_display.h"

namespace ombrix {
namespace {

using Clock = std::chrono::steady_clock;

// A top-level window of that name that is shown, or 0.
Window FindShownWindow(Display* display, const char* name) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    // JUCE names its windows in UTF-8, which XFetchName does not return.
    XTextProperty title{};
    XWindowAttributes attributes{};
    if (XGetWMName(display, children[i], &title) != 0 && title.value != nullptr) {
      if (std::string(reinterpret_cast<const char*>(title.value), title.nitems) == name &&
          XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable)
        found = children[i];
      XFree(title.value);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

void SendCloseRequest(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// How many different colours the window shows in a grid of sample points.
std::size_t ColoursShown(Display* display, Window window, int width, int height) {
  XImage* image =
      XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  std::set<unsigned long> colours;
  for (int y = 0; y < height; y += 7)
    for (int x = 0; x < width; x += 7) colours.insert(XGetPixel(image, x, y));
  XDestroyImage(image);
  return colours.size();
}

// Whether the window shows the warning colour (the muted-input notice) in
// its top strip.
bool StripWarns(Display* display, Window window, int width) {
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), 30, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  bool warns = false;
  for (int y = 0; y < 30 && !warns; ++y)
    for (int x = 0; x < width && !warns; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const int r = static_cast<int>((p >> 16) & 0xff), g = static_cast<int>((p >> 8) & 0xff),
                b = static_cast<int>(p & 0xff);
      warns = r > 200 && g > 110 && g < 190 && b < 100;
    }
  XDestroyImage(image);
  return warns;
}

void Click(Display* display, Window window, int x, int y) {
  for (int type : {ButtonPress, ButtonRelease}) {
    XEvent event{};
    event.xbutton.type = type;
    event.xbutton.window = window;
    event.xbutton.root = DefaultRootWindow(display);
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    event.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
    XSendEvent(display, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
    XFlush(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

TEST(Standalone, ShowsTheEditorWithoutAnAudioDeviceAndQuitsCleanlyWhenClosed) {
  if (!host::DisplayAvailable()) GTEST_SKIP() << "needs a display (run under xvfb-run)";
  host::PrepareBareDisplay();
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);

  test_support::ScopedTempFolder home("standalone");
  // No update check from the test.
  std::filesystem::create_directories(home / "data/Kestrune/Shared");
  std::ofstream(home / "data/Kestrune/Shared/updates-off").put('\n');
  const std::string log = (home / "output.log").string();

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    std::FILE* out = std::freopen(log.c_str(), "w", stdout);
    if (out == nullptr || dup2(fileno(stdout), STDERR_FILENO) < 0) _exit(126);
    execl(OMBRIX_STANDALONE, OMBRIX_STANDALONE, static_cast<char*>(nullptr));
    _exit(127);
  }

  Window window = 0;
  const auto shownBy = Clock::now() + std::chrono::seconds(30);
  while (window == 0 && Clock::now() < shownBy && waitpid(child, nullptr, WNOHANG) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    window = FindShownWindow(display, "Ombrix");
  }
  if (window == 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::ifstream in(log);
    std::stringstream output;
    output << in.rdbuf();
    FAIL() << "no window appeared; the application wrote:\n" << output.str();
  }
  // Let it draw, then look: the editor (at least its smallest size) with its many colours.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(display, window, &attributes), 0);
  EXPECT_GE(attributes.width, 480);
  EXPECT_GE(attributes.height, 300);
  EXPECT_GE(ColoursShown(display, window, attributes.width, attributes.height), 8u);
  // The input starts muted against feedback, and the window says so above the
  // editor, with a button that unmutes it (left of "Audio settings…").
  EXPECT_TRUE(StripWarns(display, window, attributes.width)) << "the muted input is explained";
  Click(display, window, attributes.width - 6 - 116 - 6 - 52, 15);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(StripWarns(display, window, attributes.width)) << "unmuted: the warning has gone";

  SendCloseRequest(display, window);
  int status = -1;
  const auto quitBy = Clock::now() + std::chrono::seconds(20);
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 && Clock::now() < quitBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "still running 20 s after the close request";
  }
  XCloseDisplay(display);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

  std::ifstream in(log);
  std::stringstream output;
  output << in.rdbuf();
  EXPECT_EQ(output.str().find("JUCE Assertion failure"), std::string::npos) << output.str();
  EXPECT_EQ(output.str().find("Leaked objects"), std::string::npos) << output.str();
}

}  // namespace
}  // namespace ombrix
