// Resolving and sending one tick's pixel writes.
#include "platform/x11/x11_pixels.hpp"

#include <bit>

namespace zimoklas::x11 {
namespace {

// One colour channel placed into a visual's mask, e.g. 8 bits into 0xFF0000 or 5 bits
// into 0xF800.
unsigned long Channel(std::uint8_t value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                         : static_cast<unsigned long>(value) >> (8 - bits);
  return (scaled << shift) & mask;
}

}  // namespace

PixelBatch::PixelBatch(Display* display, Drawable drawable, const Visual* visual)
    : display_(display),
      drawable_(drawable),
      gc_(XCreateGC(display, drawable, 0, nullptr)),
      redMask_(visual->red_mask),
      greenMask_(visual->green_mask),
      blueMask_(visual->blue_mask),
      table_(std::make_unique<std::array<Slot, kTableSize>>()),
      points_(std::make_unique<std::array<std::array<XPoint, kCapacity>, kMaxColours>>()) {}

PixelBatch::~PixelBatch() {
  XFreeGC(display_, gc_);
}

unsigned long PixelBatch::PixelValue(Colour colour) const {
  return Channel(RedOf(colour), redMask_) | Channel(GreenOf(colour), greenMask_) |
         Channel(BlueOf(colour), blueMask_);
}

bool PixelBatch::FirstSight(std::uint32_t key) {
  std::array<Slot, kTableSize>& table = *table_;
  // Fibonacci hashing spreads neighbouring pixels over the table.
  std::size_t i = (key * 2654435769U) >> (32 - std::countr_zero(kTableSize));
  for (;;) {
    Slot& slot = table[i];
    if (slot.stamp != stamp_) {
      slot = {stamp_, key};
      return true;
    }
    if (slot.key == key) return false;
    i = (i + 1) & (kTableSize - 1);
  }
}

void PixelBatch::DrawBuckets() {
  for (std::size_t b = 0; b < bucketCount_; ++b) {
    XSetForeground(display_, gc_, PixelValue(buckets_[b].colour));
    XDrawPoints(display_, drawable_, gc_, (*points_)[b].data(), static_cast<int>(buckets_[b].count),
                CoordModeOrigin);
    lastRequests_ += 2;
  }
  bucketCount_ = 0;
}

void PixelBatch::Send() {
  // A new stamp empties the table without touching it; after a wrap it is cleared.
  if (++stamp_ == 0) {
    table_->fill({});
    stamp_ = 1;
  }
  // Walking backwards, the first sight of a pixel is its last write.
  for (std::size_t i = count_; i-- > 0;) {
    const Write& w = writes_[i];
    if (!FirstSight((static_cast<std::uint32_t>(w.y) << 16U) | w.x)) continue;
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
