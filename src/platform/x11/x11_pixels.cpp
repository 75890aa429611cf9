// Resolving and sending one tick's pixel writes.
#include "platform/x11/x11_pixels.hpp"

#include <algorithm>
#include <bit>

namespace zimoklas::x11 {

PixelBatch::PixelBatch(Display* display, Drawable drawable, const Visual* visual, Colormap colormap)
    : display_(display),
      drawable_(drawable),
      gc_(XCreateGC(display, drawable, 0, nullptr)),
      values_(display, visual, colormap),
      table_(std::make_unique<std::array<std::uint32_t, kTableSize>>()),
      points_(std::make_unique<std::array<std::array<XPoint, kCapacity>, kMaxColours>>()) {}

PixelBatch::~PixelBatch() {
  XFreeGC(display_, gc_);
}

bool PixelBatch::FirstSight(std::uint32_t key, int bits) {
  std::array<std::uint32_t, kTableSize>& table = *table_;
  const std::size_t mask = (std::size_t{1} << bits) - 1;
  // Fibonacci hashing spreads neighbouring pixels over the table.
  std::size_t i = (key * 2654435769U) >> (32 - bits);
  for (;;) {
    std::uint32_t& slot = table[i];
    if (slot == kEmpty) {
      slot = key;
      return true;
    }
    if (slot == key) return false;
    i = (i + 1) & mask;
  }
}

void PixelBatch::DrawBuckets() {
  for (std::size_t b = 0; b < bucketCount_; ++b) {
    XSetForeground(display_, gc_, values_.Of(buckets_[b].colour));
    XDrawPoints(display_, drawable_, gc_, (*points_)[b].data(), static_cast<int>(buckets_[b].count),
                CoordModeOrigin);
    lastRequests_ += 2;
  }
  bucketCount_ = 0;
}

void PixelBatch::Send() {
  const std::size_t size = std::max(kMinTableSize, std::bit_ceil(2 * count_));
  const int bits = std::countr_zero(size);
  std::fill_n(table_->begin(), size, kEmpty);
  // Walking backwards, the first sight of a pixel is its last write.
  for (std::size_t i = count_; i-- > 0;) {
    const Write& w = writes_[i];
    if (!FirstSight((static_cast<std::uint32_t>(w.y) << 16U) | w.x, bits)) continue;
    std::size_t b = 0;
    while (b < bucketCount_ && buckets_[b].colour != w.colour) ++b;
    if (b == kMaxColours) {
      // More colours than buckets: what is resolved so far goes out first. Pixels are
      // unique after resolution, so the order between colours does not matter.
      DrawBuckets();
      b = 0;
    }
    if (b == bucketCount_) buckets_[bucketCount_++] = {w.colour, 0};
    (*points_)[b][buckets_[b].count++] = {static_cast<short>(w.x), static_cast<short>(w.y)};
  }
  DrawBuckets();
  count_ = 0;
}

void PixelBatch::Flush() {
  lastRequests_ = 0;
  if (count_ > 0) Send();
  XFlush(display_);
}

}  // namespace zimoklas::x11
