// Pixel values from colour masks or from allocated colormap cells.
#include "platform/x11/x11_colours.hpp"

#include <algorithm>
#include <bit>
#include <limits>

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

unsigned short Wide(std::uint8_t value) {
  return static_cast<unsigned short>(value * 257);
}

}  // namespace

PixelValues::PixelValues(Display* display, const Visual* visual, Colormap colormap)
    : display_(display),
      colormap_(colormap),
      visual_(visual),
      fromMasks_(visual->c_class == TrueColor || visual->c_class == DirectColor),
      redMask_(visual->red_mask),
      greenMask_(visual->green_mask),
      blueMask_(visual->blue_mask) {
  if (fromMasks_) return;
  for (int r = 0; r < kLevels; ++r) {
    for (int g = 0; g < kLevels; ++g) {
      for (int b = 0; b < kLevels; ++b) {
        const auto level = [](int i) { return static_cast<std::uint8_t>(i * 255 / (kLevels - 1)); };
        const int index = (r * kLevels + g) * kLevels + b;
        cube_[static_cast<std::size_t>(index)] = Allocate(MakeColour(level(r), level(g), level(b)));
      }
    }
  }
  Reserve(MakeColour(0, 0, 0));
}

PixelValues::~PixelValues() {
  if (!allocated_.empty()) {
    XFreeColors(display_, colormap_, allocated_.data(), static_cast<int>(allocated_.size()), 0);
  }
}

unsigned long PixelValues::Allocate(Colour colour) {
  XColor wanted{};
  wanted.red = Wide(RedOf(colour));
  wanted.green = Wide(GreenOf(colour));
  wanted.blue = Wide(BlueOf(colour));
  wanted.flags = DoRed | DoGreen | DoBlue;
  if (cells_.empty()) {
    XColor cell = wanted;
    if (XAllocColor(display_, colormap_, &cell) != 0) {
      allocated_.push_back(cell.pixel);
      return cell.pixel;
    }
    // The colormap is full: from now on the nearest of its cells stands in.
    cells_.resize(static_cast<std::size_t>(std::max(1, visual_->map_entries)));
    for (std::size_t i = 0; i < cells_.size(); ++i) cells_[i].pixel = i;
    XQueryColors(display_, colormap_, cells_.data(), static_cast<int>(cells_.size()));
  }
  const auto distance = [&wanted](const XColor& c) {
    const auto d = [](unsigned short a, unsigned short b) {
      const double v = static_cast<double>(a) - static_cast<double>(b);
      return v * v;
    };
    return d(c.red, wanted.red) + d(c.green, wanted.green) + d(c.blue, wanted.blue);
  };
  unsigned long best = 0;
  double bestDistance = std::numeric_limits<double>::max();
  for (const XColor& c : cells_) {
    if (const double dist = distance(c); dist < bestDistance) {
      bestDistance = dist;
      best = c.pixel;
    }
  }
  return best;
}

void PixelValues::Reserve(Colour colour) {
  if (fromMasks_ || reservedCount_ == kMaxReserved) return;
  for (std::size_t i = 0; i < reservedCount_; ++i) {
    if (reserved_[i].colour == colour) return;
  }
  reserved_[reservedCount_++] = {colour, Allocate(colour)};
}

unsigned long PixelValues::Of(Colour colour) const {
  if (fromMasks_) {
    return Channel(RedOf(colour), redMask_) | Channel(GreenOf(colour), greenMask_) |
           Channel(BlueOf(colour), blueMask_);
  }
  for (std::size_t i = 0; i < reservedCount_; ++i) {
    if (reserved_[i].colour == colour) return reserved_[i].pixel;
  }
  const auto level = [](std::uint8_t v) { return (v * (kLevels - 1) + 127) / 255; };
  const int index =
      (level(RedOf(colour)) * kLevels + level(GreenOf(colour))) * kLevels + level(BlueOf(colour));
  return cube_[static_cast<std::size_t>(index)];
}

}  // namespace zimoklas::x11
