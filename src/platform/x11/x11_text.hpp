// The scene's labels on an X11 window: the Pango text layer drawing through a cairo
// surface on the window itself.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <string_view>

#include "common/geometry.hpp"
#include "platform/pango/pango_text.hpp"
#include "saver/form1.hpp"

namespace zimoklas::x11 {

class WindowText {
 public:
  WindowText(Display* display, Drawable drawable, Visual* visual, int width, int height, float dpi);
  WindowText(const WindowText&) = delete;
  WindowText& operator=(const WindowText&) = delete;
  ~WindowText();

  // The window's new size.
  void SetSize(int width, int height);
  SizeF Measure(const FontDesign& font, std::string_view utf8) { return text_.Measure(font, utf8); }
  // Paints the part of `area` that lies on the window: black, then the labels, and hands
  // it to the server.
  void Paint(const RectF& area, const saver::Form1& form);

 private:
  pango::SceneText text_;
  cairo_surface_t* surface_;
  int width_, height_;
};

}  // namespace zimoklas::x11
