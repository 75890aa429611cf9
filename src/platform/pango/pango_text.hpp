// The scene's labels through Pango on any cairo surface: a label's extent, and the repaint
// of an area (black, then the labels in paint order, nothing outside it). Font fallback,
// shaping and right-to-left text come from Pango.
#pragma once

#include <cairo.h>

#include <memory>
#include <string_view>

#include "common/geometry.hpp"
#include "saver/form1.hpp"

namespace zimoklas::pango {

using zimoklas::PixelBox;

// The whole pixels that `area` touches on a surface of `width` x `height` pixels; empty
// when it lies off the surface, however far off.
PixelBox PixelsOnSurface(const RectF& area, int width, int height);

class SceneText {
 public:
  // Fonts at their design sizes for `dpi`.
  explicit SceneText(float dpi);
  SceneText(const SceneText&) = delete;
  SceneText& operator=(const SceneText&) = delete;
  ~SceneText();

  // The logical extent of a one-line text: its advance and the font's line height. An
  // empty text keeps the line's height.
  SizeF Measure(const FontDesign& font, std::string_view utf8);

  // Fills `area` black, then draws the labels' glyphs over it in paint order, clipped
  // to it. A line wider than the surface shows the part that lies on it. Where the
  // caller has made the area black already (`black`), it is not filled again.
  void Paint(cairo_t* cairo, const PixelBox& area, const saver::Form1& form, bool black = false);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zimoklas::pango
