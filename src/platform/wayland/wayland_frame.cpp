// Sizing the scene's frame and marking what was drawn into it apart from the ticks.
#include "platform/wayland/wayland_frame.hpp"

namespace zimoklas::wayland {

void Frame::SetSize(int width, int height) {
  width_ = static_cast<std::uint32_t>(std::max(0, width));
  height_ = static_cast<std::uint32_t>(std::max(0, height));
  tileColumns_ = (width_ + kTile - 1) >> kTileShift;
  tileRows_ = (height_ + kTile - 1) >> kTileShift;
  pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
  tiles_.assign(static_cast<std::size_t>(tileColumns_) * tileRows_, 0);
  dirty_ = false;
}

void Frame::MarkDamaged(const PixelRect& area) {
  const int left = std::max(0, area.x);
  const int top = std::max(0, area.y);
  const int right = std::min(width(), area.x + area.width);
  const int bottom = std::min(height(), area.y + area.height);
  if (left >= right || top >= bottom) return;
  for (int row = top >> kTileShift; row <= (bottom - 1) >> kTileShift; ++row) {
    for (int column = left >> kTileShift; column <= (right - 1) >> kTileShift; ++column) {
      tiles_[(static_cast<std::size_t>(row) * tileColumns_) + static_cast<std::size_t>(column)] = 1;
    }
  }
  dirty_ = true;
}

}  // namespace zimoklas::wayland
