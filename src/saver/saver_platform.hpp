// What the scene window's logic needs from the platform: the native window, the
// cursor, the screen, text measurement and the clock. Backends implement these; the
// core decides everything and the backend only carries it out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/geometry.hpp"

namespace zimoklas::saver {

using WindowHandle = std::intptr_t;
inline constexpr WindowHandle kHwndTopmost = -1;
inline constexpr WindowHandle kHwndNoTopmost = -2;
inline constexpr unsigned kSwpNoSize = 1;
inline constexpr unsigned kSwpNoMove = 2;

// Buttons 4 to 7 of X and Wayland pointers are the wheel's steps, which are no clicks.
constexpr bool IsWheelButton(unsigned button) {
  return button >= 4 && button <= 7;
}

class SaverWindow {
 public:
  virtual ~SaverWindow() = default;

  virtual WindowHandle hWnd() const = 0;
  // The system's SetWindowPos; returns its result (non-zero on success).
  virtual int SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx,
                           int cy, unsigned flags) = 0;
  // The system's ShowCursor; returns the new display count.
  virtual int ShowCursor(bool show) = 0;

  virtual void Hide() = 0;
  // Ends the process at once; no unload step runs.
  virtual void EndProcess() = 0;
  // Creates the settings window and shows it, non-modal and without an owner.
  virtual void ShowSettingsWindow() = 0;
  // Destroys the window with its timers, after the unload step has run.
  virtual void Destroy() = 0;

  // Dots per inch of the screen the window is on.
  virtual float Dpi() const = 0;
  // Size of the primary screen, in pixels.
  virtual SizeF PrimaryScreenSize() const = 0;
  // Window position and size in screen pixels. Changing the size runs the resize
  // step again from within, as a real window would.
  virtual void SetBounds(float left, float top, float width, float height) = 0;
  // Size of the client area in pixels (ScaleWidth, ScaleHeight).
  virtual SizeF ClientSize() const = 0;

  // Extent of a one-line text in the given font, in pixels.
  virtual SizeF MeasureText(const FontDesign& font, std::string_view utf8) = 0;
  // Repaints an area: black background, then the labels' glyphs over it.
  virtual void Repaint(const RectF& area) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // The current date in the system's short date format.
  virtual std::string ShortDate() = 0;
  // The current time in the system's long time format.
  virtual std::string LongTime() = 0;
  virtual int CurrentYear() = 0;
  // A seed taken from the time of day.
  virtual std::uint64_t SeedFromTimeOfDay() = 0;
};

}  // namespace zimoklas::saver
