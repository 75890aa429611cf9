// The animation's pixel sink on Windows: every write goes straight to the window's
// device context through SetPixelV. Against a DIB-section shadow blitted after each tick
// (bench/win32/) it was as fast or faster at full load, and its cost follows the number
// of writes rather than the screen area they are spread over.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/types.hpp"

namespace zimoklas::win32 {

class WindowPixels {
 public:
  explicit WindowPixels(HDC dc) : dc_(dc) {}
  // Colour is 0x00BBGGRR, which is what GDI's COLORREF holds. Pixels outside the
  // window are clipped by the system.
  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) { SetPixelV(dc_, x, y, colour); }

 private:
  HDC dc_;
};

}  // namespace zimoklas::win32
