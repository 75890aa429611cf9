// Placing the settings window's controls in pixels.
#include "dialog/form2_layout.hpp"

#include "common/types.hpp"

namespace zimoklas::dialog {

int TwipsToPixels(float twips, float dpi) {
  return RoundToInt32(static_cast<double>(twips) * dpi / 1440.0);
}

PixelBox DesignBox(const ControlDesign& design, float dpi) {
  float left = design.left;
  float top = design.top;
  if (design.container == Container::Frame1) {
    const ControlDesign* frame = FindDesign("Frame1");
    left += frame->left;
    top += frame->top;
  }
  return {TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(design.width, dpi),
          TwipsToPixels(design.height, dpi)};
}

PixelBox RuleBox(const ControlDesign& design, float dpi) {
  PixelBox box = DesignBox(design, dpi);
  box.top -= design.lineWidthPixels / 2;
  box.height = design.lineWidthPixels;
  return box;
}

}  // namespace zimoklas::dialog
