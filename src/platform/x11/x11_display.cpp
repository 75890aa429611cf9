// The X connection's error handling, DPI and monitor queries.
#include "platform/x11/x11_display.hpp"

#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace zimoklas::x11 {
namespace {

// Xlib calls its handlers without a context, so the one fact they report lives here.
XID g_vanishedWindow = 0;

[[noreturn]] int OnConnectionLost(Display* /*display*/) {
  // Only async-signal-safe calls: the connection is gone and Xlib is mid-request.
  static constexpr char kMessage[] = "zimoklas: lost the connection to the X display\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(1);
}

int OnRequestFailed(Display* /*display*/, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    g_vanishedWindow = error->resourceid;
  }
  return 0;
}

}  // namespace

Display* OpenDisplay() {
  XSetIOErrorHandler(&OnConnectionLost);
  XSetErrorHandler(&OnRequestFailed);
  return XOpenDisplay(nullptr);
}

std::optional<XID> TakeVanishedWindow() {
  if (g_vanishedWindow == 0) return std::nullopt;
  const XID window = g_vanishedWindow;
  g_vanishedWindow = 0;
  return window;
}

float ScreenDpi(Display* display) {
  const char* text = XGetDefault(display, "Xft", "dpi");
  if (text == nullptr) return 96.0f;
  char* end = nullptr;
  const double dpi = std::strtod(text, &end);
  // Anything but a plain positive number of sensible size keeps the default.
  if (end == text || *end != '\0' || !(dpi >= 24.0 && dpi <= 960.0)) return 96.0f;
  return static_cast<float>(dpi);
}

MonitorBox PrimaryMonitor(Display* display) {
  const int screen = DefaultScreen(display);
  MonitorBox box{0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                 static_cast<unsigned>(DisplayHeight(display, screen))};
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) == False ||
      XRRQueryVersion(display, &major, &minor) == 0 || major < 1 || (major == 1 && minor < 5)) {
    return box;
  }
  int count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(display, RootWindow(display, screen), True, &count);
  if (monitors == nullptr) return box;
  if (count > 0) {
    const XRRMonitorInfo* chosen = &monitors[0];
    for (int i = 0; i < count; ++i) {
      if (monitors[i].primary != 0) {
        chosen = &monitors[i];
        break;
      }
    }
    if (chosen->width > 0 && chosen->height > 0) {
      box = {chosen->x, chosen->y, static_cast<unsigned>(chosen->width),
             static_cast<unsigned>(chosen->height)};
    }
  }
  XRRFreeMonitors(monitors);
  return box;
}

int FollowScreenChanges(Display* display) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) == False ||
      XRRQueryVersion(display, &major, &minor) == 0) {
    return -1;
  }
  // A monitor plugged in, resized or moved changes the screen, a CRTC or an output.
  int mask = RRScreenChangeNotifyMask;
  if (major > 1 || minor >= 2) mask |= RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;
  XRRSelectInput(display, DefaultRootWindow(display), mask);
  return eventBase;
}

bool TakeScreenChange(XEvent& event, int randrEventBase) {
  if (randrEventBase < 0) return false;
  if (event.type == randrEventBase + RRScreenChangeNotify) {
    XRRUpdateConfiguration(&event);
    return true;
  }
  return event.type == randrEventBase + RRNotify;
}

}  // namespace zimoklas::x11
