// The scene's labels on an X11 window through cairo-xlib.
#include "platform/x11/x11_text.hpp"

#include <cairo-xlib.h>

#include <algorithm>

namespace zimoklas::x11 {

WindowText::WindowText(Display* display, Drawable drawable, Visual* visual, int width, int height,
                       float dpi)
    : text_(dpi),
      surface_(cairo_xlib_surface_create(display, drawable, visual, std::max(1, width),
                                         std::max(1, height))),
      width_(width),
      height_(height) {}

WindowText::~WindowText() {
  cairo_surface_destroy(surface_);
}

void WindowText::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  cairo_xlib_surface_set_size(surface_, std::max(1, width), std::max(1, height));
}

void WindowText::Paint(const RectF& area, const saver::Form1& form) {
  const pango::PixelBox box = pango::PixelsOnSurface(area, width_, height_);
  if (box.empty()) return;
  cairo_t* cairo = cairo_create(surface_);
  text_.Paint(cairo, box, form);
  cairo_destroy(cairo);
  cairo_surface_flush(surface_);
}

}  // namespace zimoklas::x11
