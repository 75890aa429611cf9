// The connection to the X server and what the scene reads from it once: the error
// handlers, the screen's DPI and the primary monitor.
#pragma once

#include <X11/Xlib.h>

#include <optional>

namespace zimoklas::x11 {

struct MonitorBox {
  int x = 0, y = 0;
  unsigned width = 0, height = 0;
  bool operator==(const MonitorBox&) const = default;
};

// Opens the display named by $DISPLAY and installs the error handlers: a lost
// connection ends the program with status 1 and one line on stderr, and a request that
// failed on a window is remembered rather than ending the program.
Display* OpenDisplay();

// The window of the last request that failed because its window or drawable was gone,
// and forgets it; none when there was no such failure.
std::optional<XID> TakeVanishedWindow();

// Dots per inch from the Xft.dpi resource; 96 when it is unset or unusable.
float ScreenDpi(Display* display);

// The monitor flagged primary (RandR 1.5), else the first monitor, else the whole
// screen.
MonitorBox PrimaryMonitor(Display* display);

// Asks for the events that tell of a changed screen or monitor (RandR). Returns the
// extension's first event type, or -1 when the server has no RandR.
int FollowScreenChanges(Display* display);

// True for an event that tells of such a change; Xlib's idea of the screen's size is
// brought up to date with it.
bool TakeScreenChange(XEvent& event, int randrEventBase);

}  // namespace zimoklas::x11
