// The scene's pixel path on X11. A tick's writes are recorded as they happen, the last
// write to each pixel wins, and what is left goes to the server as one XDrawPoints per
// colour and one flush. The work follows the number of writes, never the window's area,
// and nothing is allocated after construction.
#pragma once

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "common/types.hpp"
#include "platform/x11/x11_colours.hpp"

namespace zimoklas::x11 {

class PixelBatch {
 public:
  // Writes a full tick of the fullest scene holds: a rocket, 500 sparks and 1500 flakes,
  // each erasing and drawing. A longer tick is sent in parts.
  static constexpr std::size_t kCapacity = 8192;

  // Drawing on `drawable`, whose visual and colormap these are.
  PixelBatch(Display* display, Drawable drawable, const Visual* visual, Colormap colormap);
  PixelBatch(const PixelBatch&) = delete;
  PixelBatch& operator=(const PixelBatch&) = delete;
  ~PixelBatch();

  // The window's size; writes outside it are dropped.
  void SetSize(int width, int height) {
    width_ = static_cast<std::uint32_t>(std::max(0, width));
    height_ = static_cast<std::uint32_t>(std::max(0, height));
  }

  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    if (static_cast<std::uint32_t>(x) >= width_ || static_cast<std::uint32_t>(y) >= height_) {
      return;
    }
    if (count_ == kCapacity) Send();
    writes_[count_++] = {static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), colour};
  }

  // Gives a colour the scene draws often an exact pixel value where the visual needs
  // cells allocated for it (see PixelValues::Reserve).
  void Reserve(Colour colour) { values_.Reserve(colour); }

  // Sends the recorded writes and flushes the connection.
  void Flush();

  // Requests sent by the last flush (for the benchmark).
  std::size_t lastRequests() const { return lastRequests_; }

 private:
  struct Write {
    std::uint16_t x, y;
    Colour colour;
  };
  struct Bucket {
    Colour colour;
    std::size_t count;
  };
  // Load factor at most 1/2. Each send uses only the part its writes need, cleared
  // first: a small, freshly written table stays in the first-level cache while it is
  // probed, where a large one kept between ticks has mostly left it by the next tick.
  static constexpr std::size_t kTableSize = kCapacity * 2;
  static constexpr std::size_t kMinTableSize = 1024;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // no pixel has x = y = 0xFFFF
  static constexpr std::size_t kMaxColours = 8;

  // Resolves the recorded writes and queues the drawing requests.
  void Send();
  // True the first time a pixel is seen in this batch; `bits` is log2 of the table part
  // in use.
  bool FirstSight(std::uint32_t key, int bits);
  void DrawBuckets();

  Display* display_;
  Drawable drawable_;
  GC gc_;
  PixelValues values_;
  std::uint32_t width_ = 0, height_ = 0;

  std::size_t count_ = 0;
  std::size_t bucketCount_ = 0;
  std::size_t lastRequests_ = 0;
  std::array<Write, kCapacity> writes_{};
  std::array<Bucket, kMaxColours> buckets_{};
  // Both large, and on the heap with the batch.
  std::unique_ptr<std::array<std::uint32_t, kTableSize>> table_;
  std::unique_ptr<std::array<std::array<XPoint, kCapacity>, kMaxColours>> points_;
};

}  // namespace zimoklas::x11
