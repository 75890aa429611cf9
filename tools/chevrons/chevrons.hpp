// The settings window's chevron pictures: four grey chevrons stacked in a 32 x 25 image,
// pointing down or (mirrored top to bottom) up, and a GIF89a encoder for them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zimoklas::tools {

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The picture's colour table; index 6 is transparent and index 7 is not used.
inline constexpr std::array<Rgb, 8> kChevronPalette = {{
    {85, 85, 85},
    {198, 198, 198},
    {141, 141, 141},
    {170, 170, 170},
    {113, 113, 113},
    {56, 56, 56},
    {255, 255, 255},
    {0, 0, 0},
}};
inline constexpr std::uint8_t kTransparentIndex = 6;

struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row by row, one palette index each
  std::uint8_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  friend bool operator==(const IndexedImage&, const IndexedImage&) = default;
};

// 32 x 25: chevrons starting at rows 0, 6, 12 and 18, arms on top, point at the bottom.
IndexedImage ChevronsDown();
IndexedImage MirrorTopToBottom(const IndexedImage& image);

// A single-frame GIF89a with a global colour table of eight entries and the given
// index marked transparent.
std::vector<std::uint8_t> EncodeGif(const IndexedImage& image, const std::array<Rgb, 8>& palette,
                                    std::uint8_t transparentIndex);

}  // namespace zimoklas::tools
