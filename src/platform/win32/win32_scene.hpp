// The scene window Form1 on Windows: a borderless, topmost-capable popup that is not in
// the taskbar. It carries out what the core's Form1 asks and forwards the native events
// (keys, mouse, paint, the clock timer) to it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "platform/win32/win32_fonts.hpp"
#include "saver/form1.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::win32 {

class SceneWindow final : public saver::SaverWindow {
 public:
  // Creates the window hidden, at its design size. `showSettings` is what the core's
  // request for the settings window runs.
  SceneWindow(HINSTANCE instance, std::function<void()> showSettings);
  SceneWindow(const SceneWindow&) = delete;
  SceneWindow& operator=(const SceneWindow&) = delete;
  ~SceneWindow() override;

  // Events go to this form from now on.
  void Attach(saver::Form1* form) { form_ = form; }
  // Shows the window as the platform does after the load step: the first layout runs,
  // the window appears in front and the clock timer starts.
  void Show();
  HWND handle() const { return hwnd_; }
  // True until the window has been destroyed.
  bool alive() const { return hwnd_ != nullptr; }

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
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();

  HWND hwnd_ = nullptr;
  saver::Form1* form_ = nullptr;
  std::function<void()> showSettings_;
  float dpi_;
  std::optional<FontCache> fonts_;
  bool shown_ = false;
};

}  // namespace zimoklas::win32
