// The scene's frame on Wayland: its own memory, one 32-bit pixel each (0x00RRGGBB, as
// cairo's RGB24 keeps it), written by the ticks in order so that the last write wins.
// Every write marks its tile, which a commit takes as its damage, and is logged with its
// colour: the log is applied to the frame after each tick, and replayed into a buffer so
// that it is brought up to date with only the pixels written since it was last sent.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/types.hpp"

namespace zimoklas::wayland {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// Damage is kept per square of this many pixels a side. Finer squares send less but
// name many more areas, each one a request that costs the compositor and the saver
// more than the pixels it saves: with full pools, flakes touch most squares of any size
// (measured with wayland_scene_cost at 1920 x 1080: squares of 8 to 128 pixels, 64 the
// cheapest for both sides).
inline constexpr int kTileShift = 6;
inline constexpr int kTile = 1 << kTileShift;

// Hands each run of marked tiles within one row of a tile map (one byte a tile, `columns`
// a row) to `take` as a rectangle clipped to `width` x `height`, and clears the marks.
template <class Take>
void TakeTileRuns(std::uint8_t* tiles, std::uint32_t columns, std::uint32_t rows, int width,
                  int height, Take take) {
  for (std::uint32_t row = 0; row < rows; ++row) {
    std::uint8_t* line = &tiles[static_cast<std::size_t>(row) * columns];
    for (std::uint32_t column = 0; column < columns;) {
      if (line[column] == 0) {
        ++column;
        continue;
      }
      const std::uint32_t first = column;
      while (column < columns && line[column] != 0) line[column++] = 0;
      const int x = static_cast<int>(first) << kTileShift;
      const int y = static_cast<int>(row) << kTileShift;
      take(PixelRect{x, y, std::min(static_cast<int>(column) << kTileShift, width) - x,
                     std::min(y + kTile, height) - y});
    }
  }
}

// Gives back a frame's pixel memory.
struct UnmapPixels {
  std::size_t bytes = 0;
  void operator()(std::uint32_t* pixels) const;
};

class Frame {
 public:
  static constexpr int kTileShift = wayland::kTileShift;
  static constexpr int kTile = wayland::kTile;

  // A new size clears the frame to black; nothing is marked.
  void SetSize(int width, int height);
  int width() const { return static_cast<int>(width_); }
  int height() const { return static_cast<int>(height_); }
  int stride() const { return static_cast<int>(width_) * 4; }
  std::uint32_t* data() { return pixels_.get(); }
  std::uint32_t at(int x, int y) const { return pixels_[(y * width_) + x]; }

  // One pixel write of the animation; outside the frame it is dropped. It is logged, and
  // reaches the frame's pixels at the next Flush.
  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    const auto ux = static_cast<std::uint32_t>(x);
    const auto uy = static_cast<std::uint32_t>(y);
    if (ux >= width_ || uy >= height_) return;
    const std::uint32_t pixel = (std::uint32_t{RedOf(colour)} << 16U) |
                                (std::uint32_t{GreenOf(colour)} << 8U) | BlueOf(colour);
    tiles_[((uy >> kTileShift) * tileColumns_) + (ux >> kTileShift)] = 1;
    if (written_ - flushed_ == kLogSize) Flush();
    log_[written_++ & (kLogSize - 1)] = (std::uint64_t{(uy * width_) + ux} << 32U) | pixel;
    dirty_ = true;
  }
  // Applies the writes logged since the last call to the frame's pixels, in order. The
  // writes land all over the frame: stored together, in a loop of their own, they overlap
  // their cache misses, where stored one by one inside the tick each of them stalled it.
  // Anything that reads the pixels or draws over them calls this first.
  void Flush() {
    for (; flushed_ != written_; ++flushed_) {
      const std::uint64_t entry = log_[flushed_ & (kLogSize - 1)];
      pixels_[entry >> 32U] = static_cast<std::uint32_t>(entry);
    }
  }

  // Marks an area that was drawn some other way (a label's repaint): damage, and an area
  // that each buffer takes whole.
  void MarkDamaged(const PixelRect& area);
  bool damaged() const { return dirty_; }

  // How many pixel writes there have been; a position in the log.
  std::uint64_t written() const { return written_; }
  // Copies into `target` (a buffer of the frame's size) every pixel written since the
  // log's position `since`. False, having copied nothing, when the log no longer holds
  // them all (or the size changed since): the caller then copies the whole frame.
  bool CopyWrittenSince(std::uint64_t since, std::uint32_t* target) const {
    if (written_ - since > kLogSize) return false;
    for (std::uint64_t n = since; n != written_; ++n) {
      const std::uint64_t entry = log_[n & (kLogSize - 1)];
      target[entry >> 32U] = static_cast<std::uint32_t>(entry);
    }
    return true;
  }
  // Hands the areas marked since the last call to `take`, a run of tiles at a time.
  template <class Take>
  void TakeMarkedAreas(Take take) {
    if (!marked_) return;
    TakeTileRuns(markedTiles_.data(), tileColumns_, tileRows_, width(), height(), take);
    marked_ = false;
  }

  // Hands the damage since the last call to `take` as rectangles, each a run of marked
  // tiles in one row of tiles, clipped to the frame, and forgets it.
  template <class Take>
  void TakeDamage(Take take) {
    if (!dirty_) return;
    TakeTileRuns(tiles_.data(), tileColumns_, tileRows_, width(), height(), take);
    dirty_ = false;
  }

 private:
  std::uint32_t width_ = 0, height_ = 0;
  std::uint32_t tileColumns_ = 0, tileRows_ = 0;
  // The pixels, in memory of their own that may use huge pages: the ticks write all over
  // the frame, and with small pages nearly every write missed the address cache.
  std::unique_ptr<std::uint32_t[], UnmapPixels> pixels_;
  std::vector<std::uint8_t> tiles_;
  bool dirty_ = false;
  // Enough for two commits' worth of full pools at 30 frames a second (4000 writes a
  // tick); a buffer further behind is copied whole.
  static constexpr std::uint64_t kLogSize = std::uint64_t{1} << 16U;
  std::vector<std::uint64_t> log_ = std::vector<std::uint64_t>(kLogSize);
  std::uint64_t written_ = 0;
  std::uint64_t flushed_ = 0;  // the log's position the pixels hold
  std::vector<std::uint8_t> markedTiles_;
  bool marked_ = false;
};

}  // namespace zimoklas::wayland
