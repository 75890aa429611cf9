// Fonts and label drawing for the scene on X11, through Xft: Liberation Sans Bold for
// Arial, the system's sans face for MS Sans Serif, both at the design size for the DPI.
#pragma once

#include <X11/Xft/Xft.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/geometry.hpp"
#include "saver/form1.hpp"

namespace zimoklas::x11 {

class FontCache {
 public:
  FontCache(Display* display, float dpi);
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();

  XftFont* Get(const FontDesign& font);
  // Advance width of the text and the font's height (ascent and descent), in pixels.
  SizeF Measure(const FontDesign& font, std::string_view utf8);

 private:
  struct Entry {
    std::string face;
    float points;
    bool bold;
    XftFont* font;
  };
  Display* display_;
  float dpi_;
  std::vector<Entry> entries_;
};

// The whole pixels that an area touches.
XRectangle OuterPixels(const RectF& area);

// Paints an area of the scene: black, then the labels' glyphs over it in paint order,
// with nothing drawn outside the area.
void PaintScene(Display* display, Drawable drawable, XftDraw* draw, GC blackGc,
                const XRectangle& area, const saver::Form1& form, FontCache& fonts);

}  // namespace zimoklas::x11
