// Where the animation's pixels go, and where its random draws come from. The tick is a
// template over both, so a concrete sink's SetPixel and a `final` generator's Draw inline.
#pragma once

#include <concepts>
#include <cstdint>

#include "common/types.hpp"

namespace zimoklas::animation {

// A pixel sink takes one pixel write: a column and a row already rounded to whole
// numbers, and a colour 0x00BBGGRR (0 erases). Writes outside the window are ignored.
template <class S>
concept PixelSink = requires(S& sink, std::int32_t x, std::int32_t y, Colour colour) {
  sink.SetPixel(x, y, colour);
};

// A draw source gives uniform single-precision values r with 0 <= r < 1.
template <class R>
concept DrawSource = requires(R& random) {
  { random.Draw() } -> std::same_as<float>;
};

}  // namespace zimoklas::animation
