// The scene window Form1 on X11. As the saver it is its own borderless, override-redirect
// window over the primary monitor with the keyboard and pointer grabbed and the cursor
// hidden; as a daemon's module it draws into a window it is given and leaves input,
// cursor and stacking to the daemon. Either way it carries out what the core's Form1
// asks and forwards the native events to it.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/x11/x11_display.hpp"
#include "platform/x11/x11_pixels.hpp"
#include "platform/x11/x11_text.hpp"
#include "saver/form1.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::x11 {

class SceneWindow final : public saver::SaverWindow {
 public:
  // The saver's own window, created unmapped at its design size on the primary monitor.
  // `showSettings` is what the core's request for the settings window runs.
  SceneWindow(Display* display, std::function<void()> showSettings);
  // A module drawing into `target`, which belongs to someone else. The target goes
  // without backing store while the module draws, and gets its own back at the end.
  SceneWindow(Display* display, Window target);
  SceneWindow(const SceneWindow&) = delete;
  SceneWindow& operator=(const SceneWindow&) = delete;
  ~SceneWindow() override;

  // Events go to this form from now on.
  void Attach(saver::Form1* form) { form_ = form; }
  // Shows the scene as the platform does after the load step: the first layout runs,
  // then the saver's window is mapped, raised and given the keyboard and pointer.
  void Show();
  // Until the saver's window holds both the keyboard and the pointer, asks for whichever
  // it lacks every few hundred milliseconds of the monotonic time `now`: another client
  // (a desktop shell's overview, a menu) may hold a grab for as long as it likes.
  void KeepGrabbing(std::chrono::nanoseconds now);
  // Handles every event of the connection: those Xlib holds, and with `read` those
  // waiting on the connection too.
  void HandleEvents(bool read);
  // True until the window has been destroyed, by the form or from outside.
  bool alive() const { return alive_; }
  PixelBatch& pixels() { return *pixels_; }
  Display* display() const { return display_; }

  saver::WindowHandle hWnd() const override;
  int SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter, int x, int y,
                   int cx, int cy, unsigned flags) override;
  int ShowCursor(bool show) override;
  void Hide() override;
  void EndProcess() override;
  void ShowSettingsWindow() override;
  void Destroy() override;
  float Dpi() const override { return dpi_; }
  SizeF PrimaryScreenSize() const override;
  void SetBounds(float left, float top, float width, float height) override;
  SizeF ClientSize() const override;
  SizeF MeasureText(const FontDesign& font, std::string_view utf8) override;
  void Repaint(const RectF& area) override;

 private:
  void InitDrawing(Visual* visual, Colormap colormap);
  void SetBackingStore(int backingStore);
  // Gives the daemon's window the backing store it had, once; nothing for the saver's
  // own window, which never took one.
  void GiveBackingStoreBack();
  void Handle(XEvent& event);
  void OnKeyPress(XKeyEvent& key);
  void OnResized(int width, int height);
  // The screen or its monitors changed: the saver's window goes to the primary monitor
  // as it is now, and the layout runs again.
  void OnScreenChanged();
  // Asks once for each grab not yet held; true once both are.
  bool TryGrabs();

  Display* display_;
  bool module_;
  Window window_ = 0;
  MonitorBox monitor_;       // where the saver's own window goes; unused by a module
  int randrEventBase_ = -1;  // the saver's; -1 for a module or without RandR
  int width_ = 0, height_ = 0;
  std::optional<int> daemonBackingStore_;  // a module's: what the daemon's window had
  float dpi_;
  std::function<void()> showSettings_;
  saver::Form1* form_ = nullptr;
  std::optional<WindowText> text_;
  std::unique_ptr<PixelBatch> pixels_;
  XIM inputMethod_ = nullptr;
  XIC inputContext_ = nullptr;
  int cursorCount_ = 0;
  bool shown_ = false;
  bool keyboardGrabbed_ = false;
  bool pointerGrabbed_ = false;
  std::chrono::nanoseconds nextGrab_{};  // when KeepGrabbing asks again; zero at once
  bool alive_ = true;
};

}  // namespace zimoklas::x11
