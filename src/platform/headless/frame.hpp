// An in-memory frame for the render tool and the tests: the window's client area as a
// grid of colour values 0x00BBGGRR, black at first. It is a pixel sink; writes that fall
// outside it are ignored, as a real window ignores them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/types.hpp"

namespace zimoklas::headless {

class Frame {
 public:
  Frame(std::int32_t width, std::int32_t height)
      : width_(width < 0 ? 0 : width),
        height_(height < 0 ? 0 : height),
        pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    if (static_cast<std::uint32_t>(x) < static_cast<std::uint32_t>(width_) &&
        static_cast<std::uint32_t>(y) < static_cast<std::uint32_t>(height_)) {
      pixels_[Index(x, y)] = colour;
    }
  }
  Colour At(std::int32_t x, std::int32_t y) const { return pixels_[Index(x, y)]; }

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // Rows from the top, each row from the left.
  const std::vector<Colour>& pixels() const { return pixels_; }

 private:
  std::size_t Index(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  std::int32_t width_;
  std::int32_t height_;
  std::vector<Colour> pixels_;
};

}  // namespace zimoklas::headless
