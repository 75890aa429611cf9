// The repaint of an area of the scene, the same on every backend: black over the area,
// then the labels that reach into it in paint order, the bottom one first, each with a
// caption to show, at its place rounded to whole pixels. A backend only draws.
#pragma once

#include <string_view>

#include "common/geometry.hpp"
#include "common/types.hpp"
#include "saver/form1.hpp"

namespace zimoklas::saver {

struct LabelToPaint {
  const FontDesign* font = nullptr;
  Colour colour = 0;
  std::string_view caption;
  // Where the caption's line starts: the label's place, whole pixels, ties to even.
  double left = 0;
  double top = 0;
};

class ScenePainter {
 public:
  virtual ~ScenePainter() = default;
  // Fills the area black; whatever is drawn after it is clipped to the area.
  virtual void FillBlack(const PixelBox& area) = 0;
  virtual void DrawLabel(const LabelToPaint& label, const PixelBox& area) = 0;
};

// Repaints `area` of the form's scene through `painter`; an empty area paints nothing.
void RepaintScene(const Form1& form, const PixelBox& area, ScenePainter& painter);

}  // namespace zimoklas::saver
