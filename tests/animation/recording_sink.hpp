// A pixel sink that keeps every write in order, for asserting exact write sequences.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace zimoklas::animation {

struct PixelWrite {
  std::int32_t x;
  std::int32_t y;
  Colour colour;
  bool operator==(const PixelWrite&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const PixelWrite& w) {
  return out << "(" << w.x << ", " << w.y << ", 0x" << std::hex << w.colour << std::dec << ")";
}

struct RecordingSink {
  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) { writes.push_back({x, y, colour}); }
  std::vector<PixelWrite> writes;
};

}  // namespace zimoklas::animation
