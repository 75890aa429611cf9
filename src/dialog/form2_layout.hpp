// The settings window's controls in pixels: the design's twips at the screen's DPI,
// rounded the same way on every platform, so both windows put each control at the same
// place.
#pragma once

#include "dialog/form2_design.hpp"

namespace zimoklas::dialog {

struct PixelBox {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

// Twips to whole pixels at `dpi` (1440 / dpi twips a pixel), nearest, ties to even.
int TwipsToPixels(float twips, float dpi);

// A control's box on the window's client area at its design size. The frame's contents
// are moved by the frame's place; place and size are rounded each on its own, so equal
// sizes stay equal wherever they sit.
PixelBox DesignBox(const ControlDesign& design, float dpi);

// The pixels a line control's rule covers: its design box made the rule's width high,
// centred on the line.
PixelBox RuleBox(const ControlDesign& design, float dpi);

}  // namespace zimoklas::dialog
