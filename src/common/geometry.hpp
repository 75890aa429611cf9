// Value types that both windows share: sizes and rectangles in pixels, and the design of
// a font as the layouts name it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace zimoklas {

struct SizeF {
  float width = 0;
  float height = 0;
};

struct RectF {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  float right() const { return left + width; }
  float bottom() const { return top + height; }
  bool Contains(float x, float y) const {
    return x >= left && x < right() && y >= top && y < bottom();
  }
};

// The smallest rectangle covering both.
inline RectF Union(const RectF& a, const RectF& b) {
  const float left = std::min(a.left, b.left);
  const float top = std::min(a.top, b.top);
  const float right = std::max(a.right(), b.right());
  const float bottom = std::max(a.bottom(), b.bottom());
  return {left, top, right - left, bottom - top};
}

// The whole pixels that a rectangle touches.
inline RectF CoveredPixels(const RectF& r) {
  const float left = std::floor(r.left);
  const float top = std::floor(r.top);
  return {left, top, std::ceil(r.right()) - left, std::ceil(r.bottom()) - top};
}

// Whole pixels of a surface; right and bottom exclusive.
struct PixelBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

enum class Charset : std::uint8_t { Western, CentralEuropean };

struct FontDesign {
  std::string_view face;  // "Arial" or "MS Sans Serif"; the backend maps it to what exists
  float points = 8;
  bool bold = false;
  Charset charset = Charset::Western;

  // The em height in whole pixels that the point size asks for at `dpi` (72 points an
  // inch).
  float EmPixels(float dpi) const { return std::round(points * dpi / 72.0f); }
};

}  // namespace zimoklas
