// Pictures of the settings window on Windows: a GIF from the program's resources,
// decoded by GDI+ and drawn at its own size with its transparent colour left out.
#pragma once

#include <windows.h>

#include <cstdint>

namespace zimoklas::win32 {

// Keeps GDI+ running for as long as it lives.
class GdiplusSession {
 public:
  GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  ~GdiplusSession();
  bool ok() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

class Picture {
 public:
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  // Decodes the RCDATA resource `id`; false when it is missing or not an image.
  bool Load(HINSTANCE instance, int id);
  // Draws the picture unscaled with its top-left corner at (x, y).
  void Draw(HDC dc, int x, int y) const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  void* image_ = nullptr;  // a GpImage
  int width_ = 0;
  int height_ = 0;
};

}  // namespace zimoklas::win32
