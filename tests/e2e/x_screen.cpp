// The end-to-end harness's X displays: the screen the programs run on, read back and
// driven through XTest, windows of the tests' own, and Xvfb servers of a test's own.
#include "e2e_harness.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>

#include <filesystem>
#include <thread>

namespace zimoklas::e2e {
namespace {

// A display whose last client has just left resets and refuses connections for a moment.
Display* OpenWithPatience(const char* name) {
  Display* display = XOpenDisplay(name);
  for (int i = 0; display == nullptr && i < 40; ++i) {
    std::this_thread::sleep_for(50ms);
    display = XOpenDisplay(name);
  }
  return display;
}

}  // namespace

Screen::Screen() : display_(OpenWithPatience(nullptr)) {}
Screen::Screen(const std::string& name) : display_(OpenWithPatience(name.c_str())) {}

Screen::~Screen() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

int Screen::width() const {
  return DisplayWidth(display_, DefaultScreen(display_));
}
int Screen::height() const {
  return DisplayHeight(display_, DefaultScreen(display_));
}

namespace {

std::string WindowTitle(Display* display, Window window) {
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Mapped windows with this title among the root's children and, for a window manager's
// frames, their children; bottom first, in stacking order.
void ListTitled(Display* display, Window parent, const std::string& title, int depth,
                std::vector<Window>& found) {
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) return;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable) {
      continue;
    }
    if (WindowTitle(display, children[i]) == title) {
      found.push_back(children[i]);
    } else if (depth > 0) {
      ListTitled(display, children[i], title, depth - 1, found);
    }
  }
  if (children != nullptr) XFree(children);
}

int IgnoreXErrors(Display* /*display*/, XErrorEvent* /*event*/) {
  return 0;  // windows come and go while they are listed
}

}  // namespace

bool Screen::RequestClose(const std::string& title) {
  std::vector<Window> windows;
  ListTitled(display_, DefaultRootWindow(display_), title, 1, windows);
  if (windows.empty()) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = windows.front();
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, windows.front(), False, NoEventMask, &event);
  Settle();
  return true;
}

int Screen::CountMappedWindows(const std::string& title) {
  return static_cast<int>(WindowBoxes(title).size());
}

std::vector<Box> Screen::WindowBoxes(const std::string& title) {
  XErrorHandler previous = XSetErrorHandler(&IgnoreXErrors);
  std::vector<Window> windows;
  ListTitled(display_, DefaultRootWindow(display_), title, 1, windows);
  std::vector<Box> boxes;
  for (const Window window : windows) {
    XWindowAttributes attributes{};
    Window child = 0;
    int x = 0, y = 0;
    if (XGetWindowAttributes(display_, window, &attributes) != 0 &&
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y,
                              &child) != 0) {
      boxes.push_back({x, y, x + attributes.width, y + attributes.height});
    }
  }
  XSync(display_, False);
  XSetErrorHandler(previous);
  return boxes;
}

Box Screen::WindowBox(const std::string& title) {
  const std::vector<Box> boxes = WindowBoxes(title);
  return boxes.empty() ? Box{} : boxes.front();
}

long Screen::WindowCardinal(const std::string& title, const std::string& name) {
  std::vector<Window> windows;
  ListTitled(display_, DefaultRootWindow(display_), title, 1, windows);
  if (windows.empty()) return -1;
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  long value = -1;
  if (XGetWindowProperty(display_, windows.front(), XInternAtom(display_, name.c_str(), False), 0,
                         1, False, XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
      data != nullptr) {
    if (type == XA_CARDINAL && format == 32 && items == 1) {
      value = *reinterpret_cast<const long*>(data);
    }
    XFree(data);
  }
  return value;
}

bool Screen::WaitForWindow(const std::string& title, Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (CountMappedWindows(title) > 0) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

Image Screen::Capture() {
  const int w = width();
  const int h = height();
  XImage* shot = XGetImage(display_, DefaultRootWindow(display_), 0, 0, w, h, AllPlanes, ZPixmap);
  Image image(w, h);
  if (shot == nullptr) return image;
  const auto channel = [](unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
      mask >>= 1;
      ++shift;
    }
    return static_cast<std::uint8_t>((pixel >> shift) & mask);
  };
  // On a visual with a colour table (8-bit PseudoColor) a pixel is an index into it.
  const Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
  std::vector<XColor> table;
  if (visual->c_class != TrueColor && visual->c_class != DirectColor) {
    table.resize(static_cast<std::size_t>(visual->map_entries));
    for (std::size_t i = 0; i < table.size(); ++i) table[i].pixel = i;
    XQueryColors(display_, DefaultColormap(display_, DefaultScreen(display_)), table.data(),
                 static_cast<int>(table.size()));
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned long p = XGetPixel(shot, x, y);
      if (p < table.size()) {
        const XColor& c = table[p];
        image.set(x, y,
                  {static_cast<std::uint8_t>(c.red >> 8), static_cast<std::uint8_t>(c.green >> 8),
                   static_cast<std::uint8_t>(c.blue >> 8)});
        continue;
      }
      image.set(
          x, y,
          {channel(p, shot->red_mask), channel(p, shot->green_mask), channel(p, shot->blue_mask)});
    }
  }
  XDestroyImage(shot);
  return image;
}

void Screen::Settle() {
  XSync(display_, False);
  std::this_thread::sleep_for(80ms);
}

void Screen::MovePointer(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  Settle();
}

void Screen::PressButton(int button) {
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
  Settle();
}

void Screen::ReleaseButton(int button) {
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
  Settle();
}

void Screen::Click(int button) {
  PressButton(button);
  ReleaseButton(button);
}

void Screen::TapKey(const std::string& keysym) {
  const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym.c_str()));
  ASSERT_NE(code, 0) << "no key for " << keysym;
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  Settle();
}

unsigned long Screen::CreateWindow(const Box& box) {
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
  attributes.backing_store = Always;
  const Window window = XCreateWindow(
      display_, DefaultRootWindow(display_), box.left, box.top, static_cast<unsigned>(box.width()),
      static_cast<unsigned>(box.height()), 0, CopyFromParent, InputOutput, CopyFromParent,
      CWOverrideRedirect | CWBackPixel | CWBackingStore, &attributes);
  XMapRaised(display_, window);
  Settle();
  return window;
}

unsigned long Screen::TopWindow() {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window top = 0;
  XErrorHandler previous = XSetErrorHandler(&IgnoreXErrors);
  if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0) {
    XSetErrorHandler(previous);
    return 0;
  }
  // Bottom first.
  for (unsigned i = count; i-- > 0 && top == 0;) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, children[i], &attributes) != 0 &&
        attributes.map_state == IsViewable) {
      top = children[i];
    }
  }
  if (children != nullptr) XFree(children);
  XSync(display_, False);
  XSetErrorHandler(previous);
  return top;
}

int Screen::BackingStore(unsigned long window) {
  XErrorHandler previous = XSetErrorHandler(&IgnoreXErrors);
  XWindowAttributes attributes{};
  const int found = XGetWindowAttributes(display_, window, &attributes);
  XSync(display_, False);
  XSetErrorHandler(previous);
  return found != 0 ? attributes.backing_store : -1;
}

void Screen::ResizeWindow(unsigned long window, int width, int height) {
  XResizeWindow(display_, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  Settle();
}

void Screen::DestroyWindow(unsigned long window) {
  XDestroyWindow(display_, window);
  Settle();
}

KeyboardGrab::KeyboardGrab(const std::string& display)
    : display_(OpenWithPatience(display.empty() ? nullptr : display.c_str())) {
  if (display_ == nullptr) return;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 8, 8, 0, CopyFromParent,
                          InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
  XMapWindow(display_, window_);
  XSync(display_, False);
  held_ = XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
          GrabSuccess;
  XSync(display_, False);
}

KeyboardGrab::~KeyboardGrab() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

void KeyboardGrab::Release() {
  if (display_ == nullptr) return;
  XUngrabKeyboard(display_, CurrentTime);
  XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
  XSync(display_, False);
  held_ = false;
}

VirtualDisplay::VirtualDisplay(const std::string& size) {
  for (int n = 130; n < 160; ++n) {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
    name_ = ":" + std::to_string(n);
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", name_, "-screen", "0", size, "-nolisten", "tcp"},
        std::vector<std::string>{}, ArtifactPath("xvfb-output.log"));
    for (int i = 0; i < 100 && !std::filesystem::exists(socket) && server_->Running(); ++i) {
      std::this_thread::sleep_for(50ms);
    }
    if (std::filesystem::exists(socket) && server_->Running()) return;
    server_.reset();
  }
}

VirtualDisplay::~VirtualDisplay() {
  Kill();
}

void VirtualDisplay::Kill() {
  if (server_ == nullptr) return;
  server_->Signal(SIGTERM);
  server_->WaitForExit(5s);
}

}  // namespace zimoklas::e2e
