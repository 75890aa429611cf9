// The scene's repaint rule.
#include "saver/scene_paint.hpp"

namespace zimoklas::saver {

void RepaintScene(const Form1& form, const PixelBox& area, ScenePainter& painter) {
  if (area.empty()) return;
  painter.FillBlack(area);
  for (const SceneLabel* label : form.LabelsInPaintOrder()) {
    if (label->caption.empty()) continue;
    const RectF bounds = label->Bounds();
    if (bounds.left >= static_cast<float>(area.right) ||
        bounds.right() <= static_cast<float>(area.left) ||
        bounds.top >= static_cast<float>(area.bottom) ||
        bounds.bottom() <= static_cast<float>(area.top)) {
      continue;
    }
    painter.DrawLabel({&label->design->font, label->design->colour, label->caption,
                       RoundHalfEven(static_cast<double>(label->left)),
                       RoundHalfEven(static_cast<double>(label->top))},
                      area);
  }
}

}  // namespace zimoklas::saver
