// The scene's label fonts on Windows, created once per design font at the screen's real
// DPI, and the label drawing that uses them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "saver/form1.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::win32 {

// The screen's dots per inch, which turn twips and points into pixels; 96 when the
// system gives none.
float ScreenDpi();

class FontCache {
 public:
  explicit FontCache(float dpi);
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();

  // The GDI font for a design font; its height is the point size at the cache's DPI.
  HFONT Get(const FontDesign& font);
  // Extent of a one-line text: its advance width and the font's line height.
  SizeF Measure(const FontDesign& font, std::string_view utf8);

 private:
  struct Entry {
    std::string face;
    float points;
    bool bold;
    Charset charset;
    HFONT font;
  };
  std::vector<Entry> entries_;
  float dpi_;
  HDC measureDc_;
};

// A label's pixel rectangle: its single-precision place rounded outward.
RECT OuterPixels(const RectF& area);

// Repaints an area of the scene: black background, then the labels' glyphs in paint
// order, clipped to the area. Label places ending in .5 go to the even pixel.
void PaintScene(HDC dc, const RECT& area, const saver::Form1& form, FontCache& fonts);

}  // namespace zimoklas::win32
