// The settings window's drawn parts on Windows: the frame, the labels, the shapes, the
// rule and the chevron picture have no window of their own; they are placed from the
// design table at the real DPI and painted onto the window, as the form shows them.
#pragma once

#include <windows.h>

#include <string_view>

#include "dialog/form2.hpp"
#include "dialog/form2_design.hpp"
#include "platform/win32/win32_fonts.hpp"
#include "platform/win32/win32_picture.hpp"

namespace zimoklas::win32 {

// The default font as Windows offers it; the design's other fonts keep their face.
FontDesign SystemFont(const FontDesign& design);

class SettingsPainter {
 public:
  SettingsPainter(HINSTANCE instance, float dpi);
  SettingsPainter(const SettingsPainter&) = delete;
  SettingsPainter& operator=(const SettingsPainter&) = delete;

  // Twips to pixels at the window's DPI.
  int Px(float twips) const;
  // A control's rectangle on the window, in pixels, at its design size; the frame's
  // contents are moved by the frame's place.
  RECT DesignRect(const dialog::ControlDesign& design) const;
  // Where a control shows now: labels that size themselves take their caption's extent.
  RECT Bounds(const dialog::ControlDesign& design, const dialog::Form2& form);
  HFONT Font(const FontDesign& design) { return fonts_.Get(SystemFont(design)); }

  // Paints every drawn part over the window's face colour.
  void Paint(HDC dc, const RECT& area, const dialog::Form2& form);
  // Whether GDI+ decoded both pictures.
  bool picturesLoaded() const { return picturesLoaded_; }

 private:
  std::string_view CaptionOf(const dialog::ControlDesign& design, const dialog::Form2& form) const;
  Colour ColourOf(const dialog::ControlDesign& design, const dialog::Form2& form) const;
  void PaintFrame(HDC dc, const dialog::ControlDesign& design);
  void PaintLabel(HDC dc, const dialog::ControlDesign& design, const dialog::Form2& form);
  void PaintShape(HDC dc, const dialog::ControlDesign& design, const dialog::Form2& form);
  void PaintLine(HDC dc, const dialog::ControlDesign& design);

  float dpi_;
  FontCache fonts_;
  win32::Picture down_;
  win32::Picture up_;
  bool picturesLoaded_ = false;
};

}  // namespace zimoklas::win32
