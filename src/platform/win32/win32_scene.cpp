// The scene window's native side: window class, message handling and painting.
#include "platform/win32/win32_scene.hpp"

#include <windowsx.h>

#include <cmath>
#include <utility>

#include "platform/win32/win32_resource_ids.h"
#include "saver/scene_labels.hpp"

namespace zimoklas::win32 {
namespace {

constexpr wchar_t kClassName[] = L"ZimoklasScene";
constexpr UINT_PTR kClockTimer = 2;

void RegisterSceneClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ZIMOKLAS));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
}

}  // namespace

SceneWindow::SceneWindow(HINSTANCE instance, std::function<void()> showSettings)
    : showSettings_(std::move(showSettings)), dpi_(ScreenDpi()) {
  fonts_.emplace(dpi_);
  RegisterSceneClass(instance);
  const saver::WholePixelSize size = saver::DesignClientPixels(dpi_);
  hwnd_ =
      CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Zimoklas", WS_POPUP, CW_USEDEFAULT,
                      CW_USEDEFAULT, size.width, size.height, nullptr, nullptr, instance, nullptr);
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  }
}

SceneWindow::~SceneWindow() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void SceneWindow::Show() {
  if (hwnd_ == nullptr) return;
  shown_ = true;
  // The first layout runs before the window appears, so it is never seen at its
  // design size.
  if (form_ != nullptr) form_->Form_Resize();
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  UpdateWindow(hwnd_);
  SetTimer(hwnd_, kClockTimer, static_cast<UINT>(saver::Form1::kTimer2Interval.count()), nullptr);
}

saver::WindowHandle SceneWindow::hWnd() const {
  return reinterpret_cast<saver::WindowHandle>(hwnd_);
}

int SceneWindow::SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter, int x,
                              int y, int cx, int cy, unsigned flags) {
  return ::SetWindowPos(reinterpret_cast<HWND>(window), reinterpret_cast<HWND>(insertAfter), x, y,
                        cx, cy, flags);
}

int SceneWindow::ShowCursor(bool show) {
  return ::ShowCursor(show ? TRUE : FALSE);
}

void SceneWindow::Hide() {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

void SceneWindow::EndProcess() {
  ExitProcess(0);
}

void SceneWindow::ShowSettingsWindow() {
  if (showSettings_) showSettings_();
}

void SceneWindow::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

SizeF SceneWindow::PrimaryScreenSize() const {
  return {static_cast<float>(GetSystemMetrics(SM_CXSCREEN)),
          static_cast<float>(GetSystemMetrics(SM_CYSCREEN))};
}

void SceneWindow::SetBounds(float left, float top, float width, float height) {
  if (hwnd_ == nullptr) return;
  // A change of size sends WM_SIZE, which runs the resize step again from within.
  ::SetWindowPos(hwnd_, nullptr, static_cast<int>(std::lround(left)),
                 static_cast<int>(std::lround(top)), static_cast<int>(std::lround(width)),
                 static_cast<int>(std::lround(height)), SWP_NOZORDER | SWP_NOACTIVATE);
}

SizeF SceneWindow::ClientSize() const {
  RECT client{};
  if (hwnd_ != nullptr) GetClientRect(hwnd_, &client);
  return {static_cast<float>(client.right), static_cast<float>(client.bottom)};
}

SizeF SceneWindow::MeasureText(const FontDesign& font, std::string_view utf8) {
  return fonts_->Measure(font, utf8);
}

void SceneWindow::Repaint(const RectF& area) {
  // Painted at once, so that the animation's next pixels land on top of the new text.
  if (hwnd_ == nullptr || form_ == nullptr || !shown_ || IsWindowVisible(hwnd_) == FALSE) return;
  HDC dc = GetDC(hwnd_);
  PaintScene(dc, OuterPixels(area), *form_, *fonts_);
  ReleaseDC(hwnd_, dc);
}

void SceneWindow::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  if (form_ != nullptr) {
    PaintScene(dc, paint.rcPaint, *form_, *fonts_);
  } else {
    FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK SceneWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SceneWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return self->Handle(hwnd, message, wParam, lParam);
}

LRESULT SceneWindow::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto x = [lParam] { return static_cast<float>(GET_X_LPARAM(lParam)); };
  const auto y = [lParam] { return static_cast<float>(GET_Y_LPARAM(lParam)); };
  switch (message) {
    case WM_CHAR:
      if (form_ != nullptr) form_->Form_KeyPress(static_cast<std::uint32_t>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      if (form_ != nullptr) form_->PointerPressed(x(), y());
      return message == WM_XBUTTONDOWN ? TRUE : 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
      if (form_ != nullptr) form_->PointerReleased(x(), y());
      return message == WM_XBUTTONUP ? TRUE : 0;
    case WM_MOUSEMOVE:
      if (form_ != nullptr) form_->PointerMoved(x(), y());
      return 0;
    case WM_SIZE:
      if (form_ != nullptr && shown_) form_->Form_Resize();
      return 0;
    case WM_TIMER:
      if (wParam == kClockTimer && form_ != nullptr) form_->Timer2_Timer();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the background itself
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CLOSE:
      // Closed from outside: unloaded like any other end, with the cursor given back.
      if (form_ != nullptr) {
        form_->Unload();
      } else {
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kClockTimer);
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace zimoklas::win32
