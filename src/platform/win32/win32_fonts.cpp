// Fonts and label drawing for the scene window.
#include "platform/win32/win32_fonts.hpp"

#include "common/types.hpp"
#include "platform/win32/win32_text.hpp"
#include "saver/scene_paint.hpp"

namespace zimoklas::win32 {
namespace {

BYTE CharsetOf(Charset charset) {
  return charset == Charset::CentralEuropean ? EASTEUROPE_CHARSET : ANSI_CHARSET;
}

}  // namespace

float ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<float>(dpi) : 96.0f;
}

FontCache::FontCache(float dpi) : dpi_(dpi), measureDc_(CreateCompatibleDC(nullptr)) {}

FontCache::~FontCache() {
  for (const Entry& e : entries_) DeleteObject(e.font);
  if (measureDc_ != nullptr) DeleteDC(measureDc_);
}

HFONT FontCache::Get(const FontDesign& font) {
  for (const Entry& e : entries_) {
    if (e.face == font.face && e.points == font.points && e.bold == font.bold &&
        e.charset == font.charset) {
      return e.font;
    }
  }
  // A negative height asks for the em height, which is what a point size measures.
  const int height = -static_cast<int>(font.EmPixels(dpi_));
  const std::wstring face = Utf8ToWide(font.face);
  HFONT handle = CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             CharsetOf(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face.c_str());
  if (handle == nullptr) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  entries_.push_back({std::string(font.face), font.points, font.bold, font.charset, handle});
  return handle;
}

SizeF FontCache::Measure(const FontDesign& font, std::string_view utf8) {
  const HGDIOBJ old = SelectObject(measureDc_, Get(font));
  const std::wstring text = Utf8ToWide(utf8);
  SIZE extent{};
  TEXTMETRICW metrics{};
  GetTextMetricsW(measureDc_, &metrics);
  if (!text.empty()) {
    GetTextExtentPoint32W(measureDc_, text.c_str(), static_cast<int>(text.size()), &extent);
  }
  SelectObject(measureDc_, old);
  // An empty caption keeps the line's height, as a sized label does.
  return {static_cast<float>(extent.cx), static_cast<float>(metrics.tmHeight)};
}

RECT OuterPixels(const RectF& area) {
  const RectF outer = CoveredPixels(area);
  return {static_cast<LONG>(outer.left), static_cast<LONG>(outer.top),
          static_cast<LONG>(outer.right()), static_cast<LONG>(outer.bottom())};
}

void PaintScene(HDC dc, const RECT& area, const saver::Form1& form, FontCache& fonts) {
  // Draws the labels the core's repaint hands over with GDI.
  class Painter final : public saver::ScenePainter {
   public:
    Painter(HDC dc, FontCache& fonts) : dc_(dc), fonts_(fonts) {}
    void FillBlack(const PixelBox& area) override {
      IntersectClipRect(dc_, area.left, area.top, area.right, area.bottom);
      const RECT rect{area.left, area.top, area.right, area.bottom};
      FillRect(dc_, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      SetBkMode(dc_, TRANSPARENT);
      SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    }
    void DrawLabel(const saver::LabelToPaint& label, const PixelBox& /*area*/) override {
      SelectObject(dc_, fonts_.Get(*label.font));
      SetTextColor(dc_, label.colour);
      const std::wstring text = Utf8ToWide(label.caption);
      TextOutW(dc_, RoundToInt32(label.left), RoundToInt32(label.top), text.c_str(),
               static_cast<int>(text.size()));
    }

   private:
    HDC dc_;
    FontCache& fonts_;
  };
  const int saved = SaveDC(dc);
  Painter painter(dc, fonts);
  const PixelBox box{static_cast<int>(area.left), static_cast<int>(area.top),
                     static_cast<int>(area.right), static_cast<int>(area.bottom)};
  saver::RepaintScene(form, box, painter);
  RestoreDC(dc, saved);
}

}  // namespace zimoklas::win32
