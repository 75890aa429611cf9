// Fonts and label drawing on X11.
#include "platform/x11/x11_fonts.hpp"

#include <algorithm>

#include "common/types.hpp"

namespace zimoklas::x11 {
namespace {

// Arial's metric twin; anything else the design names is a sans face.
const char* FamilyFor(std::string_view face) {
  return face == "Arial" ? "Liberation Sans" : "sans-serif";
}

XRenderColor RenderColour(Colour colour) {
  const auto wide = [](std::uint8_t c) { return static_cast<unsigned short>(c * 257); };
  return {wide(RedOf(colour)), wide(GreenOf(colour)), wide(BlueOf(colour)), 0xFFFF};
}

}  // namespace

FontCache::FontCache(Display* display, float dpi) : display_(display), dpi_(dpi) {}

FontCache::~FontCache() {
  for (const Entry& e : entries_) XftFontClose(display_, e.font);
}

XftFont* FontCache::Get(const FontDesign& font) {
  for (const Entry& e : entries_) {
    if (e.face == font.face && e.points == font.points && e.bold == font.bold) return e.font;
  }
  const double pixels = std::max(1.0, static_cast<double>(font.EmPixels(dpi_)));
  XftFont* handle =
      XftFontOpen(display_, DefaultScreen(display_), XFT_FAMILY, XftTypeString,
                  FamilyFor(font.face), XFT_PIXEL_SIZE, XftTypeDouble, pixels, XFT_WEIGHT,
                  XftTypeInteger, font.bold ? XFT_WEIGHT_BOLD : XFT_WEIGHT_MEDIUM, nullptr);
  if (handle == nullptr) {
    handle = XftFontOpen(display_, DefaultScreen(display_), XFT_PIXEL_SIZE, XftTypeDouble, pixels,
                         nullptr);
  }
  entries_.push_back({std::string(font.face), font.points, font.bold, handle});
  return handle;
}

SizeF FontCache::Measure(const FontDesign& font, std::string_view utf8) {
  XftFont* handle = Get(font);
  if (handle == nullptr) return {};
  XGlyphInfo extent{};
  if (!utf8.empty()) {
    XftTextExtentsUtf8(display_, handle, reinterpret_cast<const FcChar8*>(utf8.data()),
                       static_cast<int>(utf8.size()), &extent);
  }
  // An empty caption keeps the line's height, as a sized label does.
  return {static_cast<float>(extent.xOff), static_cast<float>(handle->ascent + handle->descent)};
}

XRectangle OuterPixels(const RectF& area) {
  // Clamped to what X coordinates can hold; a label wider than the screen starts left
  // of it.
  const RectF outer = CoveredPixels(area);
  const auto clamp = [](float v) { return std::clamp(v, -30000.0f, 30000.0f); };
  const float left = clamp(outer.left);
  const float top = clamp(outer.top);
  const float right = clamp(outer.right());
  const float bottom = clamp(outer.bottom());
  return {static_cast<short>(left), static_cast<short>(top),
          static_cast<unsigned short>(std::max(0.0f, right - left)),
          static_cast<unsigned short>(std::max(0.0f, bottom - top))};
}

void PaintScene(Display* display, Drawable drawable, XftDraw* draw, GC blackGc,
                const XRectangle& area, const saver::Form1& form, FontCache& fonts) {
  if (area.width == 0 || area.height == 0) return;
  XFillRectangle(display, drawable, blackGc, area.x, area.y, area.width, area.height);
  XRectangle clip = area;
  XftDrawSetClipRectangles(draw, 0, 0, &clip, 1);
  for (const saver::SceneLabel* label : form.LabelsInPaintOrder()) {
    if (label->caption.empty()) continue;
    const XRectangle bounds = OuterPixels(label->Bounds());
    if (bounds.x >= area.x + area.width || area.x >= bounds.x + bounds.width ||
        bounds.y >= area.y + area.height || area.y >= bounds.y + bounds.height) {
      continue;
    }
    XftFont* font = fonts.Get(label->design->font);
    if (font == nullptr) continue;
    const XRenderColor value = RenderColour(label->design->colour);
    XftColor colour{};
    XftColorAllocValue(display, XftDrawVisual(draw), XftDrawColormap(draw), &value, &colour);
    // The label's top is the top of its line; Xft places text by its baseline.
    XftDrawStringUtf8(draw, &colour, font, RoundToInt32(label->left),
                      RoundToInt32(label->top) + font->ascent,
                      reinterpret_cast<const FcChar8*>(label->caption.data()),
                      static_cast<int>(label->caption.size()));
    XftColorFree(display, XftDrawVisual(draw), XftDrawColormap(draw), &colour);
  }
  XftDrawSetClip(draw, nullptr);
}

}  // namespace zimoklas::x11
