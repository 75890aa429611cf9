// Sizing the scene's frame and marking what was drawn into it apart from the ticks.
#include "platform/wayland/wayland_frame.hpp"

#include <sys/mman.h>

#include <new>

namespace zimoklas::wayland {

void UnmapPixels::operator()(std::uint32_t* pixels) const {
  munmap(pixels, bytes);
}

void Frame::SetSize(int width, int height) {
  width_ = static_cast<std::uint32_t>(std::max(0, width));
  height_ = static_cast<std::uint32_t>(std::max(0, height));
  tileColumns_ = (width_ + kTile - 1) >> kTileShift;
  tileRows_ = (height_ + kTile - 1) >> kTileShift;
  // Fresh anonymous memory is black. It is taken in whole huge pages, on their boundary,
  // so that all of it can be huge.
  constexpr std::size_t kHugePage = std::size_t{2} << 20U;
  const std::size_t bytes =
      ((static_cast<std::size_t>(width_) * height_ * sizeof(std::uint32_t)) + kHugePage) &
      ~(kHugePage - 1);
  void* memory =
      mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  auto* raw = static_cast<char*>(memory);
  const std::size_t head =
      (kHugePage - (reinterpret_cast<std::uintptr_t>(raw) & (kHugePage - 1))) & (kHugePage - 1);
  char* start = raw + head;
  if (head != 0) munmap(raw, head);
  munmap(start + bytes, kHugePage - head);
  madvise(start, bytes, MADV_HUGEPAGE);  // a wish; small pages do too
  pixels_ = {reinterpret_cast<std::uint32_t*>(start), UnmapPixels{bytes}};
  tiles_.assign(static_cast<std::size_t>(tileColumns_) * tileRows_, 0);
  markedTiles_.assign(tiles_.size(), 0);
  dirty_ = false;
  marked_ = false;
  // The log's pixels were of the old size: every buffer is to be copied whole.
  written_ += kLogSize + 1;
  flushed_ = written_;
}

void Frame::MarkDamaged(const PixelRect& area) {
  const int left = std::max(0, area.x);
  const int top = std::max(0, area.y);
  const int right = std::min(width(), area.x + area.width);
  const int bottom = std::min(height(), area.y + area.height);
  if (left >= right || top >= bottom) return;
  for (int row = top >> kTileShift; row <= (bottom - 1) >> kTileShift; ++row) {
    for (int column = left >> kTileShift; column <= (right - 1) >> kTileShift; ++column) {
      const std::size_t at =
          (static_cast<std::size_t>(row) * tileColumns_) + static_cast<std::size_t>(column);
      tiles_[at] = 1;
      markedTiles_[at] = 1;
    }
  }
  dirty_ = true;
  marked_ = true;
}

}  // namespace zimoklas::wayland
