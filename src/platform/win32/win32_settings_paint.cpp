// Placing and painting the settings window's drawn parts.
#include "platform/win32/win32_settings_paint.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/types.hpp"
#include "dialog/form2_layout.hpp"
#include "platform/win32/win32_dialog_ids.h"
#include "platform/win32/win32_text.hpp"

namespace zimoklas::win32 {
namespace {

using dialog::ControlDesign;
using dialog::ControlKind;

// Outlines of shapes and the rule: the window text colour, black by default.
COLORREF OutlineColour() {
  return GetSysColor(COLOR_WINDOWTEXT);
}

// Text of a label or a frame caption without a colour of its own: the system's colour
// for text on the dialog face, as the standard static and group-box controls use it.
COLORREF TextColour(const ControlDesign& design) {
  return design.foreColour.value_or(GetSysColor(COLOR_BTNTEXT));
}

}  // namespace

FontDesign SystemFont(const FontDesign& design) {
  FontDesign font = design;
  // The old raster face has no glyphs beyond its code page; its TrueType successor has
  // the Czech letters and the same metrics at 8 points.
  if (font.face == "MS Sans Serif") font.face = "Microsoft Sans Serif";
  return font;
}

SettingsPainter::SettingsPainter(HINSTANCE instance, float dpi) : dpi_(dpi), fonts_(dpi) {
  picturesLoaded_ = down_.Load(instance, IDR_CHEVRON_DOWN) && up_.Load(instance, IDR_CHEVRON_UP);
}

int SettingsPainter::Px(float twips) const {
  return dialog::TwipsToPixels(twips, dpi_);
}

RECT SettingsPainter::DesignRect(const ControlDesign& design) const {
  const dialog::PixelBox box = dialog::DesignBox(design, dpi_);
  return {box.left, box.top, box.right(), box.bottom()};
}

RECT SettingsPainter::Bounds(const ControlDesign& design, const dialog::Form2& form) {
  RECT rect = DesignRect(design);
  if (design.kind == ControlKind::Label && design.autoSize) {
    const SizeF extent = fonts_.Measure(SystemFont(design.font), CaptionOf(design, form));
    rect.right = rect.left + static_cast<LONG>(std::ceil(extent.width));
    rect.bottom = rect.top + static_cast<LONG>(std::ceil(extent.height));
  }
  if (design.kind == ControlKind::Line) {
    const dialog::PixelBox rule = dialog::RuleBox(design, dpi_);
    rect = {rule.left, rule.top, rule.right(), rule.bottom()};
  }
  return rect;
}

std::string_view SettingsPainter::CaptionOf(const ControlDesign& design,
                                            const dialog::Form2& form) const {
  if (design.name == "Label1") return form.Label1().Caption;
  if (design.name == "Label2") return form.Label2().Caption;
  if (design.name == "Label3") return form.Label3().Caption;
  return design.caption;
}

Colour SettingsPainter::ColourOf(const ControlDesign& design, const dialog::Form2& form) const {
  if (design.name == "Label1") return form.Label1().ForeColor;
  if (design.name == "Label2") return form.Label2().ForeColor;
  if (design.name == "Label3") return form.Label3().ForeColor;
  return TextColour(design);
}

void SettingsPainter::Paint(HDC dc, const RECT& area, const dialog::Form2& form) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(dc, TRANSPARENT);
  for (const ControlDesign& design : dialog::kForm2Design) {
    if (!design.visible) continue;
    RECT bounds = Bounds(design, form);
    if (design.kind == ControlKind::Frame) bounds = DesignRect(design);
    RECT overlap{};
    if (IntersectRect(&overlap, &bounds, &area) == FALSE) continue;
    switch (design.kind) {
      case ControlKind::Frame:
        PaintFrame(dc, design);
        break;
      case ControlKind::Label:
        PaintLabel(dc, design, form);
        break;
      case ControlKind::Shape:
        PaintShape(dc, design, form);
        break;
      case ControlKind::Line:
        PaintLine(dc, design);
        break;
      case ControlKind::Image: {
        const win32::Picture& picture =
            form.Image1Picture() == dialog::Picture::ChevronsUp ? up_ : down_;
        picture.Draw(dc, bounds.left, bounds.top);
        break;
      }
      default:
        break;  // real child windows paint themselves
    }
  }
}

void SettingsPainter::PaintFrame(HDC dc, const ControlDesign& design) {
  const RECT rect = DesignRect(design);
  const HGDIOBJ oldFont = SelectObject(dc, Font(design.font));
  const std::wstring caption = Utf8ToWide(design.caption);
  SIZE extent{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  // The etched border runs through the middle of the caption's line.
  RECT border = rect;
  border.top += extent.cy / 2;
  DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
  RECT text{rect.left + Px(120) - 2, rect.top, rect.left + Px(120) + extent.cx + 2,
            rect.top + extent.cy};
  FillRect(dc, &text, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, TextColour(design));
  TextOutW(dc, text.left + 2, text.top, caption.c_str(), static_cast<int>(caption.size()));
  SelectObject(dc, oldFont);
}

void SettingsPainter::PaintLabel(HDC dc, const ControlDesign& design, const dialog::Form2& form) {
  RECT rect = Bounds(design, form);
  const HGDIOBJ oldFont = SelectObject(dc, Font(design.font));
  SetTextColor(dc, ColourOf(design, form));
  const std::wstring caption = Utf8ToWide(CaptionOf(design, form));
  const UINT format = design.wordWrap ? DT_WORDBREAK | DT_NOPREFIX | DT_LEFT
                                      : DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_NOCLIP;
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, format);
  SelectObject(dc, oldFont);
}

void SettingsPainter::PaintShape(HDC dc, const ControlDesign& design, const dialog::Form2& form) {
  const RECT rect = DesignRect(design);
  HPEN pen = CreatePen(PS_SOLID, 1, OutlineColour());
  HBRUSH fill = nullptr;
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = nullptr;
  if (design.shape == dialog::ShapeKind::RoundedRectangle) {
    // The swatch: an opaque fill in the snow colour.
    fill = CreateSolidBrush(form.Shape1FillColor());
    oldBrush = SelectObject(dc, fill);
    const int corner = std::min(rect.right - rect.left, rect.bottom - rect.top) / 4;
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
  } else {
    // A circle as wide as the shape's smaller side, centred in it, outline only.
    oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int side = std::min(rect.right - rect.left, rect.bottom - rect.top);
    const int x = rect.left + (rect.right - rect.left - side) / 2;
    const int y = rect.top + (rect.bottom - rect.top - side) / 2;
    Ellipse(dc, x, y, x + side, y + side);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  if (fill != nullptr) DeleteObject(fill);
  DeleteObject(pen);
}

void SettingsPainter::PaintLine(HDC dc, const ControlDesign& design) {
  const RECT rect = DesignRect(design);
  HPEN pen = CreatePen(PS_SOLID, design.lineWidthPixels, OutlineColour());
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, rect.left, rect.top, nullptr);
  LineTo(dc, rect.right, rect.bottom);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

}  // namespace zimoklas::win32
