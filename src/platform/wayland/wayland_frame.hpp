// The scene's frame on Wayland: the ticks' writes in order, so that the last write wins,
// kept as a log of pixels with their colours rather than as a picture. A commit replays into the
// buffer it sends only what was written since that buffer was last sent, so each write is stored
// once a buffer and nowhere else. Every write also marks its tile, which a commit takes as its
// damage.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/types.hpp"

namespace zimoklas::wayland {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// An area of device pixels in the surface's logical pixels at `scale`, rounded outwards.
inline PixelRect LogicalArea(const PixelRect& area, double scale) {
  const auto left = static_cast<int>(std::floor(area.x / scale));
  const auto top = static_cast<int>(std::floor(area.y / scale));
  const auto right = static_cast<int>(std::ceil((area.x + area.width) / scale));
  const auto bottom = static_cast<int>(std::ceil((area.y + area.height) / scale));
  return {left, top, right - left, bottom - top};
}

// Damage is kept per square of this many pixels a side. Finer squares send less but
// name many more areas, each one a request that costs the compositor and the saver
// more than the pixels it saves: with full pools, flakes touch most squares of any size
// (measured with wayland_scene_cost at 1920 x 1080: squares of 8 to 128 pixels, 64 the
// cheapest for both sides).
inline constexpr int kTileShift = 6;
inline constexpr int kTile = 1 << kTileShift;

// What a commit's damage may be. sway and gnome-shell pay for each damage box much more
// than for the pixels in it (wayland_floor_cost at 1280 x 720: a box costs either about
// what 6,000 damaged pixels do, 1.5 squares), so a gap of one square between two runs
// of marked squares is sent as part of one box, and boxes that continue each other from
// one row of squares to the next are sent as one. Beyond this many boxes a commit sends
// each row's span of marked squares instead, first to last: at most a box a row.
inline constexpr std::size_t kMaxDamageBoxes = 32;
inline constexpr std::uint32_t kBridgedGap = 1;

// Calls `span(first, end)` for each run of marked tiles in one row of a tile map (one byte
// a tile), the runs joined across gaps of up to kBridgedGap tiles; with `whole`, once with
// the row's first and last marked tile. Returns how many it made.
template <class Span>
std::size_t RowSpans(const std::uint8_t* line, std::uint32_t columns, bool whole, Span span) {
  std::size_t spans = 0;
  std::uint32_t column = 0;
  while (column < columns) {
    if (line[column] == 0) {
      ++column;
      continue;
    }
    const std::uint32_t first = column;
    std::uint32_t end = column + 1;  // past the last marked tile so far
    for (column = end; column < columns; ++column) {
      if (line[column] == 0) {
        if (!whole && column - end >= kBridgedGap) break;
        continue;
      }
      end = column + 1;
    }
    span(first, end);
    ++spans;
    column = end;
  }
  return spans;
}

// Hands the marked tiles of a tile map (one byte a tile, `columns` a row) to `take` as
// rectangles clipped to `width` x `height`, as kMaxDamageBoxes describes, and clears the
// marks.
template <class Take>
void TakeTileRuns(std::uint8_t* tiles, std::uint32_t columns, std::uint32_t rows, int width,
                  int height, Take take) {
  const auto line = [&](std::uint32_t row) {
    return &tiles[static_cast<std::size_t>(row) * columns];
  };
  std::size_t runs = 0;
  for (std::uint32_t row = 0; row < rows && runs <= kMaxDamageBoxes; ++row) {
    runs += RowSpans(line(row), columns, false, [](std::uint32_t, std::uint32_t) {});
  }
  const bool whole = runs > kMaxDamageBoxes;
  // The boxes that reach the row above, which a span of the same columns extends.
  std::array<PixelRect, kMaxDamageBoxes> open{}, next{};
  std::size_t openCount = 0;
  for (std::uint32_t row = 0; row < rows; ++row) {
    const int y = static_cast<int>(row) << kTileShift;
    const int bottom = std::min(y + kTile, height);
    std::size_t nextCount = 0;
    RowSpans(line(row), columns, whole, [&](std::uint32_t first, std::uint32_t end) {
      const int x = static_cast<int>(first) << kTileShift;
      const int right = std::min(static_cast<int>(end) << kTileShift, width);
      PixelRect box{x, y, right - x, bottom - y};
      for (std::size_t n = 0; n < openCount; ++n) {
        if (open[n].x == box.x && open[n].width == box.width && open[n].height > 0) {
          box = {box.x, open[n].y, box.width, bottom - open[n].y};
          open[n].height = 0;  // continued
          break;
        }
      }
      next[nextCount++] = box;
    });
    for (std::size_t n = 0; n < openCount; ++n) {
      if (open[n].height > 0) take(open[n]);
    }
    std::fill_n(line(row), columns, std::uint8_t{0});
    open = next;
    openCount = nextCount;
  }
  for (std::size_t n = 0; n < openCount; ++n) take(open[n]);
}

// Pixel memory of a frame's size, given back by unmapping it.
struct UnmapPixels {
  std::size_t bytes = 0;
  void operator()(std::uint32_t* pixels) const;
};
using PixelMemory = std::unique_ptr<std::uint32_t[], UnmapPixels>;

class Frame {
 public:
  static constexpr int kTileShift = wayland::kTileShift;
  static constexpr int kTile = wayland::kTile;
  // Pixels are 0xFFRRGGBB: the buffers are ARGB8888, and every pixel in them is opaque.
  // (The top byte means nothing in cairo's RGB24, where the labels are drawn.)
  static constexpr std::uint32_t kOpaque = 0xFF000000U;

  // A new size starts a black frame; nothing is marked, and every copy made before is
  // brought up to date whole.
  void SetSize(int width, int height);
  int width() const { return static_cast<int>(width_); }
  int height() const { return static_cast<int>(height_); }
  int stride() const { return static_cast<int>(width_) * 4; }

  // One pixel write of the animation; outside the frame it is dropped.
  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    const auto ux = static_cast<std::uint32_t>(x);
    const auto uy = static_cast<std::uint32_t>(y);
    if (ux >= width_ || uy >= height_) return;
    const std::uint32_t pixel = kOpaque | (std::uint32_t{RedOf(colour)} << 16U) |
                                (std::uint32_t{GreenOf(colour)} << 8U) | BlueOf(colour);
    tiles_[((uy >> kTileShift) * tileColumns_) + (ux >> kTileShift)] = 1;
    if (written_ - reach_ == kLogSize) [[unlikely]] {
      KeepUp();
    }
    log_[written_++ & kLogMask] = (std::uint64_t{(uy * width_) + ux} << 32U) | pixel;
    dirty_ = true;
  }

  // Where the labels are drawn: a canvas of the frame's size. Drawing there shows
  // nothing until the area is handed to Drawn. Only what is written there takes room.
  std::uint32_t* canvas() { return canvas_.get(); }
  // Makes the canvas's `area` black, so that only the labels' glyphs need drawing on
  // it; the memory of whole pages in it is given back.
  void BlackCanvas(const PixelRect& area);
  // The canvas's `area` has been drawn afresh, over whatever was there: it takes its
  // place in the order of writes, and is damage.
  void Drawn(const PixelRect& area);

  bool damaged() const { return dirty_; }
  // Hands the damage since the last call to `take` as rectangles of marked tiles (see
  // kMaxDamageBoxes), clipped to the frame, and forgets it.
  template <class Take>
  void TakeDamage(Take take) {
    if (!dirty_) return;
    TakeTileRuns(tiles_.data(), tileColumns_, tileRows_, width(), height(), take);
    dirty_ = false;
  }

  // How many writes there have been: a position in the log.
  std::uint64_t written() const { return written_; }
  // The position of the black frame that the last new size started.
  std::uint64_t origin() const { return origin_; }
  // Brings `target`, a copy of the frame's size that holds the frame as it was at log
  // position `since`, up to date. Where the log no longer reaches back that far, the
  // freshest whole copy is copied in first.
  void CatchUp(std::uint32_t* target, std::uint64_t since) const;
  // `copy` holds the frame as it is now (a buffer just sent), and stays unchanged until
  // Forget: the freshest copy to catch up from.
  void Holds(const std::uint32_t* copy);
  void Forget(const std::uint32_t* copy);
  // The whole frame as it is now, to be read only (GTK paints from it where the scene
  // has no buffers of its own).
  std::uint32_t* Picture();

 private:
  // `area` clipped to the frame, as its edges: empty when nothing of it is inside.
  struct Edges {
    int left, top, right, bottom;
    bool empty() const { return left >= right || top >= bottom; }
  };
  Edges Inside(const PixelRect& area) const {
    return {std::max(0, area.x), std::max(0, area.y), std::min(width(), area.x + area.width),
            std::min(height(), area.y + area.height)};
  }
  struct Copy {
    const std::uint32_t* pixels = nullptr;
    std::uint64_t at = 0;
  };
  // Before the log drops a write that the freshest copy lacks, the frame's own picture
  // is brought up to date. A buffer sent at least once in a log's span keeps it from
  // ever happening.
  void KeepUp();
  Copy Freshest() const;

  std::uint32_t width_ = 0, height_ = 0;
  std::uint32_t tileColumns_ = 0, tileRows_ = 0;
  std::vector<std::uint8_t> tiles_;
  bool dirty_ = false;
  // Enough for two commits' worth of full pools at 30 frames a second (4000 writes a
  // tick). A drawn area takes two entries: a mark that no pixel can be, then the area.
  static constexpr std::uint64_t kLogSize = std::uint64_t{1} << 16U;
  static constexpr std::uint64_t kLogMask = kLogSize - 1;
  static constexpr std::uint64_t kAreaMark = 0xFFFFFFFFU;
  std::vector<std::uint64_t> log_ = std::vector<std::uint64_t>(kLogSize);
  std::uint64_t written_ = 0;
  std::uint64_t origin_ = 0;
  std::uint64_t reach_ = 0;  // the freshest whole copy's position
  // The frame's own picture, brought up to date only when no buffer will be, or when
  // GTK paints; untouched memory takes no room.
  PixelMemory picture_;
  std::uint64_t pictureAt_ = 0;
  PixelMemory canvas_;
  Copy held_;  // a buffer, when fresher than the picture
};

}  // namespace zimoklas::wayland
