// The scene window's native side on X11: the window, its events and its painting.
#include "platform/x11/x11_scene.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "saver/scene_labels.hpp"

namespace zimoklas::x11 {
namespace {

constexpr long kSaverEvents = KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                              PointerMotionMask | ExposureMask | StructureNotifyMask;
// A module only follows its window; input belongs to the daemon.
constexpr long kModuleEvents = ExposureMask | StructureNotifyMask;
// How often the saver asks again for a grab that another client holds.
constexpr std::chrono::nanoseconds kGrabRetry = std::chrono::milliseconds(250);

// The first character of UTF-8 text as a code point; U+FFFD when it is malformed (or
// text in another encoding), which still counts as a character.
std::uint32_t FirstCharacter(const char* text, int length) {
  const auto byte = [text](int i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[i]));
  };
  const std::uint32_t lead = byte(0);
  // A continuation byte or no lead byte of UTF-8 at all.
  if (lead >= 0xF8 || (lead >= 0x80 && lead < 0xC0)) return 0xFFFD;
  int extra = 0;
  std::uint32_t code = lead;
  if (lead >= 0xF0) {
    extra = 3;
    code = lead & 0x07U;
  } else if (lead >= 0xE0) {
    extra = 2;
    code = lead & 0x0FU;
  } else if (lead >= 0xC0) {
    extra = 1;
    code = lead & 0x1FU;
  }
  if (extra >= length) return 0xFFFD;
  for (int i = 1; i <= extra; ++i) {
    if ((byte(i) & 0xC0U) != 0x80U) return 0xFFFD;
    code = (code << 6U) | (byte(i) & 0x3FU);
  }
  return code;
}

void NameWindow(Display* display, Window window) {
  std::array<char, 9> name{"zimoklas"};
  std::array<char, 9> klass{"Zimoklas"};
  XClassHint hint{name.data(), klass.data()};
  XSetClassHint(display, window, &hint);
  XStoreName(display, window, "Zimoklas");
  static constexpr unsigned char kTitle[] = "Zimoklas";
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace, kTitle,
                  sizeof kTitle - 1);
}

}  // namespace

SceneWindow::SceneWindow(Display* display, std::function<void()> showSettings)
    : display_(display),
      module_(false),
      monitor_(PrimaryMonitor(display)),
      dpi_(ScreenDpi(display)),
      showSettings_(std::move(showSettings)) {
  const int screen = DefaultScreen(display_);
  const saver::WholePixelSize size = saver::DesignClientPixels(dpi_);
  width_ = size.width;
  height_ = size.height;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display_, screen);
  attributes.event_mask = kSaverEvents;
  window_ = XCreateWindow(display_, RootWindow(display_, screen), monitor_.x, monitor_.y,
                          static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
  NameWindow(display_, window_);
  // A compositing manager need not compose a window that covers the whole monitor: it
  // may show it as it is, as it does for fullscreen games.
  const long bypass = 1;
  XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_BYPASS_COMPOSITOR", False),
                  XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&bypass),
                  1);
  InitDrawing(DefaultVisual(display_, screen), DefaultColormap(display_, screen));
  randrEventBase_ = FollowScreenChanges(display_);

  // Key presses are read through an input method so that only keys that yield a
  // character count, in any keyboard layout.
  XSetLocaleModifiers("");
  inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  if (inputMethod_ == nullptr) {
    XSetLocaleModifiers("@im=none");
    inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  }
  if (inputMethod_ != nullptr) {
    inputContext_ = XCreateIC(inputMethod_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                              XNClientWindow, window_, XNFocusWindow, window_, nullptr);
    if (inputContext_ != nullptr) XSetICFocus(inputContext_);
  }
}

SceneWindow::SceneWindow(Display* display, Window target)
    : display_(display), module_(true), window_(target), dpi_(ScreenDpi(display)) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display_, target, &attributes) == 0) {
    alive_ = false;
    return;
  }
  width_ = attributes.width;
  height_ = attributes.height;
  XSelectInput(display_, target, kModuleEvents);
  // The X server keeps a window's backing store by drawing it off screen and copying
  // every damaged area onto the screen; for the thousands of scattered points a tick
  // draws, that costs the server several times the drawing itself. A window of its own
  // inside the daemon's would not help: it is drawn off screen with its parent. So the
  // daemon's window goes without one while the scene covers it, and gets its own back
  // when the module ends.
  if (attributes.backing_store != NotUseful) {
    daemonBackingStore_ = attributes.backing_store;
    SetBackingStore(NotUseful);
  }
  InitDrawing(attributes.visual, attributes.colormap);
}

SceneWindow::~SceneWindow() {
  // A window the server has destroyed has nothing to give back to.
  if (alive_) GiveBackingStoreBack();
  if (inputContext_ != nullptr) XDestroyIC(inputContext_);
  if (inputMethod_ != nullptr) XCloseIM(inputMethod_);
  pixels_.reset();
  text_.reset();
  if (!module_ && alive_) XDestroyWindow(display_, window_);
  XFlush(display_);
}

void SceneWindow::SetBackingStore(int backingStore) {
  XSetWindowAttributes attributes{};
  attributes.backing_store = backingStore;
  XChangeWindowAttributes(display_, window_, CWBackingStore, &attributes);
}

void SceneWindow::GiveBackingStoreBack() {
  if (!daemonBackingStore_) return;
  SetBackingStore(*daemonBackingStore_);
  daemonBackingStore_.reset();
  XFlush(display_);
}

void SceneWindow::InitDrawing(Visual* visual, Colormap colormap) {
  text_.emplace(display_, window_, visual, width_, height_, dpi_);
  pixels_ = std::make_unique<PixelBatch>(display_, window_, visual, colormap);
  pixels_->SetSize(width_, height_);
}

void SceneWindow::Show() {
  if (!alive_) return;
  shown_ = true;
  // The snow's colour is known now; where the visual needs cells, it gets its own.
  if (form_ != nullptr) pixels_->Reserve(form_->snowColour());
  // The first layout runs before the scene is seen, so it never shows its design size.
  if (form_ != nullptr) form_->Form_Resize();
  if (module_) {
    // The window is already on the screen: no exposure will come to paint it.
    Repaint({0, 0, static_cast<float>(width_), static_cast<float>(height_)});
    XFlush(display_);
    return;
  }
  XMapRaised(display_, window_);
  // Without the keyboard, keys reach the window while it has the focus; the loop keeps
  // asking for the grabs that another client holds now.
  if (!TryGrabs() && !keyboardGrabbed_) {
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
  }
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  if (form_ != nullptr &&
      XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &x, &y, &mask) != False) {
    form_->PointerAtShow(static_cast<float>(x), static_cast<float>(y));
  }
  XFlush(display_);
}

bool SceneWindow::TryGrabs() {
  if (!keyboardGrabbed_) {
    keyboardGrabbed_ = XGrabKeyboard(display_, window_, True, GrabModeAsync, GrabModeAsync,
                                     CurrentTime) == GrabSuccess;
  }
  if (!pointerGrabbed_) {
    pointerGrabbed_ =
        XGrabPointer(display_, window_, True,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
  }
  return keyboardGrabbed_ && pointerGrabbed_;
}

void SceneWindow::KeepGrabbing(std::chrono::nanoseconds now) {
  if (module_ || !shown_ || !alive_ || (keyboardGrabbed_ && pointerGrabbed_)) return;
  if (now < nextGrab_) return;
  nextGrab_ = now + kGrabRetry;
  TryGrabs();
}

void SceneWindow::HandleEvents(bool read) {
  while (alive_ && XEventsQueued(display_, read ? QueuedAfterFlush : QueuedAlready) > 0) {
    XEvent event{};
    XNextEvent(display_, &event);
    if (XFilterEvent(&event, None) != False) continue;
    Handle(event);
  }
  // A request on the window failed because it is gone (its destruction may not have
  // been reported to us).
  if (const std::optional<XID> gone = TakeVanishedWindow(); gone && *gone == window_ && alive_) {
    alive_ = false;
    if (form_ != nullptr) form_->Unload();
  }
}

void SceneWindow::Handle(XEvent& event) {
  if (TakeScreenChange(event, randrEventBase_)) {
    OnScreenChanged();
    return;
  }
  if (form_ == nullptr || event.xany.window != window_) return;
  switch (event.type) {
    case Expose:
      Repaint({static_cast<float>(event.xexpose.x), static_cast<float>(event.xexpose.y),
               static_cast<float>(event.xexpose.width), static_cast<float>(event.xexpose.height)});
      break;
    case ConfigureNotify:
      OnResized(event.xconfigure.width, event.xconfigure.height);
      break;
    case DestroyNotify:
      // Destroyed from outside: unloaded like any other end.
      alive_ = false;
      form_->Unload();
      break;
    case KeyPress:
      if (!module_) OnKeyPress(event.xkey);
      break;
    case ButtonPress:
      if (!module_ && !saver::IsWheelButton(event.xbutton.button)) {
        form_->PointerPressed(static_cast<float>(event.xbutton.x),
                              static_cast<float>(event.xbutton.y));
      }
      break;
    case ButtonRelease:
      if (!module_ && !saver::IsWheelButton(event.xbutton.button)) {
        form_->PointerReleased(static_cast<float>(event.xbutton.x),
                               static_cast<float>(event.xbutton.y));
      }
      break;
    case MotionNotify:
      if (!module_) {
        form_->PointerMoved(static_cast<float>(event.xmotion.x),
                            static_cast<float>(event.xmotion.y));
      }
      break;
    default:
      break;
  }
}

void SceneWindow::OnKeyPress(XKeyEvent& key) {
  std::array<char, 32> text{};
  KeySym keysym = NoSymbol;
  int length = 0;
  if (inputContext_ != nullptr) {
    Status status = 0;
    length = Xutf8LookupString(inputContext_, &key, text.data(), static_cast<int>(text.size()),
                               &keysym, &status);
    if (status == XBufferOverflow) {
      // More text than fits (nothing was written) is still text.
      form_->Form_KeyPress(0xFFFD);
      return;
    }
    if (status != XLookupChars && status != XLookupBoth) length = 0;
  } else {
    length = XLookupString(&key, text.data(), static_cast<int>(text.size()), &keysym, nullptr);
  }
  // Which characters count is the form's rule.
  length = std::min(length, static_cast<int>(text.size()));
  if (length > 0) form_->Form_KeyPress(FirstCharacter(text.data(), length));
}

void SceneWindow::OnResized(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  pixels_->SetSize(width_, height_);
  text_->SetSize(width_, height_);
  if (shown_) form_->Form_Resize();
}

void SceneWindow::OnScreenChanged() {
  if (module_ || !alive_) return;
  const MonitorBox now = PrimaryMonitor(display_);
  if (now == monitor_) return;
  monitor_ = now;
  if (shown_ && form_ != nullptr) form_->Form_Resize();
}

saver::WindowHandle SceneWindow::hWnd() const {
  return static_cast<saver::WindowHandle>(window_);
}

int SceneWindow::SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter,
                              int /*x*/, int /*y*/, int /*cx*/, int /*cy*/, unsigned /*flags*/) {
  // The daemon stacks its own window. The saver's window bypasses the window manager,
  // so raising it puts it above every managed window.
  if (module_ || !alive_) return module_ ? 1 : 0;
  if (insertAfter == saver::kHwndTopmost) XRaiseWindow(display_, static_cast<Window>(window));
  return 1;
}

int SceneWindow::ShowCursor(bool show) {
  if (module_) return cursorCount_;  // the daemon's
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  const Window root = DefaultRootWindow(display_);
  const bool fixes = XFixesQueryExtension(display_, &eventBase, &errorBase) != False &&
                     XFixesQueryVersion(display_, &major, &minor) != 0 && major >= 4;
  if (fixes) {
    if (show) {
      XFixesShowCursor(display_, root);
    } else {
      XFixesHideCursor(display_, root);
    }
  } else if (alive_) {
    // Without XFixes, an empty cursor over the window hides it there.
    if (show) {
      XUndefineCursor(display_, window_);
    } else {
      const std::array<char, 1> bits{};
      Pixmap blank = XCreateBitmapFromData(display_, window_, bits.data(), 1, 1);
      XColor black{};
      Cursor cursor = XCreatePixmapCursor(display_, blank, blank, &black, &black, 0, 0);
      XDefineCursor(display_, window_, cursor);
      XFreeCursor(display_, cursor);
      XFreePixmap(display_, blank);
    }
  }
  XFlush(display_);
  cursorCount_ += show ? 1 : -1;
  return cursorCount_;
}

void SceneWindow::Hide() {
  if (!module_ && alive_) XUnmapWindow(display_, window_);
}

void SceneWindow::EndProcess() {
  XFlush(display_);
  std::exit(0);  // NOLINT(concurrency-mt-unsafe): one thread
}

void SceneWindow::ShowSettingsWindow() {
  if (showSettings_) showSettings_();
}

void SceneWindow::Destroy() {
  if (!alive_) return;
  GiveBackingStoreBack();
  alive_ = false;
  if (!module_) {
    XDestroyWindow(display_, window_);
    XFlush(display_);
  }
}

SizeF SceneWindow::PrimaryScreenSize() const {
  // A module's "screen" is the window it was given.
  if (module_) return ClientSize();
  return {static_cast<float>(monitor_.width), static_cast<float>(monitor_.height)};
}

void SceneWindow::SetBounds(float left, float top, float width, float height) {
  if (module_ || !alive_) return;
  const auto whole = [](float v) { return static_cast<int>(std::lround(v)); };
  const int w = std::max(1, whole(width));
  const int h = std::max(1, whole(height));
  XMoveResizeWindow(display_, window_, monitor_.x + whole(left), monitor_.y + whole(top),
                    static_cast<unsigned>(w), static_cast<unsigned>(h));
  // The window bypasses the window manager, so the size is granted as asked.
  if (w != width_ || h != height_) {
    width_ = w;
    height_ = h;
    pixels_->SetSize(w, h);
    text_->SetSize(w, h);
  }
}

SizeF SceneWindow::ClientSize() const {
  return {static_cast<float>(width_), static_cast<float>(height_)};
}

SizeF SceneWindow::MeasureText(const FontDesign& font, std::string_view utf8) {
  return text_ ? text_->Measure(font, utf8) : SizeF{};
}

void SceneWindow::Repaint(const RectF& area) {
  // Painted at once, so that the animation's next pixels land on top of the new text.
  if (!shown_ || !alive_ || form_ == nullptr || !text_) return;
  text_->Paint(area, *form_);
}

}  // namespace zimoklas::x11
