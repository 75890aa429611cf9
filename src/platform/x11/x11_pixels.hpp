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

namespace zimoklas::x11 {

class PixelBatch {
 public:
  // Writes a full tick of the fullest scene holds: a rocket, 500 sparks and 1500 flakes,
  // each erasing and drawing. A longer tick is sent in parts.
  static constexpr std::size_t kCapacity = 8192;

  PixelBatch(Display* display, Drawable drawable, const Visual* visual);
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

  // Sends the recorded writes and flushes the connection.
  void Flush();

  // Requests sent by the last flush (for the benchmark).
  std::size_t lastRequests() const { return lastRequests_; }

 private:
  struct Write {
    std::uint16_t x, y;
    Colour colour;
  };
  struct Slot {
    std::uint32_t stamp;
    std::uint32_t key;
  };
  struct Bucket {
    Colour colour;
    std::size_t count;
  };
  static constexpr std::size_t kTableSize = kCapacity * 2;  // load factor at most 1/2
  static constexpr std::size_t kMaxColours = 8;

  // Resolves the recorded writes and queues the drawing requests.
  void Send();
  // True the first time a pixel is seen in this batch.
  bool FirstSight(std::uint32_t key);
  void DrawBuckets();
  unsigned long PixelValue(Colour colour) const;

  Display* display_;
  Drawable drawable_;
  GC gc_;
  unsigned long redMask_, greenMask_, blueMask_;
  std::uint32_t width_ = 0, height_ = 0;

  std::size_t count_ = 0;
  std::uint32_t stamp_ = 0;
  std::size_t bucketCount_ = 0;
  std::size_t lastRequests_ = 0;
  std::array<Write, kCapacity> writes_{};
  std::array<Bucket, kMaxColours> buckets_{};
  // Both large, and on the heap with the batch.
  std::unique_ptr<std::array<Slot, kTableSize>> table_;
  std::unique_ptr<std::array<std::array<XPoint, kCapacity>, kMaxColours>> points_;
};

}  // namespace zimoklas::x11
